// The photo viewer window: still pictures shown in views of their own.
#pragma once
#include <memory>
#include <string>
#include <vector>

#include "record/still_picture.h"
#include "ui/panoview.h"

namespace orb {

// A view holding the picture: the trailer's record or the defaults, the picture path, and
// marked non-JPEG. Null (the picture freed) when a side lies outside 100..32000.
std::unique_ptr<PanoView> PrepareStill(HDIB picture, const std::string& path);

struct PhotoViewer {
    HWND frame = nullptr;
    std::vector<std::unique_ptr<PanoView>> views;
};
extern PhotoViewer g_photoViewer;
// Adds the view to the photo viewer, creating the viewer when none is open. 1 or 0.
int AddToPhotoViewer(void* owner, std::unique_ptr<PanoView> view);
void ClosePhotoViewer();

}  // namespace orb
