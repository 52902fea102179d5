// The camera report: a readable summary of one camera record, written to a short-lived
// text file and shown with the user's text viewer.
#pragma once
#include <string>

#include "config/camera_record.h"

namespace orb {

constexpr const char* kReportFileName = "Pano_CCTV_Info.tmp";

// The report text with "\n" line ends (as the lines are composed).
std::string CameraReportText(const CameraRecord& record);
// The same with every line end written as CR LF, as it lies on disk.
std::string CameraReportFileBytes(const CameraRecord& record);

struct ReportViewing {
    int keepMs = 3000;          // how long the file lives after the viewer was started
    bool waitForViewer = false; // wait (bounded) for the viewer to end before that
};

// Writes the report into the library's folder, starts the viewer and deletes the file
// again. Result: 0 when the file was deleted, -1 when deleting failed, or the message
// box's result when the file cannot be created.
int ShowCameraReport(void* owner, const CameraRecord& record, const ReportViewing& viewing = {});

}  // namespace orb
