// Opening the main window and the library's window classes.
#pragma once
#include <string>
#include <vector>

#include "config/camera_record.h"
#include "platform/window.h"

namespace orb {

// The window classes of the library, in registration order.
const std::vector<std::string>& LibraryClassNames();
// Registers them (stopping at a class that cannot be registered); the number registered.
int RegisterLibraryClasses();
// The window procedure a subsystem serves one of the library's classes with; set before
// the classes are registered (a plain procedure serves the others).
void SetLibraryClassProc(const std::string& className, WndProc proc);
// RunOrbiscope's work; the main window (the host window for the packaged viewer) or null.
HWND OpenMainWindow(HWND host, int32_t numViews, int32_t callerId, const int32_t* options, const int32_t* rects);
// The camera chooser "Source": the chosen-camera record, or null.
CameraRecord* ChooseCamera(HWND owner);
LRESULT HostFedViewProc(HWND, uint32_t, WPARAM, LPARAM);

// The ARP table read by GetMacAddress (tests point it at a file).
void SetArpTablePath(const std::string& path);
int MacAddressOf(const char* address, char* out);
// The name look-up of OrbiscopeCheckNewwork (1 when the name resolves); null: the system's.
void SetNameResolver(int (*resolver)(const char*));

}  // namespace orb
