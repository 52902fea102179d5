// The photo viewer: still panoramic pictures in views of their own, and its exports.
#include "ui/photo_viewer.h"

#include "ui/picture_viewers.h"
#include "record/still_picture.h"

#include <cstring>
#include <fstream>
#include <iterator>
#include <mutex>

#if __has_include(<png.h>)
#include <png.h>
#define ORB_HAVE_PNG 1
#endif

#include "camera/frame_pipeline.h"
#include "config/camera_record.h"
#include "dewarp/dewarp.h"
#include "platform/choosers.h"
#include "config/library_state.h"
#include "ui/panoview.h"
#include "platform/dib.h"
#include "platform/jpeg_codec.h"
#include "record/snapshot.h"

namespace orb {

constinit PhotoViewer g_photoViewer;

std::unique_ptr<PanoView> PrepareStill(HDIB picture, const std::string& path) {
    if (!picture) return nullptr;
    int w, h;
    {
        DibLock l(picture);
        w = l.width();
        h = l.height();
    }
    if (w < kStillMinSide || h < kStillMinSide || w > kStillMaxSide || h > kStillMaxSide) {
        DestroyDIB(picture);
        return nullptr;
    }
    auto view = std::make_unique<PanoView>();
    view->ui.kind = kViewKindPlayback;
    if (!ReadTrailer(path, view->record)) DefaultStillRecord(view->record, w, h);
    view->frames.current = picture;
    view->frames.currentW = w;
    view->frames.currentH = h;
    view->snapshot.picturePath = path.substr(0, 400);
    view->snapshot.nonJpeg = true;
    return view;
}

int AddToPhotoViewer(void* owner, std::unique_ptr<PanoView> view) {
    if (!view) return 0;
    PhotoViewer& v = g_photoViewer;
    if (!v.frame || !IsWindow(v.frame)) {
        if (!IsClassRegistered(kSnapshotFrameClass)) {
            WindowClass c;
            c.name = kSnapshotFrameClass;
            c.proc = DefWindowProc;
            RegisterWindowClass(c);
        }
        v.views.clear();
        // A window of its own, kept above the owner's top-level window.
        v.frame = CreateWindow(kSnapshotFrameClass, kPhotoViewerTitle, WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 800,
                               600, nullptr, 0, nullptr);
        if (!v.frame) return 0;
        HWND top = static_cast<HWND>(owner);
        while (top && GetParent(top)) top = GetParent(top);
        if (top) SetOwner(v.frame, top);
    }
    if (!IsClassRegistered(kPhotoChildClass)) {
        WindowClass c;
        c.name = kPhotoChildClass;
        c.proc = DefWindowProc;
        RegisterWindowClass(c);
    }
    const int n = static_cast<int>(v.views.size());
    view->ui.window = CreateWindow(kPhotoChildClass, view->snapshot.picturePath, WS_CHILD | WS_VISIBLE, 0, 0, 400, 300,
                                   v.frame, 100 + n, nullptr);
    view->viewIndex = n;
    {
        std::lock_guard lock(view->ui.viewMutex);
        ShowPicture(*view, view->frames.current);
        view->ui.hasPicture = 1;
    }
    v.views.push_back(std::move(view));
    PhotoViewerChanged(v);
    return 1;
}

void ClosePhotoViewer() {
    PhotoViewer& v = g_photoViewer;
    for (auto& view : v.views) {
        ReleaseFrames(*view);
        view->ui.window = nullptr;
    }
    v.views.clear();
    if (v.frame && IsWindow(v.frame)) DestroyWindow(v.frame);
    v.frame = nullptr;
}

namespace {

// The open-file filter of the picture dialog, in the order the person sees it.
std::vector<FileFilter> StillPictureFilters() {
    return {{"All File(*.*)", "*.bmp;*.Dib;*.Rle;*.pcx;*.tif;*.gif;*.png;*.pbm;*.pgm;*.ppm;*.XBM;*.BM;*.XPM;*.WBMP;*.tga;*.jpg;*.jpeg;*.jpe;"},
            {"Bitmap Files", "*.bmp;*.Dib;*.Rle"},
            {"PCX File", "*.pcx"},
            {"TGA File", "*.tga"},
            {"GIF File", "*.gif"},
            {"TIF File", "*.tif"},
            {"XBM File", "*.XBM;*.BM"},
            {"XPM File", "*.XPM"},
            {"WBMP File", "*.WBMP"},
            {"PBM File", "*.PBM;*.PGM;*.PPM"},
            {"JPG File", "*.jpg;*.jpeg;*.jpe"},
            {"png File", "*.png"}};
}

// The picture the user chooses (or the one named), as a 24-bit picture.
HDIB LoadChosenPicture(void* owner, const char* path, const char* initialFolder, std::string& chosen) {
    if (path && *path) {
        chosen = path;
    } else {
        FileRequest r;
        r.title = "Open Picture File";
        r.initialFolder = initialFolder ? initialFolder : "";
        r.filters = StillPictureFilters();
        chosen = ChooseFile(static_cast<HWND>(owner), r);
        if (chosen.empty()) return nullptr;
    }
    return LoadStillPicture(chosen);
}

}  // namespace

}  // namespace orb

extern "C" {

int32_t ProcessPanoramicImage(void* ownerWindow) { return AppendPanoramicImage(ownerWindow, nullptr, nullptr, 0); }

int32_t AppendPanoramicImage(void* ownerWindow, const char* path, const char* initialFolder, int32_t useFolder) {
    using namespace orb;
    try {
        std::string chosen;
        HDIB picture = LoadChosenPicture(ownerWindow, path, useFolder ? initialFolder : nullptr, chosen);
        if (!picture) return 0;
        return AddToPhotoViewer(ownerWindow, PrepareStill(picture, chosen));
    } catch (...) {
        return 0;
    }
}

}
