// The snapshot viewer: its frame, list and commands, and the snapshot exports.
#include "ui/snapshot_viewer.h"

#include "camera/picture_scale.h"
#include "ui/picture_viewers.h"

#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <mutex>

#include "camera/frame_pipeline.h"
#include "config/camera_record.h"
#include "config/settings.h"
#include "dewarp/dewarp.h"
#include "export/pack_builder.h"
#include "config/library_state.h"
#include "ui/panoview.h"
#include "platform/texts.h"
#include "platform/choosers.h"
#include "platform/clock.h"
#include "platform/dib.h"
#include "platform/jpeg_codec.h"
#include "platform/largefile.h"
#include "platform/msgbox.h"
#include "platform/paths.h"
#include "platform/safe_names.h"
#include "platform/window.h"
#include "record/player.h"
#include "record/recorder.h"
#include "record/still_picture.h"
#include "ui/main_window.h"

namespace orb {

constinit SnapshotViewer g_snapViewer;

int WriteSnapshot(PanoView* viewer, PanoView& source, const std::string& path) {
    int ok;
    {
        std::lock_guard lock(source.ui.viewMutex);
        HDIB full = FullCurrentPicture(source);  // a small view's picture may be a reduced decode
        ok = full ? EncodeSnapshot(full, source.record, path) : 0;
        DestroyDIB(full);
    }
    if (ok && viewer) viewer->snapshot.picturePath = path;
    return ok;
}

// ---- The viewer ----

LRESULT SnapFrameProc(HWND hwnd, uint32_t msg, WPARAM w, LPARAM l) {
    if (msg == WM_COMMAND && hwnd == g_snapViewer.frame) {
        SnapshotCommand(g_snapViewer, static_cast<int>(LoWord(w)));
        return 0;
    }
    if (msg == WM_DESTROY && hwnd == g_snapViewer.frame) {
        g_snapViewer.frame = nullptr;
        g_ui.snapshotWindow = nullptr;
    }
    return DefWindowProc(hwnd, msg, w, l);
}

namespace {

void Beep(SnapshotViewer& v) { ++v.beeps; }

}  // namespace

HWND CreateSnapshotViewer(void* parent) {
    CloseSnapshotViewer();
    if (!IsClassRegistered(kSnapshotFrameClass)) {
        WindowClass c;
        c.name = kSnapshotFrameClass;
        c.proc = SnapFrameProc;
        RegisterWindowClass(c);
    }
    HWND owner = g_lib.callerId == 2 ? static_cast<HWND>(parent) : nullptr;
    HWND frame = CreateWindow(kSnapshotFrameClass, Text(2325), WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 640, 520,
                              owner, 0, nullptr);
    if (!frame) return nullptr;
    // The class may have been registered with the plain procedure: the frame's commands are ours.
    SetWindowProc(frame, SnapFrameProc);
    g_snapViewer.frame = frame;
    g_snapViewer.view = std::make_unique<PanoView>();
    g_snapViewer.view->ui.kind = kViewKindPlayback;
    g_snapViewer.commandPackDisabled = g_lib.packFlag != 0;
    ThePlayer().rootConfirmed = false;  // a move to the backup asks for the root password again
    g_ui.snapshotWindow = frame;
    FillSnapshotList(g_snapViewer);
    BuildSnapshotWindows(g_snapViewer);
    return frame;
}

void CloseSnapshotViewer() {
    SnapshotViewer& v = g_snapViewer;
    if (v.frame) {
        HWND frame = v.frame;
        v.frame = nullptr;
        DestroyWindow(frame);
    }
    if (v.view) ReleaseFrames(*v.view);
    v.view.reset();
    v.listNames.clear();
    v.listTexts.clear();
    v.selected = -1;
    v.timeText.clear();
    g_ui.snapshotWindow = nullptr;
}

void FillSnapshotList(SnapshotViewer& v) {
    v.listNames = ListSnapshots();
    v.listTexts.clear();
    for (const auto& name : v.listNames) v.listTexts.push_back(SnapshotListText(name.substr(0, name.size() - 4)));
    v.selected = static_cast<int>(v.listNames.size()) - 1;
}

void ShowInViewer(SnapshotViewer& v, HDIB picture, const CameraRecord& record) {
    if (!v.view) {
        DestroyDIB(picture);
        return;
    }
    PanoView& view = *v.view;
    std::lock_guard lock(view.ui.viewMutex);
    FrameState& f = view.frames;
    DestroyDIB(f.previous);
    f.previous = nullptr;
    DestroyDIB(f.current);
    f.current = picture;
    {
        DibLock l(picture);
        f.currentW = l.width();
        f.currentH = l.height();
    }
    view.record = record;
    const SystemTime& t = view.record.snapshotTime;
    v.timeText.clear();
    if (t.year >= 2009 && t.year <= 2049) {
        char text[32];
        std::snprintf(text, sizeof text, "%04d/%02d/%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour, t.minute,
                      t.second);
        v.timeText = text;
    }
    // A new lens set-up: rebuild every map as for a fresh live picture.
    DestroyDIB(f.output);
    f.output = nullptr;
    ShowPicture(view, f.current);
    view.ui.hasPicture = 1;
    SnapshotViewerChanged(v);
}

int OpenSnapshotFile(SnapshotViewer& v, const std::string& path, bool generalLoader) {
    if (!v.view || !IsRegularFile(path)) return 0;
    CameraRecord record;
    if (!ReadTrailer(path, record)) return 0;  // an ordinary picture: silently not opened
    HDIB picture = generalLoader ? LoadStillPicture(path) : JpegLoadFile(path.c_str());
    if (!picture) {
        MessageBox(v.frame, "Bad Snapshot File !!!", "", kMbOk);
        return 0;
    }
    v.view->snapshot.picturePath = path;
    v.view->snapshot.nonJpeg = generalLoader;
    ShowInViewer(v, picture, record);
    return 1;
}

void SnapshotCommand(SnapshotViewer& v, int command) {
    PanoView* view = v.view.get();
    switch (command) {
        case 907:
            CloseSnapshotViewer();
            break;
        case 920:
        case 2057:
            if (command == 2057 && v.commandPackDisabled) break;
            if (view && view->frames.current)
                SnapPack(view);
            else
                Beep(v);
            break;
        case 936:
            if (v.selected >= 0 && v.selected < static_cast<int>(v.listTexts.size()))
                OpenSnapshotFile(v, SnapshotFolder() + SnapshotNameFromListText(v.listTexts[v.selected]));
            break;
        case 1603: {
            FileRequest r;
            r.title = "Open Snapshot File";
            r.initialFolder = SnapshotFolder();
            r.filters = {{"Snapshot File", "*.360"}};
            const std::string chosen = ChooseFile(v.frame, r);
            if (!chosen.empty()) OpenSnapshotFile(v, chosen);
            break;
        }
        case 2064: {
            const int ok = view ? PictureAppendCCTVData(view) : 0;
            MessageBox(v.frame, ok ? "Save Panoramic Properties OK !" : "Save Panoramic Properties Fail !!!", "",
                       kMbOk);
            break;
        }
        default:
            // Zoom and view modes are those of live views.
            if (view && (command == 2020 || command == 2021) && Hooks().zoom)
                Hooks().zoom(view, view->ui.currentPane, command == 2020);
            else if (view && Hooks().command)
                Hooks().command(view, v.frame, command);
            break;
    }
}

}  // namespace orb

