#include "ui/editor_windows.h"

#include <algorithm>
#include <mutex>

#include "camera/picture_scale.h"
#include "ui/mask_editor.h"
#include "analysis/motion_view.h"
#include "ui/zone_editor.h"
#include "camera/frame_pipeline.h"
#include "ui/panoview.h"
#include "ui/run_orbiscope.h"
#include "ui/composition.h"
#include "platform/dib.h"
#include "ui/main_window.h"

namespace orb {

namespace {

constexpr uint32_t kKeyEnter = 0x0D, kKeyEscape = 0x1B;

// What the two editors differ in.
struct MaskKind {
    using Editor = MaskEditor;
    static constexpr const char* kClass = "Orbiscope Motion Mask";
    static bool Open(Editor& e, PanoView& v, HDIB p, int w, int h) { return OpenMaskEditor(e, v, p, w, h); }
    static void Down(Editor& e, int x, int y, bool left) { MaskEditorButtonDown(e, x, y, left); }
    static bool Move(Editor& e, int x, int y) { return MaskEditorMouseMove(e, x, y); }
    static void Up(Editor& e, int x, int y) { MaskEditorButtonUp(e, x, y); }
    // Enter keeps the mask, Escape leaves it as it was.
    static void Close(Editor& e, PanoView* v, bool keep) {
        if (v && keep) MaskEditorOk(e, *v);
        CloseMaskEditor(e);
    }
    // C clears, I inverts.
    static bool Key(Editor& e, uint32_t key) {
        if (key == 'C') ClearMask(e);
        else if (key == 'I') InvertMask(e);
        else return false;
        return true;
    }
    // The tool dialog: the sensitivity slider (110) with its label (112) and reset (111).
    static constexpr const char* kTool = "Mask";
    static constexpr int kSlider = 110, kLabel = 112;
    static void ShowTool(HWND d, const Editor& e) {
        SliderSetRange(d, kSlider, kMinMaskSensitivity, kMaxMaskSensitivity);
        SliderSetPos(d, kSlider, e.sensitivity);
        SetDlgItemInt(d, kLabel, e.sensitivity);
    }
    static bool ToolInput(HWND d, Editor& e, uint32_t msg, WPARAM w) {
        if (msg == WM_HSCROLL) SetMaskSensitivity(e, SliderGetPos(d, kSlider));
        else if (msg == WM_COMMAND && LoWord(w) == kMaskResetButton) ResetMaskSensitivity(e);
        else return false;
        ShowTool(d, e);
        return true;
    }
};

struct ZoneKind {
    using Editor = ZoneEditor;
    static constexpr const char* kClass = "Orbiscope MaskZome";
    static bool Open(Editor& e, PanoView& v, HDIB p, int w, int h) { return OpenZoneEditor(e, v, p, w, h); }
    static void Down(Editor& e, int x, int y, bool left) { ZoneEditorButtonDown(e, x, y, left); }
    static bool Move(Editor& e, int x, int y) { return ZoneEditorMouseMove(e, x, y); }
    static void Up(Editor& e, int x, int y) { ZoneEditorButtonUp(e, x, y); }
    // The edits go to the view whichever way the editor closes.
    static void Close(Editor& e, PanoView* v, bool) {
        if (v) CloseZoneEditor(e, *v);
    }
    // 1-4 the strength, B brighten, D darken, O zones on or off.
    static bool Key(Editor& e, uint32_t key) {
        ZoneButtons b = ZoneButtonsFromStyle(e.context.style);
        if (key >= '1' && key <= '4') b.strength = kZoneStrength2 + static_cast<int>(key - '1');
        else if (key == 'B') b.shade = kZoneBrightenButton;
        else if (key == 'D') b.shade = kZoneDarken;
        else if (key == 'O') b.onOff = b.onOff == kZoneOnButton ? kZoneOffButton : kZoneOnButton;
        else return false;
        SetZoneEditorStyle(e, ZoneStyleFromButtons(b.onOff == kZoneOnButton, b.shade == kZoneBrightenButton, b.strength));
        return true;
    }
    // The tool dialog: its radio buttons are read on every click.
    static constexpr const char* kTool = "MaskZone";
    static void ShowTool(HWND d, const Editor& e) {
        const ZoneButtons b = ZoneButtonsFromStyle(e.context.style);
        for (int id = kZoneStrength2; id <= kZoneOffButton; ++id)
            CheckDlgButton(d, id, id == b.onOff || id == b.shade || id == b.strength);
    }
    static bool ToolInput(HWND d, Editor& e, uint32_t msg, WPARAM w) {
        if (msg != WM_COMMAND || LoWord(w) < kZoneStrength2 || LoWord(w) > kZoneOffButton) return false;
        int strength = kZoneStrength2;
        for (int id = kZoneStrength2; id <= kZoneStrengthFull; ++id)
            if (IsDlgButtonChecked(d, id)) strength = id;
        SetZoneEditorStyle(e, ZoneStyleFromButtons(IsDlgButtonChecked(d, kZoneOnButton),
                                                   IsDlgButtonChecked(d, kZoneBrightenButton), strength));
        return true;
    }
};

// One editor of each kind at a time: it covers the whole screen.
template <typename Kind>
struct EditorWindow {
    static inline constinit typename Kind::Editor editor;
    static inline HWND window = nullptr, tool = nullptr;
    static inline uint32_t viewId = 0;

