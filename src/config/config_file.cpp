#include "config/config_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "config/settings.h"
#include "config/library_state.h"
#include "config/view_core.h"
#include "platform/texts.h"
#include "orbiscope.h"
#include "platform/msgbox.h"
#include "platform/paths.h"
#include "platform/private_files.h"
#include "platform/profile.h"

namespace orb {

constinit std::vector<int> g_exportSelection;
std::array<uint8_t, 180> g_userBlock{};
constinit CameraTable g_cameraTable;

namespace {

struct StdFile {
    FILE* f;
    StdFile(const std::string& path, const char* mode) : f(OpenFile(path.c_str(), mode)) {}
    ~StdFile() { if (f) std::fclose(f); }
    explicit operator bool() const { return f != nullptr; }
};

long FileSize(FILE* f) {
    struct stat st {};
    return fstat(fileno(f), &st) == 0 ? static_cast<long>(st.st_size) : 0;
}

bool ListWithCount(std::vector<ListedCamera>& out, void* owner, bool allowShortLast) {
    out.clear();
    StdFile in(ConfigPath(), "rb");
    if (!in) {
        MessageBox(owner, Text(2301), "???", kMbOk | kMbIconError);
        return false;
    }
    const long size = FileSize(in.f);
    const long count = allowShortLast ? (size + 100) / kSlotSize : size / kSlotSize;
    for (long i = 0; i < count; ++i) {
        ListedCamera cam;
        std::fseek(in.f, i * kSlotSize, SEEK_SET);
        const size_t got = std::fread(cam.slot.data(), 1, kSlotSize, in.f);
        (void)got;  // a short last read keeps what arrived
        CameraRecord r;
        std::memcpy(&r, cam.slot.data(), sizeof r);
        char loc[sizeof r.location + 1];
        cam.location = TextOf(r.location, loc);
        out.push_back(std::move(cam));
    }
    return true;
}

}  // namespace

std::string ConfigPath() { return LibraryFile("Config.ure"); }
std::string UserFilePath() { return LibraryFile("User.dat"); }

int FindSlotById(int32_t cameraId) {
    StdFile in(ConfigPath(), "rb");
    if (!in) return -1;
    CameraRecord r;
    for (int slot = 0;; ++slot) {
        if (std::fseek(in.f, static_cast<long>(slot) * kSlotSize, SEEK_SET) != 0) return -1;
        if (std::fread(&r, 1, sizeof r, in.f) != sizeof r) return -1;
        if (r.cameraId == cameraId) return slot;
    }
}

int LoadRecordIntoView(ViewCore* view, int slot) {
    if (!view) return 0;
    StdFile in(ConfigPath(), "rb");
    if (!in) return 0;
    long count = FileSize(in.f) / kSlotSize;
    if (count < 1) count = 1;
    long s = slot == -1 ? std::rand() % count : slot % count;
    if (s < 0) s += count;
    CameraRecord r;
    if (std::fseek(in.f, s * kSlotSize, SEEK_SET) != 0) return 0;
    if (std::fread(&r, 1, sizeof r, in.f) != sizeof r) return 0;
    view->record = r;
    return 1;
}

int LoadViewRecordByMapping(ViewCore* view) {
    if (!view) return 0;
    const std::string value = ReadSetting(CurrentCallerSection(), ViewKeyName(view->viewIndex).c_str(), "", 64);
    if (!value.empty()) {
        const int slot = FindSlotById(std::atoi(value.c_str()));
        if (slot >= 0) return LoadRecordIntoView(view, slot);
    }
    return LoadRecordIntoView(view, view->viewIndex);
}

int SaveRecord(ViewCore* view) {
    if (!view) return 0;
    CameraRecord r;
    {
        // The capture thread moves the windows of a running view (automatic panning).
        std::lock_guard lock(view->ui.viewMutex);
        r = view->record;
    }
    const int slot = FindSlotById(r.cameraId);
    if (slot < 0) return 0;
    if (r.account[0] == 0) std::memset(r.account, 0, sizeof r.account);
    if (r.password[0] == 0) std::memset(r.password, 0, sizeof r.password);
    // Never create or truncate: the host owns the file.
    const int fd = ::open(ConfigPath().c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) return 0;
    const ssize_t n = ::pwrite(fd, &r, sizeof r, static_cast<off_t>(slot) * kSlotSize);
    const bool closed = ::close(fd) == 0;
    return (n == static_cast<ssize_t>(sizeof r) && closed) ? 1 : 0;
}

bool ListCameras(std::vector<ListedCamera>& out, void* owner) { return ListWithCount(out, owner, true); }
bool ListCamerasWhole(std::vector<ListedCamera>& out, void* owner) { return ListWithCount(out, owner, false); }

int CopySlotsToFile(void* owner, const std::vector<int>& chosen, const std::string& outputPath) {
    if (chosen.empty()) {
        MessageBox(owner, Text(2327), "???", kMbOk | kMbIconWarning);
        return 0;
    }
    StdFile in(ConfigPath(), "rb");
    if (!in) {
        MessageBox(owner, Text(2301), "???", kMbOk | kMbIconError);
        return -1;
    }
    StdFile out(outputPath, "wb+");
    if (!out) {
        MessageBox(owner, "File Create fail ", "???", kMbOk | kMbIconError);
        return -1;
    }
    std::array<uint8_t, kSlotSize> slot;
    for (int entry : chosen) {
        if (entry < 0 || std::fseek(in.f, static_cast<long>(entry) * kSlotSize, SEEK_SET) != 0) return -1;
        if (std::fread(slot.data(), 1, slot.size(), in.f) != slot.size()) return -1;
        if (std::fwrite(slot.data(), 1, slot.size(), out.f) != slot.size()) return -1;
    }
    if (std::fflush(out.f) != 0) return -1;
    return 1;
}

void ReadUserFile() {
    StdFile in(UserFilePath(), "rb");
    if (!in) return;
    std::array<uint8_t, 180> block = g_userBlock;
    const size_t n = std::fread(block.data(), 1, block.size(), in.f);
    std::memcpy(g_userBlock.data(), block.data(), n);
}

void WriteUserFile() {
    StdFile out(UserFilePath(), "wb+");
    if (!out) return;
    // It holds the root password: a file left readable by an older version is made private.
    ::fchmod(::fileno(out.f), PrivateFileMode());
    std::fwrite(g_userBlock.data(), 1, g_userBlock.size(), out.f);
}

const CameraRecord* CameraTable::record(int i) const {
    if (i < 0 || i >= count()) return nullptr;
    return reinterpret_cast<const CameraRecord*>(bytes.data() + static_cast<size_t>(i) * kSlotSize);
}

void LoadCameraTable() {
    FreeCameraTable();
    StdFile in(ConfigPath(), "rb");
    if (!in) return;
    const long count = (FileSize(in.f) + 100) / kSlotSize;
    if (count <= 0) return;
    std::vector<uint8_t> bytes;
    bytes.reserve(static_cast<size_t>(count) * kSlotSize);
    std::array<uint8_t, kSlotSize> slot;
    for (long i = 0; i < count; ++i) {
        if (std::fread(slot.data(), 1, slot.size(), in.f) != slot.size()) break;
        bytes.insert(bytes.end(), slot.begin(), slot.end());
    }
    g_cameraTable.bytes = std::move(bytes);
}

void FreeCameraTable() { g_cameraTable.bytes.clear(); g_cameraTable.bytes.shrink_to_fit(); }

}  // namespace orb

extern "C" {

int32_t BuildPackInfo(void* ownerWindow, const char* outputPath) {
    return orb::CopySlotsToFile(ownerWindow, orb::g_exportSelection, outputPath ? outputPath : "");
}

}
