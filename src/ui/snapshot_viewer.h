// The snapshot viewer window (at most one) and the writing of a view's picture as a snapshot.
#pragma once
#include <memory>
#include <string>
#include <vector>

#include "record/snapshot.h"
#include "ui/panoview.h"

namespace orb {

// Encodes the source's current picture into path and appends its record; leaves no file
// behind on failure. The viewer's picture path becomes the path.
int WriteSnapshot(PanoView* viewer, PanoView& source, const std::string& path);

// The snapshot viewer (at most one).
struct SnapshotViewer {
    HWND frame = nullptr;
    std::unique_ptr<PanoView> view;
    std::vector<std::string> listNames;  // file names of the snapshot list
    std::vector<std::string> listTexts;
    int selected = -1;
    std::string timeText;
    bool commandPackDisabled = false;  // menu command 2057
    int beeps = 0;
};
extern SnapshotViewer g_snapViewer;

// Creates the viewer frame (closing an open one); null when it cannot be made.
HWND CreateSnapshotViewer(void* parent);
void CloseSnapshotViewer();
void FillSnapshotList(SnapshotViewer& v);
// Opens a snapshot (or, with generalLoader, any picture file) into the viewer; 1 on success.
int OpenSnapshotFile(SnapshotViewer& v, const std::string& path, bool generalLoader = false);
// Hands a picture with its record to the viewer's view and rebuilds the dewarping.
void ShowInViewer(SnapshotViewer& v, HDIB picture, const CameraRecord& record);
// The frame's window procedure: its commands, and the viewer's end when it is destroyed.
LRESULT SnapFrameProc(HWND hwnd, uint32_t msg, WPARAM w, LPARAM l);
// A command of the viewer frame.
void SnapshotCommand(SnapshotViewer& v, int command);

}  // namespace orb
