#include "motion_events.h"

#include <dlfcn.h>

#include <cstdio>
#include <filesystem>
#include <vector>

#include "orbiscope.h"
#include "orbiscope_host.h"

namespace demo {
namespace {

constexpr int64_t kQuietNs = 1500000000;  // a pause this long ends an event
constexpr size_t kKeptEvents = 200;        // pictures kept for the first events only
constexpr int32_t kLargestPicture = 16 << 20;
constexpr int64_t kViewAfterNs = 500000000;  // the view's picture half a second into the event

bool SaveView(int camera, const std::string& path) {
    HDIB picture = OrbiscopeWindowPicture(OrbiscopeViewWindow(camera));
    const bool ok = picture && OrbiscopeSavePictureJpeg(picture, path.c_str()) == 1;
    OrbiscopeFreePicture(picture);
    return ok;
}

}  // namespace

bool MotionEvents::Open(const std::string& libraryPath, int cameras) {
    library_ = dlopen(libraryPath.c_str(), RTLD_NOW);
    if (!library_) return false;
    read_ = reinterpret_cast<ReadFn>(dlsym(library_, "OrbiscopeDemoMotionPictures"));
    picture_ = reinterpret_cast<PictureFn>(dlsym(library_, "OrbiscopeDemoMotionPicture"));
    now_ = reinterpret_cast<NowFn>(dlsym(library_, "OrbiscopeDemoMotionNow"));
    if (!read_ || !picture_ || !now_) {
        read_ = nullptr;
        return false;
    }
    cameras_.assign(static_cast<size_t>(cameras), {});
    runStart_ = Now();
    return true;
}

int64_t MotionEvents::Now() const { return now_ ? now_() : 0; }

void MotionEvents::Poll(const std::string& out) {
    if (!read_) return;
    const int64_t now = Now();
    std::vector<uint8_t> bytes;
    for (size_t i = 0; i < cameras_.size(); ++i) {
        Camera& c = cameras_[i];
        int64_t last = 0;
        // The records give camera i the id i + 1.
        const int64_t pictures = read_(static_cast<int32_t>(i + 1), &last);
        if (pictures > c.pictures) {
            if (c.open < 0) {
                MotionEvent e;
                e.camera = static_cast<int>(i);
                e.start = (last - runStart_) / 1e9;
                if (events_.size() < kKeptEvents) {
                    const std::string base = "motion/event-" + std::to_string(events_.size() + 1);
                    std::error_code ec;
                    std::filesystem::create_directories(out + "/motion", ec);
                    c.viewDue = last + kViewAfterNs;
                    bytes.resize(kLargestPicture);
                    const int32_t n = picture_(static_cast<int32_t>(i + 1), bytes.data(), kLargestPicture);
                    if (n > 0) {
                        if (FILE* f = std::fopen((out + "/" + base + "-camera.jpg").c_str(), "wb")) {
                            if (std::fwrite(bytes.data(), 1, static_cast<size_t>(n), f) == static_cast<size_t>(n))
                                e.picture = base + "-camera.jpg";
                            std::fclose(f);
                        }
                    }
                }
                c.open = c.viewEvent = static_cast<int>(events_.size());
                events_.push_back(e);
            }
            MotionEvent& e = events_[static_cast<size_t>(c.open)];
            e.pictures += pictures - c.pictures;
            e.end = (last - runStart_) / 1e9;
            c.pictures = pictures;
            c.lastNs = last;
        } else if (c.open >= 0 && now - c.lastNs >= kQuietNs) {
            c.open = -1;
        }
        // The view once the event is under way: what moved is in sight by then.
        if (c.viewDue && now >= c.viewDue) {
            MotionEvent& e = events_[static_cast<size_t>(c.viewEvent)];
            const std::string file = "motion/event-" + std::to_string(c.viewEvent + 1) + ".jpg";
            if (SaveView(static_cast<int>(i), out + "/" + file)) e.view = file;
            c.viewDue = 0;
        }
    }
}

int MotionEvents::EventsOf(int camera) const {
    int n = 0;
    for (const MotionEvent& e : events_) n += e.camera == camera;
    return n;
}

int64_t MotionEvents::PicturesOf(int camera) const {
    return camera >= 0 && camera < static_cast<int>(cameras_.size()) ? cameras_[static_cast<size_t>(camera)].pictures : 0;
}

}  // namespace demo
