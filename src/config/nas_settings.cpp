#include "config/nas_settings.h"

#include <sys/stat.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <list>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

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

static bool NasLogInDue() { return !g_nasLoggedIn && g_nas.inUse && g_nas.launch && !FolderReachable(g_nas.folder); }

void LogIntoNas() {
    if (!NasLogInDue()) return;
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

static std::string AdvanceCommand(const AdvanceDialog& d) { return Cut(d.command, kCommandSize + 1); }

int AdvanceRun(void* owner, const AdvanceDialog& d) {
    return AdvanceRunEnded(owner, d, RunCommandLine(AdvanceCommand(d), false, kLongWaitMs));
}

int AdvanceRunEnded(void* owner, const AdvanceDialog& d, const SpawnResult& r) {
    const std::string command = AdvanceCommand(d);
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

// ---- The commands that run while the window goes on ----

namespace {

struct Background {
    std::thread thread;
    std::shared_ptr<std::atomic<bool>> done;
};
std::mutex g_backgroundLock;
std::condition_variable g_backgroundEnded;
// Never destroyed: a command still running when the process ends keeps its thread.
std::list<Background>& BackgroundCommands() {
    static auto* v = new std::list<Background>;
    return *v;
}
std::atomic<bool> g_logInStarted{false};
std::atomic<bool> g_runRunning{false};

bool RunInBackground(std::function<void()> work) {
    auto done = std::make_shared<std::atomic<bool>>(false);
    std::list<Background> ended;
    bool started = true;
    {
        std::lock_guard lock(g_backgroundLock);
        auto& all = BackgroundCommands();
        for (auto it = all.begin(); it != all.end();) {
            if (it->done->load()) ended.splice(ended.end(), all, it++);
            else ++it;
        }
        try {
            all.push_back({std::thread([work = std::move(work), done] {
                               work();
                               done->store(true);
                               std::lock_guard l(g_backgroundLock);
                               g_backgroundEnded.notify_all();
                           }),
                           done});
        } catch (const std::system_error&) {
            started = false;
        }
    }
    for (Background& b : ended) b.thread.join();  // ended already: at once
    return started;
}

}  // namespace

bool StartNasLogIn() {
    if (!NasLogInDue() || g_logInStarted.exchange(true)) return false;
    const std::string command = g_nas.command;
    return RunInBackground([command] {
        RunCommandLine(command, true, kLongWaitMs);
        g_nasLoggedIn = true;
        // The storage may be reachable now: the recorder measures it again.
        g_rebuildRecordingDrives();
    });
}

bool StartAdvanceRun(const AdvanceDialog& d, std::function<void(SpawnResult)> ended) {
    if (g_runRunning.exchange(true)) return false;
    const std::string command = AdvanceCommand(d);
    if (RunInBackground([command, ended = std::move(ended)] {
            const SpawnResult r = RunCommandLine(command, false, kLongWaitMs);
            g_runRunning = false;
            ended(r);
        }))
        return true;
    g_runRunning = false;
    return false;
}

bool AdvanceRunning() { return g_runRunning.load(); }

bool JoinNasCommands(int waitMs) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    std::list<Background> ended;
    bool none;
    {
        std::unique_lock lock(g_backgroundLock);
        auto& all = BackgroundCommands();
        for (;;) {
            for (auto it = all.begin(); it != all.end();) {
                if (it->done->load()) ended.splice(ended.end(), all, it++);
                else ++it;
            }
            none = all.empty();
            if (none || std::chrono::steady_clock::now() >= until) break;
            g_backgroundEnded.wait_until(lock, until);
        }
    }
    for (Background& b : ended) b.thread.join();
    return none;
}

}  // namespace orb

extern "C" void LogIntoNAS(void) { orb::LogIntoNas(); }
