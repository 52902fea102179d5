#include "record/recorder.h"

#include <dirent.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <mutex>
#include <set>
#include <sstream>

#include "config/settings.h"
#include "config/library_state.h"
#include "platform/texts.h"
#include "orbiscope.h"
#include "platform/clock.h"
#include "platform/debug_log.h"
#include "platform/largefile.h"
#include "platform/paths.h"
#include "platform/private_files.h"
#include "platform/safe_names.h"
#include "platform/text_case.h"
#include "record/video_file.h"
#include "record/video_recording.h"

namespace orb {

constinit DriveTable g_drives;
RecorderSwitches g_recorderSwitches;
std::array<RecordingSlot, 32> g_recordingSlots;
// The window thread assigns and frees slots while capture threads check theirs per picture.
std::mutex g_slotsLock;

namespace {

std::mutex g_probeLock;
DriveProbe& DriveProber() {
    static auto* v = new DriveProbe;
    return *v;
}
std::mutex g_buildLock;
bool g_drivesBuilt = false;
std::mutex g_statusLock;
RecorderStatusSink& RecorderSink() {
    static auto* v = new RecorderStatusSink;
    return *v;
}

std::vector<MountEntry> RealMounts() {
    std::ifstream in("/proc/self/mounts");
    std::stringstream text;
    text << in.rdbuf();
    return ParseMounts(text.str());
}

bool RealSpace(const std::string& root, double& freeBytes, double& totalBytes) {
    struct statvfs s{};
    if (statvfs(root.c_str(), &s) != 0) return false;
    freeBytes = static_cast<double>(s.f_bavail) * static_cast<double>(s.f_frsize);
    totalBytes = static_cast<double>(s.f_blocks) * static_cast<double>(s.f_frsize);
    return true;
}

std::string Decode(const std::string& field) {
    std::string out;
    for (size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() &&
            std::all_of(field.begin() + i + 1, field.begin() + i + 4, [](char c) { return c >= '0' && c <= '7'; })) {
            out += static_cast<char>((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 + (field[i + 3] - '0'));
            i += 3;
        } else {
            out += field[i];
        }
    }
    return out;
}

std::string WithSlash(std::string p) {
    p = NormaliseSeparators(p);
    if (p.empty() || p.back() != '/') p += '/';
    return p;
}

bool Exists(const std::string& p) {
    struct stat st{};
    return stat(p.c_str(), &st) == 0;
}

bool SameDevice(const std::string& a, const std::string& b) {
    struct stat sa{}, sb{};
    return stat(a.c_str(), &sa) == 0 && stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev;
}

// A desktop user cannot write at the top of the file system that holds their home: there
// the recordings go into the user's data folder, on the same drive.
std::string UserRootFor(const std::string& mountPoint) {
    if (access(mountPoint.c_str(), W_OK) == 0) return mountPoint;
    const std::string user = UserDataDir();
    struct stat sm {}, su {};
    if (stat(mountPoint.c_str(), &sm) != 0) return mountPoint;
    // The data folder may not exist yet: its nearest existing parent decides the drive.
    std::string probe = user;
    while (stat(probe.c_str(), &su) != 0) {
        const auto cut = probe.find_last_of('/');
        if (cut == std::string::npos || cut == 0) return mountPoint;
        probe.resize(cut);
    }
    if (su.st_dev != sm.st_dev) return mountPoint;
    return MakeDirs(user) ? user : mountPoint;
}

}  // namespace

std::string RecordingFolderOf(const std::string& root) {
    // An empty root is the current folder; the answer stays relative then.
    const std::string base = root.empty() ? root : WithSlash(root);
    if (DIR* d = opendir(base.empty() ? "." : base.c_str())) {
        while (dirent* e = readdir(d)) {
            if (SameTextCaseBlind(e->d_name, kRecordingFolder)) {
                const std::string found = base + e->d_name;
                closedir(d);
                return found + "/";
            }
        }
        closedir(d);
    }
    return base + kRecordingFolder + "/";
}

namespace {

DvrNode g_head{}, g_tail{};
bool g_catalogueReady = false;

void ResetCatalogue() {
    if (g_catalogueReady) {
        DvrNode* n = g_head.next;
        while (n && n != &g_tail) {
            DvrNode* next = n->next;
            delete n;
            n = next;
        }
    }
    g_head = DvrNode{};
    g_tail = DvrNode{};
    g_head.next = &g_tail;
    g_tail.prev = &g_head;
    g_catalogueReady = true;
}

void AddNode(int entry, const char* name) {
    if (std::strlen(name) >= sizeof(DvrNode::name)) return;  // cannot be named in a node
    auto* node = new (std::nothrow) DvrNode{};
    if (!node) return;
    node->entry = entry;
    std::strncpy(node->name, name, sizeof node->name - 1);
    DvrNode* at = g_head.next;
    while (at != &g_tail && std::strcmp(at->name, name) > 0) at = at->next;
    node->next = at;
    node->prev = at->prev;
    at->prev->next = node;
    at->prev = node;
}

void AddFolder(int entry, const std::string& folder) {
    DIR* d = opendir(folder.c_str());
    if (!d) return;
    std::vector<std::string> names;
    while (dirent* e = readdir(d)) {
        if (!IsRecordingName(e->d_name)) continue;
        // A file shorter than a header and its first index holds no recording.
        struct stat st{};
        const int64_t least = IsVideoRecordingName(e->d_name) ? 1 : kFirstFrameOffset;
        if (stat((folder + e->d_name).c_str(), &st) != 0 || st.st_size < least) continue;
        names.emplace_back(e->d_name);
    }
    closedir(d);
    for (const auto& n : names) AddNode(entry, n.c_str());
}

bool SameHour(const SystemTime& a, const SystemTime& b) {
    return a.year == b.year && a.month == b.month && a.day == b.day && a.hour == b.hour;
}

// The camera's location is its own text: a plain piece of the name, never a path.
std::string LocationForName(const char* location) { return SafeNamePart(std::string_view(location, strnlen(location, 120)), 120); }

}  // namespace

std::vector<MountEntry> ParseMounts(const std::string& text) {
    std::vector<MountEntry> out;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream f(line);
        MountEntry m;
        if (f >> m.device >> m.mountPoint >> m.type >> m.options) {
            m.device = Decode(m.device);
            m.mountPoint = Decode(m.mountPoint);
            out.push_back(std::move(m));
        }
    }
    return out;
}