    static void Close(bool keep) {
        PanoView* view = viewId ? FindView(viewId) : nullptr;
        Kind::Close(editor, view, keep);
        HWND w = window, t = tool;
        window = tool = nullptr;
        viewId = 0;
        if (t) DestroyWindow(t);
        if (w) DestroyWindow(w);
    }

    // The tool dialog floats over the editor; OK keeps the edits, Cancel drops them.
    static LRESULT ToolProc(HWND d, uint32_t msg, WPARAM w, LPARAM) {
        if (msg == WM_INITDIALOG) {
            Kind::ShowTool(d, editor);
            return 0;
        }
        if (Kind::ToolInput(d, editor, msg, w)) {
            if (window) InvalidateRect(window);
            return 1;
        }
        if (msg == WM_COMMAND && HiWord(w) == BN_CLICKED && (LoWord(w) == IDOK || LoWord(w) == IDCANCEL)) {
            Close(LoWord(w) == IDOK);
            return 1;
        }
        if (msg == WM_CLOSE) {
            Close(false);
            return 1;
        }
        return 0;
    }

    static LRESULT Proc(HWND hwnd, uint32_t msg, WPARAM w, LPARAM l) {
        switch (msg) {
        case WM_PAINT: {
            Canvas c = BeginPaint(hwnd);
            if (editor.preview) StretchPicture(c, Rect{0, 0, c.width, c.height}, editor.preview);
            const RubberBand& b = editor.band;
            if (b.active)
                FrameRect(c, Rect{std::min(b.x1, b.x2), std::min(b.y1, b.y2), std::max(b.x1, b.x2) + 1, std::max(b.y1, b.y2) + 1},
                          b.colour());
            EndPaint(hwnd);
            return 0;
        }
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN:
            SetCapture(hwnd);
            Kind::Down(editor, PointX(l), PointY(l), msg == WM_LBUTTONDOWN);
            InvalidateRect(hwnd);
            return 0;
        case WM_MOUSEMOVE:
            if (Kind::Move(editor, PointX(l), PointY(l))) InvalidateRect(hwnd);
            return 0;
        case WM_LBUTTONUP:
        case WM_RBUTTONUP:
            ReleaseCapture();
            Kind::Up(editor, PointX(l), PointY(l));
            InvalidateRect(hwnd);
            return 0;
        case WM_KEYDOWN:
            if (w == kKeyEnter || w == kKeyEscape) Close(w == kKeyEnter);
            else if (Kind::Key(editor, static_cast<uint32_t>(w))) InvalidateRect(hwnd);
            return 0;
        case WM_CLOSE:
            Close(false);
            return 0;
        default:
            return DefWindowProc(hwnd, msg, w, l);
        }
    }

    static bool Open(PanoView* view) {
        if (!view || window) return false;
        const int32_t paused = view->ui.paused.exchange(1);
        const Rect screen = ScreenRect();
        bool opened;
        {
            std::lock_guard lock(view->ui.viewMutex);
            // Masks and zones are drawn on the camera's whole picture.
            HDIB full = FullCurrentPicture(*view);
            opened = full && Kind::Open(editor, *view, full, screen.width(), screen.height());
            DestroyDIB(full);
        }
        if (opened) {
            window = CreateWindow(Kind::kClass, "", WS_POPUP | WS_VISIBLE | WS_EX_TOPMOST, screen.left, screen.top,
                                  screen.width(), screen.height(), nullptr, 0, nullptr);
            if (!window) Kind::Close(editor, view, false);
        }
        if (!opened || !window) {
            view->ui.paused = paused;
            return false;
        }
        viewId = view->id;
        // The editor holds its own copy of the picture: capture and recording go on while
        // the user edits.
        view->ui.paused = paused;
        tool = CreateDialog(Kind::kTool, window, ToolProc, 0);
        InvalidateRect(window);
        return true;
    }
};

bool EditorCommand(PanoView* view, HWND, int command) {
    if (!view) return false;
    switch (command) {
    case kCmdMotionOn:
    case kCmdMotionOff:
        SetMotionDetection(*view, command == kCmdMotionOn);
        return true;
    case kCmdMotionMask:
        OpenMaskEditorWindow(view);
        return true;
    case kCmdZoneEditor:  // the window has asked for the password already
        OpenZoneEditorWindow(view);
        return true;
    default:
        return false;
    }
}

}  // namespace

HWND MaskEditorWindow() { return EditorWindow<MaskKind>::window; }
HWND ZoneEditorWindow() { return EditorWindow<ZoneKind>::window; }
bool OpenMaskEditorWindow(PanoView* view) { return EditorWindow<MaskKind>::Open(view); }
bool OpenZoneEditorWindow(PanoView* view) { return EditorWindow<ZoneKind>::Open(view); }

void InstallEditorWindows() {
    SetLibraryClassProc(MaskKind::kClass, EditorWindow<MaskKind>::Proc);
    SetLibraryClassProc(ZoneKind::kClass, EditorWindow<ZoneKind>::Proc);
    AddViewCommandHandler(EditorCommand);
}

}  // namespace orb
