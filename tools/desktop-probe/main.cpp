// Opens one piece of the desktop for a test that drives it with real input, and prints what
// the window layer received, one line per event, flushed at once:
//   desktop-probe dialog NAME      a template of the text resource file with a procedure that
//                                  logs its messages (lists get five items, sliders 0..100)
//   desktop-probe menu             a window whose right click shows the ViewBox menu
//   desktop-probe root | check | dvr | advance   the product's own dialogs
//   desktop-probe open FOLDER      the open-file chooser starting in FOLDER
//   desktop-probe message          a Yes / No message box
//   desktop-probe web              the web page dialog of GenerateWebPage
// ORBISCOPE_HOME must hold the text resource file. Exit codes: 0 done, 77 no desktop.
#include <cstdio>
#include <string>

#include "config/nas_settings.h"
#include "config/root_password.h"
#include "host/startup.h"
#include "platform/texts.h"
#include "orbiscope.h"
#include "platform/choosers.h"
#include "platform/msgbox.h"
#include "platform/window.h"
#include "platform/window_script.h"
#include "record/player.h"
#include "ui/nas_dialog.h"

namespace {

void Say(const std::string& s) {
    std::printf("%s\n", s.c_str());
    std::fflush(stdout);
}

// Every control's state as the layer holds it.
void SayControls(orb::HWND d) {
    for (orb::HWND c : orb::GetChildren(d)) {
        const int id = orb::GetDlgCtrlID(c);
        std::string sel;
        for (int i : orb::ListGetSelectedItems(d, id)) sel += (sel.empty() ? "" : ",") + std::to_string(i);
        Say("control " + std::to_string(id) + " text=\"" + orb::GetDlgItemText(d, id) + "\" checked=" +
            std::to_string(orb::IsDlgButtonChecked(d, id)) + " value=" + std::to_string(orb::GetDlgItemInt(d, id)) +
            " selected=" + sel);
    }
}

orb::LRESULT LoggingProc(orb::HWND d, uint32_t msg, orb::WPARAM w, orb::LPARAM l) {
    using namespace orb;
    switch (msg) {
    case WM_INITDIALOG:
        for (HWND c : GetChildren(d)) {
            const int id = GetDlgCtrlID(c);
            if (ListCount(d, id) == 0 && ListAddString(d, id, "Item 1") == 0)  // lists and combos
                for (int i = 2; i <= 5; ++i) ListAddString(d, id, "Item " + std::to_string(i));
            SliderSetRange(d, id, 0, 100);
        }
        Say("init");
        return 0;
    case WM_COMMAND:
        Say("command " + std::to_string(LoWord(w)) + " code " + std::to_string(HiWord(w)));
        if (LoWord(w) == IDOK || LoWord(w) == IDCANCEL) {
            SayControls(d);
            EndDialog(d, LoWord(w));
        }
        return 1;
    case WM_HSCROLL:
        Say("slider " + std::to_string(GetDlgCtrlID(reinterpret_cast<HWND>(l))) + " pos " + std::to_string(HiWord(w)));
        return 1;
    default:
        return 0;
    }
}

orb::LRESULT MenuWindowProc(orb::HWND h, uint32_t msg, orb::WPARAM w, orb::LPARAM l) {
    using namespace orb;
    if (msg == WM_PAINT) {
        Canvas c = BeginPaint(h);
        FillRect(c, GetClientRect(h), Rgb(40, 90, 160));
        DrawText(c, 10, 10, "right-click for the menu", Rgb(255, 255, 255));
        EndPaint(h);
        return 0;
    }
    if (msg == WM_RBUTTONUP) {
        HMENU menu = LoadMenu("ViewBox");
        CheckMenuItem(menu, 1901, true);
        EnableMenuItem(menu, 905, false);
        const int chosen = TrackPopupMenu(menu, h, PointX(l), PointY(l));
        DestroyMenu(menu);
        Say("chosen " + std::to_string(chosen));
        PostQuitMessage(0);
        return 0;
    }
    if (msg == WM_CLOSE) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProc(h, msg, w, l);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return 1;
    const std::string what = argv[1];
    if (orb::SetBackend(orb::Backend::Desktop) != orb::Backend::Desktop) return 77;
    orb::Initialise();
    if (what == "dialog" && argc >= 3) {
        const intptr_t r = orb::DialogBox(argv[2], nullptr, LoggingProc, 0);
        Say("result " + std::to_string(r));
    } else if (what == "menu") {
        orb::RegisterWindowClass({"Probe Menu Window", MenuWindowProc});
        orb::CreateWindow("Probe Menu Window", "Menu probe", orb::WS_OVERLAPPEDWINDOW | orb::WS_VISIBLE, 100, 100, 400,
                          300, nullptr, 0, nullptr);
        Say("ready");
        orb::RunMessageLoop();
    } else if (what == "root") {
        Say("result " + std::to_string(SetRootPassword(nullptr)));
        Say("password \"" + orb::StoredRootPassword() + "\"");
    } else if (what == "check") {
        Say("result " + std::to_string(CheckPassword(nullptr)));
    } else if (what == "dvr") {
        Say("result " + std::to_string(DVRConfigure(nullptr)));
    } else if (what == "advance") {
        Say("result " + std::to_string(orb::RunAdvanceDialog(nullptr)));
    } else if (what == "open" && argc >= 3) {
        orb::FileRequest r;
        r.title = "Open Snapshot File";
        r.initialFolder = argv[2];
        r.filters = {{"Snapshot File", "*.360"}};
        Say("chosen \"" + orb::ChooseFile(nullptr, r) + "\"");
    } else if (what == "web") {
        Say("result " + std::to_string(GenerateWebPage(nullptr)));
    } else if (what == "message") {
        const int a = orb::MessageBox(nullptr, orb::Text(2319), "OK", orb::kMbYesNo | orb::kMbIconQuestion);
        Say("answer " + std::to_string(a));
    } else {
        return 1;
    }
    for (const auto& c : orb::TakeShownChoosers()) Say("chooser " + c);
    for (const auto& m : orb::TakeResourceMisses()) Say("missing " + m);
    orb::ResetWindowing();
    return 0;
}
