// The colour balance dialog (command 935 of a view): modeless, one per process. Five sliders
// and an on/off box change a preview of the view's picture through dialog-private tables;
// OK stores the values in the record and rebuilds the view's tables, Cancel stores nothing.
#include <algorithm>
#include <array>
#include <mutex>

#include "dewarp/colour_balance.h"
#include "camera/picture_scale.h"
#include "ui/panoview.h"
#include "ui/composition.h"
#include "platform/dib.h"
#include "platform/window.h"
#include "ui/main_window.h"

namespace orb {

namespace {

constexpr const char* kPreviewClass = "Orbiscope Balance Preview";
constexpr int kPreview = 362, kOnBox = 1315;
// Slider ids in record order: cyan-red, magenta-green, yellow-blue, brightness, contrast.
constexpr std::array<int, 5> kSliders = {350, 352, 354, 356, 358};

struct Balance {
    HWND dialog = nullptr;
    uint32_t viewId = 0;
    std::array<int32_t, 5> values{};
    int32_t on = 0;
    HDIB source = nullptr, shown = nullptr;  // the view's picture and its adjusted copy
};
constinit Balance g_balance;

void RenderPreview() {
    Balance& b = g_balance;
    if (!b.source) return;
    DestroyDIB(b.shown);
    b.shown = DuplicateDIB(b.source);
    if (!b.shown || !b.on) return;
    ColourTables t;
    BuildColourTables(b.values[3], b.values[4], b.values[0], b.values[1], b.values[2], t);
    DibLock l(b.shown);
    for (int y = 0; y < l.height(); ++y) {
        uint8_t* p = l.rowFromTop(y);
        for (int x = 0; x < l.width(); ++x, p += 3) {
            p[0] = t.blue[p[0]];
            p[1] = t.green[p[1]];
            p[2] = t.red[p[2]];
        }
    }
}

LRESULT PreviewProc(HWND h, uint32_t msg, WPARAM w, LPARAM l) {
    if (msg != WM_PAINT) return DefWindowProc(h, msg, w, l);
    Canvas c = BeginPaint(h);
    FillRect(c, GetClientRect(h), Rgb(0, 0, 0));
    if (g_balance.shown) StretchPicture(c, {0, 0, c.width, c.height}, g_balance.shown);
    EndPaint(h);
    return 0;
}

void ShowValues(HWND d) {
    for (size_t i = 0; i < kSliders.size(); ++i) {
        SliderSetRange(d, kSliders[i], i < 3 ? -128 : -127, i < 3 ? 128 : 127);
        SliderSetPos(d, kSliders[i], g_balance.values[i]);
        SetDlgItemInt(d, kSliders[i] + 1, g_balance.values[i]);
        EnableDlgItem(d, kSliders[i], g_balance.on != 0);
    }
    CheckDlgButton(d, kOnBox, g_balance.on != 0);
    RenderPreview();
    InvalidateRect(GetDlgItem(d, kPreview));
}

void Close(HWND d, bool keep) {
    Balance& b = g_balance;
    if (keep)
        if (PanoView* view = FindView(b.viewId)) {
            std::lock_guard lock(view->ui.viewMutex);
            view->record.colourBalanceOn = b.on;
            std::copy(b.values.begin(), b.values.end(), view->record.colourShift);
            LoadColourTables(view->record, view->dewarp.colour);
        }
    DestroyDIB(b.source);
    DestroyDIB(b.shown);
    b = {};
    DestroyWindow(d);
}

LRESULT BalanceProc(HWND d, uint32_t msg, WPARAM w, LPARAM l) {
    switch (msg) {
    case WM_INITDIALOG:
        ShowValues(d);
        return 0;
    case WM_HSCROLL: {
        const int id = GetDlgCtrlID(reinterpret_cast<HWND>(l));
        const auto it = std::find(kSliders.begin(), kSliders.end(), id);
        if (it == kSliders.end()) return 0;
        g_balance.values[it - kSliders.begin()] = SliderGetPos(d, id);
        ShowValues(d);
        return 1;
    }
    case WM_COMMAND:
        if (LoWord(w) == kOnBox) {
            g_balance.on = IsDlgButtonChecked(d, kOnBox) ? 1 : 0;
            ShowValues(d);
            return 1;
        }
        if (HiWord(w) == BN_CLICKED && (LoWord(w) == IDOK || LoWord(w) == IDCANCEL)) {
            Close(d, LoWord(w) == IDOK);
            return 1;
        }
        return 0;
    case WM_CLOSE:
        Close(d, false);
        return 1;
    default:
        return 0;
    }
}

// A second request brings the open dialog forward.
bool OpenBalance(PanoView* view, HWND window) {
    if (g_balance.dialog && IsWindow(g_balance.dialog)) {
        ShowWindow(g_balance.dialog, SW_SHOW);
        return true;
    }
    if (!IsClassRegistered(kPreviewClass)) RegisterWindowClass({kPreviewClass, PreviewProc});
    Balance& b = g_balance;
    b = {};
    b.viewId = view->id;
    {
        std::lock_guard lock(view->ui.viewMutex);
        b.on = view->record.colourBalanceOn ? 1 : 0;
        std::copy(view->record.colourShift, view->record.colourShift + 5, b.values.begin());
        if (HDIB full = FullCurrentPicture(*view)) {
            b.source = Duplicate24BitsDIB(full);
            DestroyDIB(full);
        }
    }
    b.dialog = CreateDialog("Balance", window, BalanceProc, 0);
    if (!b.dialog) {
        DestroyDIB(b.source);
        b = {};
    }
    return true;
}

bool BalanceCommand(PanoView* view, HWND window, int command) {
    if (command != kCmdBalance || !view) return false;
    // The capture thread holds while the dialog takes its copy.
    const int32_t paused = view->ui.paused.exchange(1);
    OpenBalance(view, window);
    view->ui.paused = paused;
    return true;
}

}  // namespace

HWND BalanceDialog() { return g_balance.dialog && IsWindow(g_balance.dialog) ? g_balance.dialog : nullptr; }

void InstallBalanceDialog() { AddViewCommandHandler(BalanceCommand); }

}  // namespace orb
