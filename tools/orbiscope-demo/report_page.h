// The demo's page of results, out/index.html beside summary.txt: the views and the whole
// window as pictures, the table per camera, plots of pictures per second and of the
// library's CPU time per stage over the run, and the motion events as a strip of pictures
// with their times. One file a browser opens as it is, no server.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "motion_events.h"

namespace demo {

constexpr int kStages = 6;

// What the views had done by a moment of the run (all views together).
struct RunSample {
    double seconds = 0;
    int64_t shown = 0;
    int64_t stageCpuNs[kStages] = {};
};

struct PageCamera {
    std::string name, url, status;
    int sent = 0, shown = 0, dropped = 0, recorded = 0, connections = 0, events = 0;
    int64_t motionPictures = 0;
    bool motion = false;
};

struct Page {
    std::string title, started;         // the run's start, local time
    std::vector<std::string> views;     // picture files of the views, in view order
    std::string window;                 // the whole window's picture ("" when none)
    std::vector<PageCamera> cameras;
    std::vector<RunSample> samples;     // once a second
    std::vector<MotionEvent> events;
    std::vector<std::string> summary;   // the lines of summary.txt
};

// Writes the page; false when the file cannot be written.
bool WritePage(const std::string& path, const Page& page);

}  // namespace demo
