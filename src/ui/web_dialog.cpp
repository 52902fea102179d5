// The "Web" dialog on the window layer: its controls show a WebDialog state and the
// person's clicks and slider moves go to that state's logic (web_page.cpp).
#include "export/web_page.h"
#include "orbiscope.h"
#include "platform/choosers.h"
#include "platform/window.h"

namespace orb {

namespace {

constexpr int kCameraList = 1000, kPathText = 716;

// One web page dialog is open at a time; its state lives in GenerateWebPage's frame.
WebDialog* g_web = nullptr;

void ShowCreateButtons(HWND d) {
    EnableDlgItem(d, web::kCreate, g_web->createEnabled);
    EnableDlgItem(d, web::kCreateOpen, g_web->createEnabled);
}

bool CameraChosen() { return g_web->selected >= 0 && g_web->selected < static_cast<int>(g_web->cameras.size()); }

void Initialise(HWND d) {
    for (const auto& c : g_web->cameras) ListAddString(d, kCameraList, c.location);
    ListSetSelection(d, kCameraList, g_web->selected);
    SetDlgItemText(d, kPathText, g_web->pathText);
    for (int id : {web::kWidth, web::kHeight}) {
        SliderSetRange(d, id, 30, 512);
        const int pos = id == web::kWidth ? g_web->widthPosition : g_web->heightPosition;
        SliderSetPos(d, id, pos);
        SetDlgItemText(d, id + 1, std::to_string(pos * 4));
    }
    ShowCreateButtons(d);
}

void Browse(HWND d) {
    FileRequest r;
    r.save = true;
    r.title = web::kBrowseTitle;
    r.defaultExtension = web::kBrowseExtension;
    r.filters = {{web::kBrowseFilter, "*.html"}};
    WebChoosePath(*g_web, ChooseFile(d, r));
    SetDlgItemText(d, kPathText, g_web->pathText);
    ShowCreateButtons(d);
}

LRESULT WebProc(HWND d, uint32_t msg, WPARAM w, LPARAM l) {
    if (msg == WM_INITDIALOG) {
        Initialise(d);
        return 0;
    }
    if (msg == WM_HSCROLL) {
        const int id = GetDlgCtrlID(reinterpret_cast<HWND>(l));
        if (id == web::kWidth || id == web::kHeight) SetDlgItemText(d, id + 1, WebSetSize(*g_web, id, SliderGetPos(d, id)));
        return 1;
    }
    if (msg != WM_COMMAND) return 0;
    const int id = static_cast<int>(LoWord(w));
    if (id == kCameraList) {
        g_web->selected = ListGetSelection(d, kCameraList);
        return 1;
    }
    if (HiWord(w) != BN_CLICKED) return 0;
    switch (id) {
    case web::kBrowse: Browse(d); return 1;
    case web::kCreate:
        if (CameraChosen()) WebCreate(d, *g_web);
        return 1;
    case web::kCreateOpen:
        if (CameraChosen()) WebCreateAndOpen(d, *g_web);
        return 1;
    case web::kCancel:
    case web::kCancelToo: EndDialog(d, WebCancel()); return 1;
    default: return 0;
    }
}

}  // namespace

}  // namespace orb

extern "C" int32_t GenerateWebPage(void* ownerWindow) {
    using namespace orb;
    if (g_web) return -1;  // one at a time
    WebDialog state = OpenWebDialog(ownerWindow);
    g_web = &state;
    const intptr_t r = DialogBox("Web", static_cast<HWND>(ownerWindow), WebProc, 0);
    g_web = nullptr;
    return static_cast<int32_t>(r);
}
