#include "record/recording_source.h"

#include "platform/jpeg_codec.h"
#include "record/video_file.h"

namespace orb {

namespace {

// The JPEG recording files: every frame is read through the index and decoded at once.
struct JpegRecordingSource final : RecordingSource {
    DvrContext file;

    int32_t FrameCount(bool) override { return ReadFrameCount(file); }

    bool FrameTime(int32_t n, SystemTime& time) override {
        if (!ReadFrame(file, n)) return false;
        time = file.loadedTime;
        return true;
    }

    FrameFetch Fetch(int32_t n, int, HDIB& picture, SystemTime& time, bool) override {
        picture = nullptr;
        if (!ReadFrame(file, n)) return FrameFetch::ReadFailed;
        time = file.loadedTime;
        const ScaledPicture decoded =
            JpegDecodeScaled(file.picture.data(), static_cast<size_t>(file.loadedSize), PictureBudget(), decodeScale);
        picture = decoded.picture;
        fetchedScale = decoded.picture ? decoded.scale : 1;
        fetchedJpeg.clear();
        if (fetchedScale > 1) fetchedJpeg.assign(file.picture.begin(), file.picture.begin() + file.loadedSize);
        return picture ? FrameFetch::Ready : FrameFetch::DecodeFailed;
    }

    bool WriteBackRecord(const CameraRecord& record) override { return orb::WriteBackRecord(file, record); }
};

}  // namespace

OpenResult OpenRecordingSource(const std::string& path, std::unique_ptr<RecordingSource>& source,
                               CameraRecord* record) {
    source.reset();
    if (LooksLikeVideoFile(path)) return OpenVideoSource(path, source, record);
    auto jpeg = std::make_unique<JpegRecordingSource>();
    const OpenResult r = OpenRecordingForRead(jpeg->file, path, record);
    if (r == OpenResult::Ok) source = std::move(jpeg);
    return r;
}

}  // namespace orb
