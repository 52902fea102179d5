#include "record/recording_file.h"

#include <sys/stat.h>

#include <cstring>
#include <map>
#include <mutex>
#include <utility>

#include "platform/largefile.h"

namespace orb {

namespace {

std::mutex g_openLock;
std::map<const void*, std::pair<dev_t, ino_t>>& OpenWriters() {
    static auto* v = new std::map<const void*, std::pair<dev_t, ino_t>>;
    return *v;
}

void RegisterWriter(FILE* f) { RegisterOpenRecording(f, fileno(f)); }
void UnregisterWriter(FILE* f) { UnregisterOpenRecording(f); }

bool WriteAll(FILE* f, const void* p, size_t n) { return n == 0 || vastio::fwrite(p, n, 1, f) == 1; }
bool ReadAll(FILE* f, void* p, size_t n) { return n == 0 || vastio::fread(p, n, 1, f) == 1; }

bool ReadI64At(FILE* f, int64_t at, int64_t& v) {
    return vastio::fseeki64(f, at, SEEK_SET) == 0 && ReadAll(f, &v, 8);
}
int64_t TopEntryOffset(int64_t block) { return kTopIndexOffset + 8 * block; }


}  // namespace

void PutSystemTime(uint8_t* out, const SystemTime& t) { std::memcpy(out, &t, sizeof t); }
SystemTime GetSystemTime(const uint8_t* in) {
    SystemTime t{};
    std::memcpy(&t, in, sizeof t);
    return t;
}

void RegisterOpenRecording(const void* owner, int fd) {
    struct stat st{};
    if (fstat(fd, &st) != 0) return;
    std::lock_guard lock(g_openLock);
    OpenWriters()[owner] = {st.st_dev, st.st_ino};
}

void UnregisterOpenRecording(const void* owner) {
    std::lock_guard lock(g_openLock);
    OpenWriters().erase(owner);
}

DvrContext::~DvrContext() { CloseRecording(*this); }

void CloseRecording(DvrContext& dvr) {
    if (!dvr.stream) return;
    UnregisterWriter(dvr.stream);
    vastio::fclose(dvr.stream);
    dvr.stream = nullptr;
}

bool IsRecordingOpen(const std::string& path) {
    struct stat st{};
    if (stat(path.c_str(), &st) != 0) return false;
    std::lock_guard lock(g_openLock);
    for (const auto& [f, id] : OpenWriters())
        if (id.first == st.st_dev && id.second == st.st_ino) return true;
    return false;
}

int CreateRecording(DvrContext& dvr, const std::string& path, const CameraRecord& record, const SystemTime& created) {
    CloseRecording(dvr);
    // "x": an existing recording is never re-created or truncated.
    FILE* f = vastio::fopen(path.c_str(), "wb+x");
    if (!f) return 0;
    uint8_t head[44] = {};
    std::memcpy(head, "ORBISCOPE", 9);
    const uint32_t version = kRecordingVersion, compression = kCompressionMjpg, reserved = 0;
    const int32_t count = 0;
    std::memcpy(head + 12, &version, 4);
    std::memcpy(head + 16, &count, 4);
    std::memcpy(head + 20, &compression, 4);
    std::memcpy(head + 24, &reserved, 4);
    PutSystemTime(head + 28, created);
    dvr.topIndex.fill(0);
    dvr.topIndex[0] = kFirstBlockOffset;
    dvr.blockIndex.fill(0);
    dvr.blockIndex[0] = kFirstFrameOffset;
    const bool ok = WriteAll(f, head, sizeof head) && WriteAll(f, &record, sizeof record) &&
                    WriteAll(f, dvr.topIndex.data(), 8 * kTopEntries) &&
                    WriteAll(f, dvr.blockIndex.data(), kBlockIndexBytes) && vastio::fflush(f) == 0;
    if (!ok) {
        // Nothing was recorded in it yet: a full disk leaves no empty file behind.
        vastio::fclose(f);
        std::remove(path.c_str());
        return -1;
    }
    dvr.stream = f;
    dvr.path = path;
    dvr.frameCount = 0;
    dvr.appendPos = kFirstFrameOffset;
    dvr.blockOffset = kFirstBlockOffset;
    RegisterWriter(f);
    return 1;
}

int ReopenRecording(DvrContext& dvr, const std::string& path) {
    CloseRecording(dvr);
    FILE* f = vastio::fopen(path.c_str(), "rb+");
    if (!f) return 0;
    uint8_t head[24] = {};
    int32_t count = -1;
    uint32_t version = 0, compression = 0;
    int64_t pos = 0, size = -1;
    bool ok = ReadAll(f, head, sizeof head);
    if (ok) {
        std::memcpy(&version, head + 12, 4);
        std::memcpy(&count, head + 16, 4);
        std::memcpy(&compression, head + 20, 4);
        ok = std::memcmp(head, "ORBISCOPE", 10) == 0 && version == kRecordingVersion &&
             compression == kCompressionMjpg && count >= 0 && count < kMaxFramesPerFile;
    }
    int64_t block = 0;
    if (ok) ok = ReadI64At(f, TopEntryOffset(count >> 10), block) && block > 0 &&
                 ReadI64At(f, block + 8 * static_cast<int64_t>(count & 1023), pos);
    if (ok && vastio::fseeki64(f, 0, SEEK_END) == 0) size = vastio::ftelli64(f);
    // An append position outside the written bytes means the index is damaged.
    if (!ok || pos < kFirstFrameOffset || pos > size) {
        vastio::fclose(f);
        return 0;
    }
    dvr.stream = f;
    dvr.path = path;
    dvr.frameCount = count;
    dvr.appendPos = pos;
    dvr.blockOffset = block;
    RegisterWriter(f);
    return 1;
}

int AppendFrame(DvrContext& dvr, const uint8_t* jpeg, int32_t size, const SystemTime& stamp) {
    FILE* f = dvr.stream;
    if (!f || size < 0 || (size > 0 && !jpeg)) return 0;
    const int32_t n = dvr.frameCount;
    if (n >= kMaxFramesPerFile) return 0;  // full: the recorder moves to a new file
    int64_t p = dvr.appendPos, block = dvr.blockOffset;
    uint8_t head[kFrameHeadSize] = {};
    std::memcpy(head, &size, 4);
    PutSystemTime(head + 8, stamp);
    // Slot n holds the append position (the writer wrote it there itself). The frame, then
    // its index entry, then the count, which is what readers go by. Positioned writes
    // straight to the file: three system calls a frame, no seeks.
    bool ok = block > 0 && p > 0 && vastio::fflush(f) == 0;
    const vastio::Part frame[2] = {{head, sizeof head}, {jpeg, static_cast<size_t>(size)}};
    ok = ok && vastio::pwriteAll(f, frame, 2, p);
    p += kFrameHeadSize + static_cast<int64_t>(size);
    if (ok && ((n + 1) & 1023) == 0) {
        dvr.blockIndex.fill(0);
        dvr.blockIndex[0] = p + kBlockIndexBytes;
        const vastio::Part index{dvr.blockIndex.data(), kBlockIndexBytes}, top{&p, 8};
        ok = vastio::pwriteAll(f, &top, 1, TopEntryOffset((n >> 10) + 1)) && vastio::pwriteAll(f, &index, 1, p);
        block = p;
        p += kBlockIndexBytes;
    }
    const int32_t next = n + 1;
    const vastio::Part entry{&p, 8}, count{&next, 4};
    ok = ok && vastio::pwriteAll(f, &entry, 1, block + 8 * static_cast<int64_t>(next & 1023));
    ok = ok && vastio::pwriteAll(f, &count, 1, 16);
    std::memcpy(dvr.recordHead.data(), head, sizeof head);
    if (!ok) {
        CloseRecording(dvr);
        return 0;
    }
    dvr.frameCount = next;
    dvr.appendPos = p;
    dvr.blockOffset = block;
    return 1;
}

const char* OpenResultMessage(OpenResult r) {
    switch (r) {
        case OpenResult::Missing: return kOpenFailed;
        case OpenResult::BadMagic: return "Bad DVR File !   ";
        case OpenResult::BadVersion: return "Unsupport DVR Version";
        case OpenResult::Empty: return "DVR content is empty !";
        case OpenResult::BadCompression: return "Unknown Compression Type !";
        default: return "";
    }
}

OpenResult OpenRecordingForRead(DvrContext& dvr, const std::string& path, CameraRecord* record) {
    CloseRecording(dvr);
    struct stat st{};
    if (path.empty() || stat(path.c_str(), &st) != 0) return OpenResult::Missing;
    FILE* f = vastio::fopen(path.c_str(), "rb");
    if (!f) return OpenResult::OpenFailed;
    auto refuse = [f](OpenResult r) {
        vastio::fclose(f);
        return r;
    };
    char magic[12];
    if (!ReadAll(f, magic, 12)) return refuse(OpenResult::ShortHeader);
    if (std::memcmp(magic, "ORBISCOPE", 10) != 0) return refuse(OpenResult::BadMagic);
    uint32_t version = 0, compression = 0, reserved = 0;
    int32_t count = 0;
    if (!ReadAll(f, &version, 4)) return refuse(OpenResult::ShortHeader);
    if (version != kRecordingVersion) return refuse(OpenResult::BadVersion);
    if (!ReadAll(f, &count, 4)) return refuse(OpenResult::ShortHeader);
    if (count <= 0) return refuse(OpenResult::Empty);
    if (!ReadAll(f, &compression, 4)) return refuse(OpenResult::ShortHeader);
    if (compression != kCompressionMjpg) return refuse(OpenResult::BadCompression);
    uint8_t created[16];
    CameraRecord copy;
    if (!ReadAll(f, &reserved, 4) || !ReadAll(f, created, 16) || !ReadAll(f, &copy, sizeof copy))
        return refuse(OpenResult::ShortRecord);
    if (dvr.picture.empty()) dvr.picture.resize(200000);
    if (dvr.extra.empty()) dvr.extra.resize(10000);
    if (record) std::memcpy(static_cast<void*>(record), &copy, sizeof copy);
    dvr.stream = f;
    dvr.path = path;
    dvr.version = version;
    dvr.compression = compression;
    dvr.reserved = reserved;
    dvr.fileHour = GetSystemTime(created);
    dvr.frameCount = count;
    return OpenResult::Ok;
}

int32_t ReadFrameCount(DvrContext& dvr) {
    int32_t count = -1;
    // Drop what the stream buffered: the writer may have moved on since.
    if (dvr.stream) vastio::fflush(dvr.stream);
    if (!dvr.stream || vastio::fseek(dvr.stream, 16, SEEK_SET) != 0 || !ReadAll(dvr.stream, &count, 4)) return -1;
    dvr.frameCount = count;
    return count;
}

bool ReadFrame(DvrContext& dvr, int32_t n) {
    FILE* f = dvr.stream;
    dvr.loadedSize = -1;
    if (!f || n < 0 || n >= kTopEntries * kBlockSlots) return false;
    vastio::fflush(f);
    int64_t block = 0, record = 0;
    if (vastio::fseek(f, static_cast<int32_t>(TopEntryOffset(n >> 10)), SEEK_SET) != 0 || !ReadAll(f, &block, 8) ||
        block <= 0)
        return false;
    if (!ReadI64At(f, block + 8 * static_cast<int64_t>(n & 1023), record) || record <= 0) return false;
    if (vastio::fseeki64(f, record, SEEK_SET) != 0 || !ReadAll(f, dvr.recordHead.data(), kFrameHeadSize)) return false;
    int32_t size = 0, extra = 0;
    std::memcpy(&size, dvr.recordHead.data(), 4);
    std::memcpy(&extra, dvr.recordHead.data() + 4, 4);
    if (size < 0) return false;
    // Never size a buffer by an unchecked field: the bytes must be there.
    const int64_t here = vastio::ftelli64(f);
    if (vastio::fseeki64(f, 0, SEEK_END) != 0) return false;
    const int64_t end = vastio::ftelli64(f);
    const int64_t wanted = static_cast<int64_t>(size) + (extra > 0 ? extra : 0);
    if (here < 0 || end - here < wanted || vastio::fseeki64(f, here, SEEK_SET) != 0) return false;
    if (dvr.picture.size() < static_cast<size_t>(size)) dvr.picture.resize(size);
    if (!ReadAll(f, dvr.picture.data(), size)) return false;
    if (extra > 0) {
        if (dvr.extra.size() < static_cast<size_t>(extra)) dvr.extra.resize(extra);
        if (!ReadAll(f, dvr.extra.data(), extra)) return false;
    }
    dvr.loadedSize = size;
    dvr.loadedExtraSize = extra > 0 ? extra : 0;
    dvr.loadedTime = GetSystemTime(dvr.recordHead.data() + 8);
    return true;
}

bool WriteBackRecord(DvrContext& dvr, const CameraRecord& record) {
    if (!dvr.stream || vastio::fseeki64(dvr.stream, 44, SEEK_SET) != 0) return false;
    const bool ok = WriteAll(dvr.stream, &record, sizeof record);
    vastio::fflush(dvr.stream);
    return ok;
}

}  // namespace orb
