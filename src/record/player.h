// The recording player's logic: opening recordings, the play step and loop, commands,
// positioning, the playlist and the management dialog. The window layer owns the frame,
// the view window, the buttons and the bar; it calls these functions and reads the state.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "orbiscope.h"
#include "record/recorder.h"

namespace orb {

struct PlayerStatus {
    int line;
    std::string text;
};

struct PlayerState {
    void* frame = nullptr;  // the player frame window (or a token while headless)
    bool frameOpen = false;
    bool paused = false;
    bool loopRunning = false;
    bool backupPlay = false;
    bool managementOpen = false;
    bool rootConfirmed = false;  // since the frame or a snapshot viewer was last opened
    bool packDisabled = false;   // menu command 2026, off when opened on a named file
    int beeps = 0;               // refused second players
    std::unique_ptr<RecordView> view;
    std::vector<DvrNode*> playlist;
    int selected = -1;
    std::string openPath;  // the recording open in the player view
    std::vector<DvrNode*> managementList;
    // Position bar.
    int barMin = 0, barMax = 0, barPos = 0;
    std::string timeText;
    HDIB picture = nullptr;  // the decoded current picture, owned here
    int width = 0, height = 0, rowBytes = 0;  // the picture as recorded
    int pictureScale = 1;                     // `picture` is 1/pictureScale of it a side
    std::vector<PlayerStatus> status;
    std::vector<int> waits;  // the last waits requested (for the window layer's timing)

    // Hooks of the window, dewarp and analysis layers; each may be empty.
    std::function<void*(void* parent)> createFrame;       // creates the frame; null on failure
    std::function<void(void* frame)> destroyFrame;
    std::function<void()> pumpMessages;                   // dispatches pending window messages
    std::function<void(RecordView*, int w, int h)> resetView;  // fresh picture size, lens set-up, mapping
    std::function<int()> decodeScale;                     // the reduction the player's view can take
    std::function<void(RecordView*, HDIB, int scale)> applyZones;  // privacy zones on the decoded picture
    std::function<void(RecordView*, HDIB)> present;         // dewarp into the views and repaint
    std::function<void(PlayerState&)> showManagement;     // the "DVRFile" dialog on screen
    std::function<void(PlayerState&)> hideManagement;
    std::function<void(PlayerState&)> showPlayback;       // the "Playback" dialog of backup play

    // A recording named by path outside the storage folders (the stand-alone player's, a
    // backup's): listed first, played like the catalogue's.
    std::unique_ptr<DvrNode> looseNode;
    std::string loosePath;
};
// The one player of the process, built on first use.
PlayerState& ThePlayer();

// Creates the frame and fills the playlist (file selected when named). False, with a beep
// or "No DVR File Found !!!", when a player exists or there is nothing to play.
bool OpenPlayerFrame(PlayerState& p, void* parent, const char* fileName);
void ClosePlayerFrame(PlayerState& p);
// Opens a recording into the player view; inPlace as when the play loop already runs.
bool OpenPlayerRecording(PlayerState& p, const std::string& path, bool inPlace);
// The playlist's, management dialog's and PlayDVR's open: runs the loop when none runs.
void OpenRecordingFromList(PlayerState& p, const std::string& path);
int RunPlayLoop(PlayerState& p);
int PlayStep(PlayerState& p);
void PlayerCommand(PlayerState& p, int command);
enum class ScrollRequest { LineLeft, LineRight, PageLeft, PageRight, Thumb, Top, Bottom };
void PlayerScroll(PlayerState& p, ScrollRequest request, int position = 0);
void SetBarPosition(PlayerState& p);
DvrContext* PlayerDvr(PlayerState& p);
// The path of a playlist node (the loose recording's or the catalogue's).
std::string PlayerNodePath(const PlayerState& p, const DvrNode* node);
// The list text of a playlist node: the catalogue's, or the loose recording's file name.
std::string PlayerNodeText(const PlayerState& p, const DvrNode* node);

// The management dialog ("DVRFile"): list filled from a new catalogue, fileName selected.
// openSelected: open the selected recording at once (the dialog's own command 102).
bool OpenManagement(PlayerState& p, const char* fileName, bool openSelected = true);
void CloseManagement(PlayerState& p);
// Opens the item chosen in the list (command 102 or a selection change).
void ManagementChoose(PlayerState& p, int item);
// Deletes the selected items (ascending indexes) after the root password check. Returns
// the number of files deleted, -1 when the check failed or deletion is disabled.
int ManagementDelete(PlayerState& p, std::vector<int> selected);

}  // namespace orb
