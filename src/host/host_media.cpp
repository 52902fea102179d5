// The host additions for pictures, recordings and packages (declared in orbiscope_host.h):
// what the stand-alone player and the pack tool do through the library.
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "dewarp/dewarp.h"
#include "export/pack_builder.h"
#include "ui/panoview.h"
#include "orbiscope_host.h"
#include "platform/dib.h"
#include "platform/jpeg_codec.h"
#include "platform/msgbox.h"
#include "platform/window.h"
#include "record/recording_source.h"
#include "record/snapshot.h"
#include "record/still_picture.h"

struct OrbRecordingReader {
    std::unique_ptr<orb::RecordingSource> source;
    CameraRecord record{};
};

extern "C" {

int32_t OrbiscopeRunMessageLoop(void) {
    orb::InitWindowing();
    return orb::RunMessageLoop();
}

int32_t OrbiscopeTakeMessage(char* out, int32_t size) {
    if (!out || size <= 0) return 0;
    // Messages taken but not yet handed out wait here, oldest first.
    static auto* pending = new std::vector<orb::ShownMessage>;
    for (orb::ShownMessage& m : orb::TakeMessages()) pending->push_back(std::move(m));
    if (pending->empty()) return 0;
    const std::string text = pending->front().text;
    pending->erase(pending->begin());
    const size_t n = std::min(text.size(), static_cast<size_t>(size) - 1);
    text.copy(out, n);
    out[n] = 0;
    return 1;
}

CameraRecord* OrbiscopeSnapshotRecord(const char* path, int32_t* found) {
    if (found) *found = 0;
    if (!path) return nullptr;
    HDIB picture = orb::JpegLoadFile(path);
    if (!picture) return nullptr;
    int w = 0, h = 0;
    {
        orb::DibLock lock(picture);
        w = lock.width();
        h = lock.height();
    }
    orb::DestroyDIB(picture);
    auto record = std::make_unique<CameraRecord>();
    if (orb::ReadTrailer(path, *record) == 1) {
        if (found) *found = 1;
    } else {
        orb::DefaultStillRecord(*record, w, h);
    }
    return record.release();
}

void OrbiscopeFreeRecord(CameraRecord* record) { delete record; }

HDIB OrbiscopeDewarpPicture(const CameraRecord* record, HDIB source, int32_t width, int32_t height) {
    if (!record || !source || width < 16 || height < 16 || width > 8192 || height > 8192) return nullptr;
    auto view = std::make_unique<PanoView>();
    view->record = *record;
    view->record.ownerLink = 0;
    HDIB out = orb::CreateDIB(width, height, 24);
    if (!out) return nullptr;
    orb::ValidateLensFields(view->record);
    orb::SetViewSize(*view, width, height);
    orb::AttachPictures(*view, source, out);
    orb::RebuildPanorama(*view);
    const bool ok = orb::UpdatePanorama(*view) == 1;
    orb::AttachPictures(*view, nullptr, nullptr);
    if (!ok) {
        orb::DestroyDIB(out);
        return nullptr;
    }
    return out;
}

OrbRecordingReader* OrbiscopeOpenRecording(const char* path, const char** message) {
    if (message) *message = "";
    if (!path) return nullptr;
    auto reader = std::make_unique<OrbRecordingReader>();
    const orb::OpenResult r = orb::OpenRecordingSource(path, reader->source, &reader->record);
    if (r != orb::OpenResult::Ok) {
        if (message) *message = orb::OpenResultMessage(r);
        return nullptr;
    }
    return reader.release();
}

int32_t OrbiscopeRecordingFrameCount(OrbRecordingReader* reader) {
    // A host asks once: every frame of the file as it is now.
    return reader ? reader->source->FrameCount(true) : 0;
}

HDIB OrbiscopeRecordingPicture(OrbRecordingReader* reader, int32_t n) {
    if (!reader) return nullptr;
    HDIB picture = nullptr;
    SystemTime time{};
    return reader->source->Fetch(n, 1, picture, time, true) == orb::FrameFetch::Ready ? picture : nullptr;
}

const CameraRecord* OrbiscopeRecordingCamera(OrbRecordingReader* reader) { return reader ? &reader->record : nullptr; }

void OrbiscopeCloseRecording(OrbRecordingReader* reader) { delete reader; }

int32_t OrbiscopeBuildPack(const char* file, const char* output, int32_t snapshot, const char* player,
                           OrbPackProgress progress, void* context) {
    if (!file || !output) return 0;
    orb::PackOptions options;
    if (player && *player) options.player = player;
    if (progress)
        options.progress = [progress, context](int percent, const std::string& step) {
            progress(percent, step.c_str(), context);
        };
    return snapshot ? orb::BuildSnapshotPack(nullptr, file, output, options)
                    : orb::BuildRecordingPack(nullptr, file, output, options);
}

}
