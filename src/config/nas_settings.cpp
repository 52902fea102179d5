#include "config/nas_settings.h"

#include <sys/stat.h>

#include "config/settings.h"
#include "platform/texts.h"
#include "orbiscope.h"
#include "platform/msgbox.h"
#include "platform/spawn.h"

namespace orb {

namespace {

constexpr const char* kSection = "DVR";
constexpr size_t kFolderSize = 260;
constexpr size_t kCommandSize = 500;

std::string Cut(const std::string& s, size_t size) { return s.size() < size ? s : s.substr(0, size - 1); }

bool FolderReachable(const std::string& folder) {
    if (folder.empty()) return false;
    struct stat st {};
    return ::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

int AtLeastOneDrive() { return 1; }
void NoReload() {}

}  // namespace

constinit NasSettings g_nas;
bool g_nasLoggedIn = false;
RebuildDrivesHook g_rebuildRecordingDrives = &AtLeastOneDrive;
ReloadRecordingsHook g_reloadRecordingList = &NoReload;

void ReadNasSettings() {
    g_nas.inUse = ReadSettingInt(kSection, "NAS", "0") != 0;
    g_nas.folder = ReadSetting(kSection, "NASDir", "", kFolderSize);
    g_nas.command = ReadSetting(kSection, "NASConfig", "", kCommandSize);
    g_nas.launch = ReadSettingInt(kSection, "NASLaunch", "1") != 0;
}

bool WriteNasSettings() {
    bool ok = WriteSettingFlag(kSection, "NAS", g_nas.inUse);
    ok = WriteSettingFlag(kSection, "NASLaunch", g_nas.launch) && ok;
    ok = WriteSetting(kSection, "NASDir", g_nas.folder) && ok;
    ok = WriteSetting(kSection, "NASConfig", g_nas.command) && ok;
    return ok;
}

void LogIntoNas() {
    if (g_nasLoggedIn || !g_nas.inUse || !g_nas.launch || FolderReachable(g_nas.folder)) return;
    // A command that cannot start is not reported; the step is not tried again either.
    RunCommandLine(g_nas.command, true, kLongWaitMs);
    g_nasLoggedIn = true;
}

AdvanceDialog OpenAdvanceDialog() {
    return AdvanceDialog{g_nas.inUse, g_nas.command, g_nas.folder, g_nas.launch};
}

bool AdvanceControlEnabled(const AdvanceDialog& d, int controlId) {
    switch (controlId) {
        case advance::kOff:
        case advance::kOn:
            return true;
        case advance::kRun:
            return d.inUse && d.command.size() >= 5;
        case advance::kBrowse:
        case advance::kCommand:
        case advance::kFolder:
        case advance::kLaunch:
        case 1854:
            return d.inUse;
        default:
            return true;
    }
}

void AdvanceChooseFolder(AdvanceDialog& d, const std::string& chosen) {
    if (chosen.empty()) return;
    d.folder = chosen;
    if (d.folder.back() != '/' && d.folder.back() != '\\') d.folder += '/';
    d.folder = Cut(d.folder, kFolderSize);
}

int AdvanceRun(void* owner, const AdvanceDialog& d) {
    const std::string command = Cut(d.command, kCommandSize + 1);
    const SpawnResult r = RunCommandLine(command, false, kLongWaitMs);
    if (r.ran()) return 1;
    if (r.status == SpawnStatus::kTimedOut) {
        MessageBox(owner, "The log-in command did not end in time and was stopped.", "", kMbOk | kMbIconWarning);
        return 1;
    }
    const std::vector<std::string> words = SplitCommandLine(command);
    MessageBox(owner,
               "The log-in command could not be started: " + (words.empty() ? std::string("(empty)") : words[0]), "",
               kMbOk | kMbIconError);
    return 0;
}

int AdvanceOk(void* owner, const AdvanceDialog& d) {
    g_nas.inUse = d.inUse;
    g_nas.command = Cut(d.command, kCommandSize);
    g_nas.folder = Cut(d.folder, kFolderSize);
    g_nas.launch = d.launch;
    if (!WriteNasSettings())
        MessageBox(owner, "The network storage settings could not be kept: a line break in a folder or command is refused.",
                   "", kMbOk | kMbIconWarning);
    if (g_rebuildRecordingDrives() <= 0)
        MessageBox(owner, Text(2764), "", kMbOk);
    else
        g_reloadRecordingList();
    return 1;
}

std::string AdvanceBrowseTitle() { return Text(2555); }

}  // namespace orb

extern "C" void LogIntoNAS(void) { orb::LogIntoNas(); }
