// The motion detector on the simulated cameras' room: the people who come in set it off on
// the pictures where they move, the empty room does not, the clock's second hand does
// unless the camera's default mask covers the clock, and the motion-event library gets the
// very pictures the detector saw.
#include <gtest/gtest.h>

#include <dlfcn.h>

#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "analysis/motion.h"
#include "analysis/motion_view.h"
#include "common/room_renderer.h"
#include "common/simulated_cameras.h"
#include "config/library_state.h"
#include "platform/dib.h"
#include "platform/jpeg_codec.h"
#include "support/test_support.h"
#include "ui/panoview.h"

namespace {

namespace room = orbtools::room;
constexpr int kFrames = 180;  // fifteen pictures a second over the twelve-second loop, as the demo
constexpr int kPerSecond = 15;

using ProbeFn = int32_t (*)(const void**, int32_t*, const uint8_t**, int32_t*, uint8_t*);

struct Loop {
    orbtools::SimulatedCamera camera;
    std::vector<orbtools::RoomState> states;
};

Loop MakeLoop(bool walkers, bool door) {
    orbtools::RoomLoop loop;
    loop.frames = kFrames;
    loop.walkers = walkers;
    loop.door = door;
    Loop l{orbtools::MakeSimulatedCamera(orbtools::SimulatedLens::Fisheye, 640, 480, loop), {}};
    for (int i = 0; i < kFrames; ++i) l.states.push_back(orbtools::RoomStateAt(orbtools::RoomLoopMoment(loop, i)));
    orbtools::PointAtFakeCamera(l.camera.record, 8080, 1, "", "");
    orbtools::GiveCameraKey(l.camera.record, 1);
    return l;
}

// Something other than the clock changed since the picture before: a person in sight or
// the door turning.
bool Moving(const Loop& l, int i) {
    const orbtools::RoomState& s = l.states[static_cast<size_t>(i)];
    const orbtools::RoomState& before = l.states[static_cast<size_t>((i + kFrames - 1) % kFrames)];
    for (const orbtools::Walker& w : s.walkers)
        if (w.feet.y > room::kSouth - 0.6 && w.feet.x < 2.6) return true;
    return s.doorDegrees != before.doorDegrees;
}

// The second hand moved within the last half second (or, at the loop's start, jumped back
// eleven seconds within the last three).
bool Ticked(const Loop& l, int i) {
    if (i < 3 * kPerSecond) return true;
    for (int k = 0; k < kPerSecond / 2; ++k) {
        const int at = (i - k + kFrames) % kFrames, before = (at + kFrames - 1) % kFrames;
        if (l.states[static_cast<size_t>(at)].clockSecond != l.states[static_cast<size_t>(before)].clockSecond) return true;
    }
    return false;
}

struct Seen {
    std::vector<int> states;  // the detector's state per picture of the second round
    std::vector<bool> called, handed;  // the library called; with that picture's own bytes
};

// Two rounds of the loop through a view's detector (the first one learns the room); with
// `hook` the motion-event library is called after every picture as the capture does.
Seen Detect(const Loop& l, bool hook) {
    const int32_t savedFlag = gfMotionBlock;
    gfMotionBlock = 0;
    auto view = std::make_unique<PanoView>();
    view->record = l.camera.record;
    ProbeFn probe = nullptr;
    if (hook) {
        view->record.hookOn = 1;
        std::strcpy(view->record.hookLibrary, "motionprobe");
        std::strcpy(view->record.hookFunction, "OnMotion");
        orb::PrepareMotionHook(*view);
        void* library = dlopen(orb::MotionHookFolder().append("/libmotionprobe.so").c_str(), RTLD_NOW | RTLD_NOLOAD);
        if (library) probe = reinterpret_cast<ProbeFn>(dlsym(library, "ProbeCalls"));
        if (library) dlclose(library);
    }
    orb::SetMotionDetection(*view, true);
    Seen seen;
    for (int round = 0; round < 2; ++round)
        for (int i = 0; i < kFrames; ++i) {
            const std::vector<uint8_t>& jpeg = l.camera.frames[static_cast<size_t>(i)];
            HDIB picture = orb::JpegDecodeBuffer(jpeg.data(), jpeg.size());
            const int state = orb::RunMotionDetector(*view, picture);
            orb::DestroyDIB(picture);
            const void* record = nullptr;
            const uint8_t* bytes = nullptr;
            int32_t event = 0, length = 0, before = 0;
            uint8_t first[4];
            if (probe) before = probe(&record, &event, &bytes, &length, first);
            if (hook) orb::CallMotionHook(*view, jpeg.data(), static_cast<int32_t>(jpeg.size()));
            if (round == 0) continue;
            seen.states.push_back(state);
            if (!probe) continue;
            const int32_t after = probe(&record, &event, &bytes, &length, first);
            seen.called.push_back(after == before + 1);
            seen.handed.push_back(after == before + 1 && bytes == jpeg.data() && length == static_cast<int32_t>(jpeg.size()) &&
                                  event == 1 && record == &view->record);
        }
    orb::StopMotionDetector(*view);
    gfMotionBlock = savedFlag;
    return seen;
}

TEST(RoomMotion, PeopleSetItOffTheEmptyRoomAndTheMaskedClockDoNot) {
    orbtest::TempHome home;
    std::filesystem::copy_file(ORB_MOTION_PROBE, home.path("libmotionprobe.so"));
    const Loop people = MakeLoop(true, true), empty = MakeLoop(false, false);

    // Without a mask the second hand's ticks are motion (for a moment after each), and
    // nothing else is.
    const Seen unmasked = Detect(empty, false);
    int ticks = 0;
    for (int i = 0; i < kFrames; ++i) {
        ticks += unmasked.states[static_cast<size_t>(i)] == orb::kMotionSeen;
        if (unmasked.states[static_cast<size_t>(i)] == orb::kMotionSeen) {
            EXPECT_TRUE(Ticked(empty, i)) << i;
        }
    }
    EXPECT_GE(ticks, 20);

    // The default mask over the clock: the empty room raises nothing over the whole loop.
    ASSERT_TRUE(orbtools::WriteClockMask(people.camera.record, people.camera.lens, home.dir));
    const Seen quiet = Detect(empty, false);
    for (int i = 0; i < kFrames; ++i) EXPECT_EQ(quiet.states[static_cast<size_t>(i)], orb::kMotionNone) << i;

    // The people: motion on (nearly) every picture where they or the door move, from the
    // first one on; nothing once the room has been still for a second and a half.
    const Seen busy = Detect(people, true);
    int moving = 0, caught = 0, first = -1;
    for (int i = 0; i < kFrames; ++i) {
        const bool seen = busy.states[static_cast<size_t>(i)] == orb::kMotionSeen;
        if (seen && first < 0) first = i;
        if (Moving(people, i)) ++moving, caught += seen;
        // The motion-event library was called exactly on the pictures with motion, with them.
        EXPECT_EQ(busy.called[static_cast<size_t>(i)], seen) << i;
        if (seen) {
            EXPECT_TRUE(busy.handed[static_cast<size_t>(i)]) << i;
        }
    }
    int firstMoving = 0;
    while (!Moving(people, firstMoving)) ++firstMoving;
    EXPECT_EQ(first, firstMoving);
    EXPECT_GT(moving, kFrames / 2);
    EXPECT_GE(caught, moving * 9 / 10) << caught << " of " << moving;
    for (int i = 0; i < kFrames; ++i) {
        const double t = room::kLoopSeconds * i / kFrames;
        bool stillSince = true;  // nothing has moved in the 1.5 seconds before
        for (int k = 0; k <= kPerSecond * 3 / 2 && stillSince; ++k) stillSince = !Moving(people, (i - k + kFrames) % kFrames);
        if (stillSince) {
            EXPECT_EQ(busy.states[static_cast<size_t>(i)], orb::kMotionNone) << i << " at " << t << " s";
        }
    }
}

}  // namespace
