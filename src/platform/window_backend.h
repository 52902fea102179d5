// What a desktop backend supplies to the window layer. The layer keeps every window's state
// and runs the procedures; the backend shows top-level windows, draws their pictures and
// turns the desktop's input into the layer's messages.
#pragma once
#include <string>

#include "platform/window.h"

namespace orb {

struct DesktopBackend {
    virtual ~DesktopBackend() = default;
    virtual void WindowCreated(HWND topLevel) = 0;
    virtual void WindowDestroyed(HWND topLevel) = 0;
    virtual void WindowShown(HWND topLevel, bool visible) = 0;
    virtual void WindowMoved(HWND topLevel, const Rect& r) = 0;
    virtual void TitleChanged(HWND topLevel, const std::string& title) = 0;
    // The window's picture changed (after painting); redraw it from CaptureWindowPicture.
    virtual void PictureChanged(HWND topLevel) = 0;
    // Handles the desktop's pending events without blocking.
    virtual void Pump() = 0;
    virtual Rect Screen() = 0;
};

// The GTK backend, or null when it is not built in or no display opens.
DesktopBackend* StartDesktopBackend();

}  // namespace orb