bool IsStorageMount(const MountEntry& m) {
    static const std::set<std::string> kTypes = {"ext2",  "ext3", "ext4",  "xfs",   "btrfs", "f2fs", "jfs",
                                                 "reiserfs", "zfs", "vfat", "exfat", "ntfs", "ntfs3", "fuseblk",
                                                 "hfsplus", "nfs", "nfs4", "cifs", "smb3"};
    if (!kTypes.count(m.type)) return false;
    std::istringstream opts(m.options);
    std::string o;
    while (std::getline(opts, o, ','))
        if (o == "ro") return false;
    return true;
}

void SetDriveProbe(DriveProbe probe) {
    std::lock_guard lock(g_probeLock);
    DriveProber() = std::move(probe);
}

std::vector<std::string> ConfiguredStorageRoots() {
    const std::string v = ReadSetting("DVR", "StorageRoots", "", 4096);
    std::vector<std::string> roots;
    std::istringstream in(v);
    std::string r;
    while (std::getline(in, r, ';'))
        if (!r.empty()) roots.push_back(NormaliseSeparators(r));
    return roots;
}

std::string NasFolderInUse() {
    if (ReadSettingInt("DVR", "NAS", "0") == 0) return {};
    return ReadSetting("DVR", "NASDir", "", 260);
}

double FreeBytes(int entry, double* total) {
    if (total) *total = 0;
    if (entry < 0 || entry >= kMaxDrives) return 0;
    decltype(DriveProber().space) space;
    {
        std::lock_guard lock(g_probeLock);
        space = DriveProber().space;
    }
    double freeBytes = 0, totalBytes = 0;
    const std::string& root = g_drives.entries[entry].root;
    if (root.empty()) return 0;
    const bool ok = space ? space(root, freeBytes, totalBytes) : RealSpace(root, freeBytes, totalBytes);
    if (!ok) return 0;
    if (total) *total = totalBytes;
    return freeBytes;
}

namespace {
void BuildDriveTableLocked();
}  // namespace

void BuildDriveTable() {
    std::lock_guard lock(g_buildLock);
    BuildDriveTableLocked();
}

// Capture threads meet here at their first picture: one builds, the others wait for it.
void EnsureDriveTable() {
    std::lock_guard lock(g_buildLock);
    if (!g_drivesBuilt) BuildDriveTableLocked();
}