extern "C" {

void* Snapshot(void* parentWindow, PanoView* view) {
    using namespace orb;
    try {
        if (!view || view->ui.closing.load()) return nullptr;
        {
            std::lock_guard lock(view->ui.viewMutex);  // the capture thread replaces the picture
            if (!view->frames.current) return nullptr;
        }
        // The capture holds still while its picture is frozen into the file.
        const int32_t wasPaused = view->ui.paused.exchange(1);
        HWND frame = CreateSnapshotViewer(parentWindow);
        if (frame) {
            HDIB copy = nullptr;
            CameraRecord record;
            {
                std::lock_guard lock(view->ui.viewMutex);
                view->record.snapshotTime = LocalNow();
                copy = FullCurrentPicture(*view);  // the camera's whole picture, whatever the view decoded
                record = view->record;
            }
            const bool write = !view->snapshot.nonJpeg || view->snapshot.picturePath.empty();
            std::string path;
            int written = 0;
            if (write && copy) {
                // The file holds the very picture the viewer shows, whatever the camera sent since.
                const int number = view->ui.window ? GetDlgCtrlID(view->ui.window) : view->viewIndex;
                path = SnapshotFileName(record.snapshotTime, number, record.location);
                written = PathInside(SnapshotFolder(), path) ? EncodeSnapshot(copy, record, path) : 0;
            }
            if (copy) ShowInViewer(g_snapViewer, copy, record);
            if (!write) {
                g_snapViewer.view->snapshot = view->snapshot;
            } else {
                if (written) g_snapViewer.view->snapshot.picturePath = path;
                FillSnapshotList(g_snapViewer);
                SnapshotViewerChanged(g_snapViewer);
            }
        }
        view->ui.paused = wasPaused;
        return frame;
    } catch (...) {
        return nullptr;
    }
}

intptr_t SnapFrameWndProc(void* window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
    try {
        return orb::SnapFrameProc(static_cast<orb::HWND>(window), message, wParam, lParam);
    } catch (...) {
        return 0;
    }
}

void* OpenSnapshot(void* parentWindow, const char* path) {
    using namespace orb;
    try {
        HWND frame = CreateSnapshotViewer(parentWindow);
        if (!frame) return nullptr;
        if (path && *path) {
            OpenSnapshotFile(g_snapViewer, path);
        } else {
            SnapshotCommand(g_snapViewer, 936);
        }
        return frame;
    } catch (...) {
        return nullptr;
    }
}

void* PlaySnapshot(void* parentWindow, const char* path) {
    orb::g_lib.mouseInvert = orb::ReadMouseInvert();
    return OpenSnapshot(parentWindow, path);
}

int32_t SnapPack(PanoView* view) {
    using namespace orb;
    try {
        g_lib.mouseInvert = ReadMouseInvert();
        if (!view || view->snapshot.picturePath.empty()) return 0;
        const std::string chosen = ChoosePackPath(view->ui.window);
        if (chosen.empty()) return 0;
        return BuildSnapshotPack(view->ui.window, view->snapshot.picturePath, chosen);
    } catch (...) {
        return 0;
    }
}

int32_t PictureAppendCCTVData(PanoView* view) {
    if (!view || view->snapshot.picturePath.empty()) return 0;
    return orb::AppendOrReplaceTrailer(view->snapshot.picturePath, view->record);
}

}
