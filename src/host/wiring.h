// Joins the subsystems: the view window's hooks and the status-line sinks of the recorder
// and the motion detector. Run once at start-up.
#pragma once

struct PanoView;

namespace orb {

void InstallSubsystemHooks();
// Writes a status line of a view (any thread) and asks for a repaint.
void SetViewStatus(PanoView* view, int line, const char* text);

}  // namespace orb