namespace {
// Makes the root's recording folder and takes it into the table when this user can write
// there and the file system is big enough (minBytes; 0 takes any size).
bool TakeRoot(const std::string& root, double minBytes) {
    DriveEntry& e = g_drives.entries[g_drives.count];
    e.root = root;
    e.folder = RecordingFolderOf(root);
    MakePrivateDir(e.folder.c_str());
    if (!Exists(e.folder)) return false;
    // The drive counts only when a file can be made and removed in the folder.
    const std::string test = e.folder + "Test";
    if (FILE* f = vastio::fopen(test.c_str(), "wb+")) vastio::fclose(f);
    if (!Exists(test) || unlink(test.c_str()) != 0) return false;
    // Hiding the folder has no meaning here: a dot-name would change its name.
    double total = 0;
    FreeBytes(g_drives.count, &total);
    if (total > minBytes) {
        if (DebugEnabled())
            DebugLog("recording drive %d: %s (%.1f GB free)", g_drives.count, e.folder.c_str(),
                     FreeBytes(g_drives.count) / 1e9);
        ++g_drives.count;
        return true;
    }
    rmdir(e.folder.c_str());
    return false;
}

void BuildDriveTableLocked() {
    g_drivesBuilt = true;
    g_drives.count = 0;
    const std::string nas = NasFolderInUse();
    if (!nas.empty()) {
        std::string folder = NormaliseSeparators(nas);
        const auto cut = folder.find_last_of('/');
        if (cut != std::string::npos && folder.size() - cut > 3) folder.resize(cut + 1);
        g_drives.entries[0].folder = WithSlash(folder);
        g_drives.entries[0].root = cut == std::string::npos ? folder : folder.substr(0, cut + 1);
        if (FreeBytes(0) != 0) g_drives.count = 1;
    }
    const int firstLocal = g_drives.count;
    std::vector<std::string> roots = ConfiguredStorageRoots();
    const bool configured = !roots.empty();
    if (!configured) {
        decltype(DriveProber().mounts) mounts;
        {
            std::lock_guard lock(g_probeLock);
            mounts = DriveProber().mounts;
        }
        for (const auto& m : mounts ? mounts() : RealMounts())
            if (IsStorageMount(m)) roots.push_back(UserRootFor(m.mountPoint));
    }
    const std::string systemDir = SystemDir();
    for (const auto& root : roots) {
        if (g_drives.count >= kMaxDrives) break;
        if (g_recorderSwitches.skipSystemDisk && SameDevice(root, systemDir)) continue;
        TakeRoot(root, kMinDriveBytes);
    }
    // A user who may write on none of the file systems records in a folder of their own.
    if (!configured && g_drives.count == firstLocal && g_drives.count < kMaxDrives) {
        const std::string own = UserDataDir();
        if (!own.empty() && MakeDirs(own) && !(g_recorderSwitches.skipSystemDisk && SameDevice(own, systemDir)))
            TakeRoot(own, 0);
    }
}
}  // namespace

namespace {
int ChooseDriveLocked() {
    if (!NasFolderInUse().empty()) return 0;
    int best = 0;
    double most = 0;
    for (int i = 0; i < g_drives.count; ++i) {
        const double f = FreeBytes(i);
        if (f > most) {
            most = f;
            best = i;
        }
    }
    return best;
}
}  // namespace

int ChooseDrive() {
    std::lock_guard lock(g_buildLock);
    if (!g_drivesBuilt) BuildDriveTableLocked();
    return ChooseDriveLocked();
}

std::string ChooseDriveFolder() {
    // The table may be rebuilt on the window thread meanwhile (network storage changed).
    std::lock_guard lock(g_buildLock);
    if (!g_drivesBuilt) BuildDriveTableLocked();
    const int entry = ChooseDriveLocked();
    if (g_drives.count == 0 && NasFolderInUse().empty()) return {};
    return g_drives.entries[entry].folder;
}

void StartRecorder() {
    g_lib.recording = ReadRecordingSwitch();
    gfMotionBlock = ReadMotionBlock();
    g_recorderSwitches.skipSystemDisk = ReadSettingInt("SCCTV", "SkipSystemDisk", "0");
}

void ClearRecordingSlots() {
    std::lock_guard lock(g_slotsLock);
    g_recordingSlots = {};
}

