// The camera export dialog on the window layer ("ExportCamera", modeless): every camera of
// Config.ure listed, several chosen; the host's BuildPackInfo writes the chosen ones.
#include "config/config_file.h"
#include "export/pack_builder.h"
#include "orbiscope.h"
#include "platform/window.h"

namespace orb {

namespace {

constexpr int kCameraList = 1000;

LRESULT ExportProc(HWND d, uint32_t msg, WPARAM w, LPARAM) {
    switch (msg) {
    case WM_INITDIALOG: {
        g_exportSelection.clear();
        for (const auto& location : OpenExportCameraDialog(d).locations) ListAddString(d, kCameraList, location);
        return 0;
    }
    case WM_COMMAND:
        if (LoWord(w) == kCameraList) {
            // The choice is kept for the host's build as it changes.
            g_exportSelection = ListGetSelectedItems(d, kCameraList);
            return 1;
        }
        if (HiWord(w) == BN_CLICKED && (LoWord(w) == IDOK || LoWord(w) == IDCANCEL)) {
            if (LoWord(w) == IDCANCEL) g_exportSelection.clear();
            DestroyWindow(d);
            return 1;
        }
        return 0;
    case WM_CLOSE:
        DestroyWindow(d);
        return 1;
    default:
        return 0;
    }
}

}  // namespace

}  // namespace orb

extern "C" void* CreatePackDlg(void* ownerWindow, int32_t) {
    return orb::CreateDialog("ExportCamera", static_cast<orb::HWND>(ownerWindow), orb::ExportProc, 0);
}
