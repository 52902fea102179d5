// The "Playback" dialog of backup play: the recordings of the backup folder; choosing one
// plays it in the player, Browse picks another folder, Delete removes the chosen backups,
// Copy opens the backup dialog; the player's own commands go to the player frame.
#include <string>
#include <vector>

#include "platform/texts.h"
#include "platform/choosers.h"
#include "platform/msgbox.h"
#include "record/backup.h"
#include "record/player.h"
#include "ui/backup_dialog.h"
#include "ui/player_window.h"

namespace orb {

namespace {

constexpr int kFolderText = 1306, kBrowse = 1307, kTargetList = 1304, kDelete = 1303;
HWND g_playback = nullptr;
std::vector<std::string> g_names;

void Fill(HWND d) {
    const std::string folder = BackupFolderSetting();
    SetDlgItemText(d, kFolderText, folder);
    g_names = BackupPlaybackList();
    ListReset(d, kTargetList);
    for (const auto& name : g_names) ListAddString(d, kTargetList, BackupListText(name));
    EnableDlgItem(d, kDelete, false);
}

void Browse(HWND d) {
    const std::string chosen = ChooseFolder(d, Text(2306), BackupFolderSetting());
    if (chosen.empty()) return;
    std::string folder = chosen.substr(0, 258);
    if (folder.back() != '/') folder += '/';
    if (!StoreBackupFolder(folder)) MessageBox(d, kFolderNotKeptText, "", kMbOk | kMbIconWarning);
    Fill(d);
}

void DeleteChosen(HWND d) {
    std::vector<std::string> names;
    for (int i : ListGetSelectedItems(d, kTargetList))
        if (i >= 0 && i < static_cast<int>(g_names.size())) names.push_back(g_names[i]);
    if (!names.empty()) DeleteBackups(d, BackupFolderSetting(), names);
    Fill(d);
}

void Close(HWND d) {
    if (g_playback == d) g_playback = nullptr;
    DestroyWindow(d);
}

LRESULT PlaybackProc(HWND d, uint32_t msg, WPARAM w, LPARAM) {
    if (msg == WM_INITDIALOG) {
        Fill(d);
        return 1;
    }
    if (msg == WM_CLOSE || (msg == WM_SYSCOMMAND && (w & 0xFFF0) == SC_CLOSE)) {
        Close(d);
        return 1;
    }
    if (msg != WM_COMMAND) return 0;
    const int id = static_cast<int>(LoWord(w)), code = static_cast<int>(HiWord(w));
    switch (id) {
    case kTargetList: {
        const auto chosen = ListGetSelectedItems(d, kTargetList);
        EnableDlgItem(d, kDelete, !chosen.empty());
        if (code == LBN_SELCHANGE) PlayBackupItem(ThePlayer(), ListGetSelection(d, kTargetList));
        return 1;
    }
    case kDelete:
    case 2063: DeleteChosen(d); return 1;
    case kBrowse: Browse(d); return 1;
    case IDOK:
        RunBackupDialog(d);
        Fill(d);
        return 1;
    case IDCANCEL: Close(d); return 1;
    default:
        if (id == 907 || (id >= 1601 && id <= 1606) || id == 1701 || (id >= 2020 && id <= 2026) || id == 2057) {
            if (HWND frame = ThePlayerWindows().frame) PostMessage(frame, WM_COMMAND, static_cast<WPARAM>(id), 0);
            return 1;
        }
        return 0;
    }
}

}  // namespace

void ShowPlaybackDialog(PlayerState&) {
    if (IsWindow(g_playback)) return;
    g_playback = CreateDialog("Playback", ThePlayerWindows().frame, PlaybackProc, 0);
    if (g_playback) ShowWindow(g_playback, SW_SHOW);
}

void TogglePlaybackDialog() {
    if (IsWindow(g_playback)) Close(g_playback);
    else ShowPlaybackDialog(ThePlayer());
}

HWND PlaybackDialogWindow() { return IsWindow(g_playback) ? g_playback : nullptr; }

// The backup file chosen in the dialog (for packing under backup play), or "".
std::string ChosenBackupPath() {
    if (!IsWindow(g_playback)) return {};
    const int i = ListGetSelection(g_playback, kTargetList);
    if (i < 0 || i >= static_cast<int>(g_names.size())) return {};
    return BackupFolderSetting() + g_names[i];
}

}  // namespace orb
