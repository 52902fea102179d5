// The player's management dialog ("DVRFile"): the recordings of the storage drives in a list
// of several choices; play, select all, delete and pack; other player commands go to the
// player frame.
#include <string>
#include <vector>

#include "export/pack_builder.h"
#include "config/library_state.h"
#include "record/player.h"
#include "record/recorder.h"
#include "ui/player_window.h"

namespace orb {

namespace {

constexpr int kList = 100, kPlay = 102, kSelectAll = 930, kDelete = 2063, kPack = 2026;
bool g_filling = false;

void FillList(HWND d, const PlayerState& p) {
    g_filling = true;
    ListReset(d, kList);
    for (const DvrNode* node : p.managementList) ListAddString(d, kList, PlayerNodeText(p, node));
    if (p.selected >= 0 && p.selected < ListCount(d, kList)) {
        ListSetSelection(d, kList, p.selected);
        ListSetItemSelected(d, kList, p.selected, true);
    }
    g_filling = false;
}

void RefreshPlaylist() {
    if (HWND box = ThePlayerWindows().playlist) InvalidateRect(box);
}

void Pack(HWND d, PlayerState& p) {
    const int item = ListGetSelection(d, kList);
    if (item < 0 || item >= static_cast<int>(p.managementList.size())) return;
    const std::string path = PlayerNodePath(p, p.managementList[item]);
    const std::string chosen = ChoosePackPath(d);
    if (!chosen.empty()) BuildRecordingPack(d, path, chosen);
}

void Delete(HWND d, PlayerState& p) {
    const std::vector<int> chosen = ListGetSelectedItems(d, kList);
    if (chosen.empty()) return;
    if (ManagementDelete(p, chosen) < 0) return;
    if (!p.managementOpen) return;
    FillList(d, p);
    RefreshPlaylist();
}

LRESULT FilesProc(HWND d, uint32_t msg, WPARAM w, LPARAM) {
    PlayerState& p = ThePlayer();
    if (msg == WM_INITDIALOG) {
        FillList(d, p);
        if (g_lib.callerId == 1 || g_lib.callerId == 2) EnableDlgItem(d, kDelete, false);
        if (p.packDisabled) EnableDlgItem(d, kPack, false);
        return 1;
    }
    if (msg == WM_CLOSE || (msg == WM_SYSCOMMAND && (w & 0xFFF0) == SC_CLOSE)) {
        CloseManagement(p);
        return 1;
    }
    if (msg != WM_COMMAND) return 0;
    const int id = static_cast<int>(LoWord(w)), code = static_cast<int>(HiWord(w));
    switch (id) {
    case kList:
        if (code == LBN_SELCHANGE && !g_filling) ManagementChoose(p, ListGetSelection(d, kList));
        return 1;
    case kPlay: ManagementChoose(p, ListGetSelection(d, kList)); return 1;
    case kSelectAll:
        for (int i = 0; i < ListCount(d, kList); ++i) ListSetItemSelected(d, kList, i, true);
        return 1;
    case kDelete: Delete(d, p); return 1;
    case kPack: Pack(d, p); return 1;
    case IDCANCEL:
    case 907: CloseManagement(p); return 1;
    case 920: case 1601: case 1602: case 1604: case 1605: case 1606: case 1701:
    case 2020: case 2021: case 2022: case 2023: case 2024: case 2025:
        if (HWND frame = ThePlayerWindows().frame) PostMessage(frame, WM_COMMAND, static_cast<WPARAM>(id), 0);
        return 1;
    default: return 0;
    }
}

}  // namespace

void ShowManagementDialog(PlayerState& p) {
    PlayerWindows& win = MutablePlayerWindows();
    if (IsWindow(win.management)) {
        FillList(win.management, p);
        return;
    }
    win.management = CreateDialog("DVRFile", win.frame, FilesProc, 0);
    if (win.management) ShowWindow(win.management, SW_SHOW);
}

void HideManagementDialog(PlayerState&) {
    PlayerWindows& win = MutablePlayerWindows();
    HWND d = win.management;
    win.management = nullptr;
    if (IsWindow(d)) DestroyWindow(d);
}

// The recording opened elsewhere (playlist box, frame) is selected in the list too.
void SyncManagementDialog(PlayerState& p) {
    HWND d = ThePlayerWindows().management;
    if (!IsWindow(d) || p.selected < 0 || p.selected >= ListCount(d, kList)) return;
    if (ListGetSelection(d, kList) == p.selected) return;
    g_filling = true;
    for (int i : ListGetSelectedItems(d, kList)) ListSetItemSelected(d, kList, i, false);
    ListSetSelection(d, kList, p.selected);
    ListSetItemSelected(d, kList, p.selected, true);
    g_filling = false;
}

}  // namespace orb