void AssignRecordingSlot(RecordView* view, int id, int numViews, const std::function<bool(RecordView*)>& closing) {
    if (!view || id < 0 || id >= static_cast<int>(g_recordingSlots.size())) return;
    std::lock_guard lock(g_slotsLock);
    RecordingSlot& s = g_recordingSlots[id];
    s.view = view;
    std::memset(s.location, 0, sizeof s.location);
    std::memcpy(s.location, view->record.location, strnlen(view->record.location, sizeof s.location - 1));
    view->recording.slot = id;
    s.duplicate = 0;
    for (int i = 0; i < static_cast<int>(g_recordingSlots.size()); ++i)
        if (i != id && !g_recordingSlots[i].duplicate && g_recordingSlots[i].view &&
            std::strcmp(g_recordingSlots[i].location, s.location) == 0)
            s.duplicate = 1;
    if (numViews <= 1) return;
    for (size_t j = 0; j < g_recordingSlots.size(); ++j) {
        RecordingSlot& sj = g_recordingSlots[j];
        sj.duplicate = 0;
        if (!sj.view || (closing && closing(sj.view))) continue;
        for (size_t i = 0; i < j; ++i)
            if (std::strcmp(g_recordingSlots[i].location, sj.location) == 0) g_recordingSlots[i].duplicate = 1;
    }
}

void StartRecordingContext(RecordView* view) {
    if (!view) return;
    view->recording.video.reset();
    view->recording.dvr = std::make_unique<DvrContext>();
    view->recording.dvr->view = view;
    view->recording.video.reset(NewVideoRecorder());
}

void StopRecordingContext(RecordView* view) {
    if (!view) return;
    view->recording.video.reset();
    view->recording.dvr.reset();
}

void ReleaseRecordingSlot(RecordView* view) {
    if (!view) return;
    std::lock_guard lock(g_slotsLock);
    for (RecordingSlot& s : g_recordingSlots)
        if (s.view == view) s = RecordingSlot{};
    view->recording.slot = -1;
}

void SetStatusSink(RecorderStatusSink sink) {
    std::lock_guard lock(g_statusLock);
    RecorderSink() = std::move(sink);
}

void ShowViewStatus(RecordView* view, int line, const std::string& text) {
    RecorderStatusSink sink;
    {
        std::lock_guard lock(g_statusLock);
        sink = RecorderSink();
    }
    if (sink) sink(view, line, text);
}

std::string HourFileName(const std::string& folder, const SystemTime& t, const char* location, int suffix,
                         const char* extension) {
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%04d%02d%02d%02d00", t.year, t.month, t.day, t.hour);
    std::string name = folder + stamp + LocationForName(location);
    if (suffix > 0) name += "~" + std::to_string(suffix);
    return name + extension;
}

bool IsRecordingName(const char* name) { return EndsWithCaseBlind(name, ".P360") || IsVideoRecordingName(name); }

namespace {

// Seconds of a local time, for the retry pause of a recorder that cannot open its file.
int64_t SecondsOf(const SystemTime& t) {
    using namespace std::chrono;
    const sys_days day = year_month_day(year(t.year), month(static_cast<unsigned>(t.month)),
                                        std::chrono::day(static_cast<unsigned>(t.day)));
    return day.time_since_epoch().count() * 86400LL + t.hour * 3600LL + t.minute * 60LL + t.second;
}

// Opens this hour's file on the roomiest drive: 1, 0 when it cannot be created (message
// 2553), -1 when its header cannot be written (message 2554).
int OpenHourFile(RecordView* view, DvrContext& dvr) {
    const std::string folder = ChooseDriveFolder();
    if (folder.empty()) return 0;
    // A file of this hour that cannot be continued keeps its frames: the hour goes on in a
    // file with a numbered name beside it.
    for (int suffix = 0; suffix < 100 && !dvr.stream; ++suffix) {
        const std::string path = HourFileName(folder, dvr.now, view->record.location, suffix);
        if (Exists(path)) {
            if (ReopenRecording(dvr, path) && dvr.frameCount < kMaxFramesPerFile) break;
            CloseRecording(dvr);
            continue;
        }
        const int r = CreateRecording(dvr, path, view->record, dvr.now);
        if (r <= 0) return r;
        DebugLog("recording into %s", path.c_str());
    }
    return dvr.stream ? 1 : 0;
}

}  // namespace

