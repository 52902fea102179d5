// Network storage: a folder the recorder may write to and the command that connects it.
// The system speaks no storage protocol; it only runs the user's log-in command.
#pragma once
#include <functional>
#include <string>

#include "platform/spawn.h"

namespace orb {

struct NasSettings {
    bool inUse = false;     // "NAS"
    std::string folder;     // "NASDir", at most 259 characters
    std::string command;    // "NASConfig", at most 499 characters
    bool launch = true;     // "NASLaunch": run the command at start-up
};

extern NasSettings g_nas;
// Set once the log-in step has run in this process.
extern bool g_nasLoggedIn;

void ReadNasSettings();
// "NAS", "NASLaunch", "NASDir", "NASConfig", in that order; true when all were written.
bool WriteNasSettings();

// Runs the log-in command, hidden, once per process, when storage is in use, launching is
// on and the folder is not reachable.
void LogIntoNas();
// The same step without waiting for it (the program's start): the command runs on a thread
// of its own and the window goes on; once it has ended the recorder's drive list is built
// again, so the storage counts from then on. True when a log-in was started.
bool StartNasLogIn();

// The recorder's part of the OK step: rebuild its drive list (giving the number of drives
// left) and reload the recording list. The recorder installs them; by default the drive
// list counts as non-empty and nothing is reloaded.
using RebuildDrivesHook = int (*)();
using ReloadRecordingsHook = void (*)();
extern RebuildDrivesHook g_rebuildRecordingDrives;
extern ReloadRecordingsHook g_reloadRecordingList;

// The "Advance" dialog's logic; the window layer shows the state and forwards the clicks.
namespace advance {
constexpr int kOff = 1850, kOn = 1851, kBrowse = 1852, kCommand = 1853, kFolder = 1855, kRun = 1856,
              kLaunch = 1857;
}

struct AdvanceDialog {
    bool inUse = false;
    std::string command;
    std::string folder;
    bool launch = true;
};

// The dialog's state on opening, from the current settings.
AdvanceDialog OpenAdvanceDialog();
// Whether a control is enabled in this state (radio buttons are always enabled).
bool AdvanceControlEnabled(const AdvanceDialog& d, int controlId);
// A folder chosen in the browser: kept with a trailing separator.
void AdvanceChooseFolder(AdvanceDialog& d, const std::string& chosen);
// Run button: the command as typed, visible, waited for. 1 when it ran, 0 when it could
// not start (a message says so).
int AdvanceRun(void* owner, const AdvanceDialog& d);
// The same without waiting: the command runs on a thread of its own, and `ended` is called
// there with its result (which AdvanceRunEnded then tells the person, on the window
// thread). False when a command of the dialog still runs or none could be started.
bool StartAdvanceRun(const AdvanceDialog& d, std::function<void(SpawnResult)> ended);
int AdvanceRunEnded(void* owner, const AdvanceDialog& d, const SpawnResult& r);
bool AdvanceRunning();
// Waits up to waitMs for the commands started so; true when none runs any more (a command
// still running after that keeps running on its own).
bool JoinNasCommands(int waitMs);
// OK: stores and writes the settings and lets the recorder rebuild its drives (message 2764
// when none is left). Returns the dialog's result, 1.
int AdvanceOk(void* owner, const AdvanceDialog& d);
// Cancel: nothing is written; 0.
inline int AdvanceCancel() { return 0; }

// Text 2555 titles the folder browser.
std::string AdvanceBrowseTitle();

}  // namespace orb
