// The demo's motion events: the library calls the demo's motion-event library on every
// picture with motion; this side reads it back on the window thread and makes events of it
// (a camera's run of motion pictures with no pause of 1.5 seconds or more), each with the
// view as it looked when the event began and the camera picture the detector saw.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace demo {

struct MotionEvent {
    int camera = 0;              // 0-based
    double start = 0, end = 0;   // seconds into the run
    int64_t pictures = 0;        // pictures with motion
    std::string view, picture;   // file names under the output folder ("" when not kept)
};

class MotionEvents {
public:
    // Loads the motion-event library (the file the records name); false when it is missing.
    bool Open(const std::string& libraryPath, int cameras);
    bool IsOpen() const { return read_ != nullptr; }
    // Takes the pictures with motion since the last call; keeps pictures under `out`.
    void Poll(const std::string& out);
    // The library's clock, nanoseconds; event times count from StartRun.
    int64_t Now() const;
    void StartRun() { runStart_ = Now(); }
    const std::vector<MotionEvent>& Events() const { return events_; }
    int EventsOf(int camera) const;
    int64_t PicturesOf(int camera) const;

private:
    using ReadFn = int64_t (*)(int32_t, int64_t*);
    using PictureFn = int32_t (*)(int32_t, uint8_t*, int32_t);
    using NowFn = int64_t (*)();
    void* library_ = nullptr;
    ReadFn read_ = nullptr;
    PictureFn picture_ = nullptr;
    NowFn now_ = nullptr;
    int64_t runStart_ = 0;
    struct Camera {
        int64_t pictures = 0, lastNs = 0;
        int open = -1;  // the event under way
        int64_t viewDue = 0;  // when to take the view's picture for event `viewEvent`
        int viewEvent = -1;
    };
    std::vector<Camera> cameras_;
    std::vector<MotionEvent> events_;
};

}  // namespace demo
