// What a desktop backend supplies to the window layer. The layer keeps every window's state
// and runs the procedures; the backend shows top-level windows, draws their pictures and
// turns the desktop's input into the layer's messages.
#pragma once
#include <string>

#include "platform/choosers.h"
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
    // A top-level window got children (a dialog's controls) or lost them.
    virtual void ChildrenChanged(HWND topLevel) = 0;
    // A control's state changed in the layer (called on the desktop thread, from Pump's
    // queue): the widget follows.
    virtual void ControlChanged(HWND control) = 0;
    virtual void FocusChanged(HWND control) = 0;
    // Menu bar, minimised / maximised, full screen, owner or top-most changed.
    virtual void MenuChanged(HWND topLevel) = 0;
    virtual void StateChanged(HWND topLevel) = 0;
    // A context menu at the pointer: the command chosen, 0 when dismissed.
    virtual int TrackPopup(HMENU menu, HWND owner) = 0;
    // File and folder choosers: the path chosen, empty when cancelled.
    virtual std::string ChooseFile(HWND owner, const FileRequest& request) = 0;
    virtual std::string ChooseFolder(HWND owner, const std::string& title, const std::string& initial) = 0;
    // The desktop's warning sound.
    virtual void Beep() {}
};

// The GTK backend, or null when it is not built in or no display opens.
DesktopBackend* StartDesktopBackend();

}  // namespace orb
