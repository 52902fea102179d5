// Snapshot files and their trailer.
#include "record/snapshot.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <mutex>

#include "config/camera_record.h"
#include "config/settings.h"
#include "dewarp/dewarp.h"
#include "config/library_state.h"
#include "platform/texts.h"
#include "platform/choosers.h"
#include "platform/clock.h"
#include "platform/dib.h"
#include "platform/jpeg_codec.h"
#include "platform/largefile.h"
#include "platform/msgbox.h"
#include "platform/paths.h"
#include "platform/safe_names.h"
#include "platform/text_case.h"
#include "platform/window.h"
#include "record/player.h"
#include "record/recorder.h"
#include "record/still_picture.h"

namespace orb {

namespace {

bool MagicAt(const uint8_t* p) { return std::memcmp(p, kSnapshotMagic, kSnapshotMagicSize) == 0; }

// Size of an open stream, restoring nothing: callers seek afterwards.
int64_t StreamSize(FILE* f) {
    if (vastio::fseeki64(f, 0, SEEK_END) != 0) return -1;
    return vastio::ftelli64(f);
}

// True when the stream ends with the magic at size - 2993.
bool StreamHasTrailer(FILE* f, int64_t size) {
    if (size < static_cast<int64_t>(kTrailerSize)) return false;
    uint8_t magic[kSnapshotMagicSize];
    if (vastio::fseeki64(f, size - static_cast<int64_t>(kTrailerSize), SEEK_SET) != 0) return false;
    return vastio::fread(magic, kSnapshotMagicSize, 1, f) == 1 && MagicAt(magic);
}

}  // namespace

bool ParseTrailer(std::span<const uint8_t> file, CameraRecord& out) {
    if (file.size() < kTrailerSize) return false;
    const uint8_t* t = file.data() + (file.size() - kTrailerSize);
    if (!MagicAt(t)) return false;
    std::memcpy(&out, t + kSnapshotMagicSize, sizeof(CameraRecord));
    return true;
}

int ReadTrailer(const std::string& path, CameraRecord& out) {
    vastio::File f(path.c_str(), "rb");
    if (!f) return 0;
    const int64_t size = StreamSize(f.f);
    if (!StreamHasTrailer(f.f, size)) return 0;
    CameraRecord record;
    if (vastio::fread(&record, sizeof record, 1, f.f) != 1) return 0;
    out = record;
    return 1;
}

int WriteBackTrailer(const std::string& path, const CameraRecord& record) {
    vastio::File f(path.c_str(), "rb+");
    if (!f) return 0;
    const int64_t size = StreamSize(f.f);
    if (!StreamHasTrailer(f.f, size)) return 0;
    if (vastio::fseeki64(f.f, size - static_cast<int64_t>(sizeof record), SEEK_SET) != 0) return 0;
    if (vastio::fwrite(&record, sizeof record, 1, f.f) != 1) return 0;
    if (vastio::fflush(f.f) != 0) return 0;
    return f.close() == 0 ? 1 : 0;
}

int AppendOrReplaceTrailer(const std::string& path, const CameraRecord& record) {
    vastio::File f(path.c_str(), "rb+");
    if (!f) return 0;
    const int64_t size = StreamSize(f.f);
    if (size < 0) return 0;
    const int64_t at = StreamHasTrailer(f.f, size) ? size - static_cast<int64_t>(kTrailerSize) : size;
    if (vastio::fseeki64(f.f, at, SEEK_SET) != 0) return 0;
    if (vastio::fwrite(kSnapshotMagic, kSnapshotMagicSize, 1, f.f) != 1) return 0;
    if (vastio::fwrite(&record, sizeof record, 1, f.f) != 1) return 0;
    return f.close() == 0 ? 1 : 0;
}

// The picture as JPEG, then the magic and the record; no file left behind on failure.
int EncodeSnapshot(HDIB picture, const CameraRecord& record, const std::string& path) {
    if (!picture) return 0;
    // A first snapshot may come before any recording made the folder.
    const size_t slash = path.find_last_of('/');
    if (slash != std::string::npos && slash > 0) MakeDirs(path.substr(0, slash));
    bool ok = false;
    if (JpegEncodeFile(picture, path.c_str()) == 1) {
        vastio::File f(path.c_str(), "ab");
        if (f && vastio::fseeki64(f.f, 0, SEEK_END) == 0 &&
            vastio::fwrite(kSnapshotMagic, kSnapshotMagicSize, 1, f.f) == 1 &&
            vastio::fwrite(&record, sizeof(CameraRecord), 1, f.f) == 1) {
            ok = f.close() == 0;
        }
    }
    if (!ok) {
        // A half-written snapshot would open as a plain picture later: leave none behind.
        if (IsRegularFile(path)) ::unlink(path.c_str());
        return 0;
    }
    SetLastSnapshotPath(path);
    return 1;
}


std::string SnapshotFolder() {
    return RecordingFolderOf(g_lib.systemDriveRoot.empty() ? SystemDriveText() : g_lib.systemDriveRoot);
}

std::string SnapshotFileName(const SystemTime& t, int viewNumber, const char* location) {
    // The location is the camera's text: it becomes a plain piece of the name, never a path.
    const std::string place = SafeNamePart(location ? std::string_view(location, strnlen(location, 79)) : "", 79);
    char text[260];
    std::snprintf(text, sizeof text, "%s%04d%02d%02d%02d%02d%02d%d%s.360", SnapshotFolder().c_str(), t.year,
                  t.month, t.day, t.hour, t.minute, t.second, viewNumber, place.c_str());
    return text;
}

std::string SnapshotListText(const std::string& stem) {
    if (stem.size() < 15) return stem;
    return stem.substr(0, 4) + "/" + stem.substr(4, 2) + "/" + stem.substr(6, 2) + " " + stem.substr(8, 2) + ":" +
           stem.substr(10, 2) + ":" + stem.substr(12, 2) + " " + stem.substr(14, 1) + " " + stem.substr(15);
}

std::string SnapshotNameFromListText(const std::string& text) {
    // Positions of the list text: yyyy/mm/dd hh:mm:ss v rest.
    if (text.size() < 21) return text + ".360";
    return text.substr(0, 4) + text.substr(5, 2) + text.substr(8, 2) + text.substr(11, 2) + text.substr(14, 2) +
           text.substr(17, 2) + text.substr(20, 1) + (text.size() > 22 ? text.substr(22) : "") + ".360";
}

std::vector<std::string> ListSnapshots() {
    std::vector<std::string> names;
    const std::string folder = SnapshotFolder();
    DIR* d = ::opendir(folder.c_str());
    if (!d) return names;
    while (dirent* e = ::readdir(d)) {
        const std::string name = e->d_name;
        if (EndsWithCaseBlind(name, ".360") && IsRegularFile(folder + name))
            names.push_back(name);
    }
    ::closedir(d);
    std::sort(names.begin(), names.end());  // names start with the time: oldest first
    return names;
}

}  // namespace orb