bool RecordingAllowed(RecordView* view, bool background) {
    if (!view || g_lib.callerId == 2) return false;
    if (!g_lib.recording && !background) return false;
    {
        std::lock_guard lock(g_slotsLock);
        const int slot = view->recording.slot;
        if (slot < 0 || slot >= static_cast<int>(g_recordingSlots.size()) || g_recordingSlots[slot].view != view ||
            g_recordingSlots[slot].duplicate)
            return false;
    }
    return view->recording.dvr != nullptr;
}

// A file that could not be opened is tried again after a pause, not at every picture: the
// capture thread keeps its picture rate whatever the storage does.
bool HourFileRetryDue(RecordView* view, const SystemTime& now) {
    const ViewRecording& rec = view->recording;
    return !rec.failing || SecondsOf(now) >= rec.retryAt;
}

void HourFileOpened(RecordView* view, int opened, const SystemTime& now) {
    ViewRecording& rec = view->recording;
    if (opened <= 0) {
        ShowViewStatus(view, 0, Text(opened == 0 ? 2553 : 2554));
        // The pause before the next try is waited once, when the trouble begins.
        if (opened == 0 && !rec.failing) SleepFor(300);
        rec.failing = 1;
        rec.retryAt = SecondsOf(now) + kRecorderRetrySeconds;
        return;
    }
    if (rec.failing) ShowViewStatus(view, 0, "");
    rec.failing = 0;
}

int RecordFrame(RecordView* view, const uint8_t* jpeg, size_t size, int motion, bool background) {
    if (!view || !jpeg || size == 0 || size > 0x7FFFFFFF - 64) return 0;
    if (!RecordingAllowed(view, background)) return 0;
    if (motion != kNoMotionDetector && motion == 0) return 0;
    DvrContext* dvr = view->recording.dvr.get();
    dvr->now = LocalNow();
    if (dvr->stream && SameHour(dvr->now, dvr->fileHour))
        return AppendFrame(*dvr, jpeg, static_cast<int32_t>(size), dvr->now);
    if (!HourFileRetryDue(view, dvr->now)) return 0;
    // A new hour (or a file that was lost): open this hour's file on the roomiest drive.
    CloseRecording(*dvr);
    const SystemTime asked = dvr->now;
    dvr->now = LocalNow();
    dvr->fileHour = dvr->now;
    const int opened = OpenHourFile(view, *dvr);
    HourFileOpened(view, opened, asked);
    if (opened <= 0) return 0;
    return AppendFrame(*dvr, jpeg, static_cast<int32_t>(size), dvr->now);
}

DvrNode* BuildCatalogue() {
    ResetCatalogue();
    EnsureDriveTable();
    int first = 0;
    const std::string nas = NasFolderInUse();
    if (!nas.empty()) {
        AddFolder(0, WithSlash(nas));
        first = 1;
    }
    for (int i = first; i < g_drives.count; ++i) AddFolder(i, g_drives.entries[i].folder);
    return &g_head;
}

DvrNode* CatalogueHead() {
    if (!g_catalogueReady) ResetCatalogue();
    return &g_head;
}
DvrNode* CatalogueTail() {
    if (!g_catalogueReady) ResetCatalogue();
    return &g_tail;
}

std::vector<DvrNode*> CatalogueNodes() {
    std::vector<DvrNode*> out;
    for (DvrNode* n = CatalogueHead()->next; n && n != &g_tail; n = n->next) out.push_back(n);
    return out;
}

void UnlinkCatalogueNode(DvrNode* node) {
    if (!node || node == &g_head || node == &g_tail || !node->prev || !node->next) return;
    node->prev->next = node->next;
    node->next->prev = node->prev;
    delete node;
}

std::string CatalogueText(const char* name) {
    const std::string n(name ? name : "");
    auto part = [&n](size_t at, size_t len) { return at < n.size() ? n.substr(at, len) : std::string(); };
    std::string rest = part(12, std::string::npos);
    const auto dot = rest.find_last_of('.');
    if (dot != std::string::npos) rest.resize(dot);
    return part(0, 4) + "/" + part(4, 2) + "/" + part(6, 2) + " " + part(8, 2) + ":" + part(10, 2) + "  -- " + rest;
}

std::string CataloguePath(const DvrNode* node) {
    if (!node || node->entry < 0 || node->entry >= kMaxDrives) return {};
    std::string folder = g_drives.entries[node->entry].folder;
    if (node->entry == 0 && !NasFolderInUse().empty()) folder = WithSlash(NasFolderInUse());
    return folder + node->name;
}

}  // namespace orb
