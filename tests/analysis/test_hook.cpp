#include <gtest/gtest.h>

#include <dlfcn.h>

#include <cstring>
#include <filesystem>
#include <string>

#include <unistd.h>

#include "analysis/motion_view.h"
#include "analysis/pictures.h"
#include "host/library_state.h"
#include "host/panoview.h"
#include "support/test_support.h"

using analysistest::Picture;

namespace {

using ProbeFn = int32_t (*)(const void**, int32_t*, const uint8_t**, int32_t*, uint8_t*);

struct Probe {
    void* handle = nullptr;
    ProbeFn fn = nullptr;
    explicit Probe(const std::string& path) {
        handle = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
        if (handle) fn = reinterpret_cast<ProbeFn>(dlsym(handle, "ProbeCalls"));
    }
    ~Probe() { if (handle) dlclose(handle); }
    const void* record = nullptr;
    int32_t event = 0, length = 0;
    const uint8_t* jpeg = nullptr;
    uint8_t first[4] = {};
    int32_t Calls() { return fn ? fn(&record, &event, &jpeg, &length, first) : -1; }
};

void SetName(char (&field)[32], const char* text) {
    std::memset(field, 0, sizeof field);
    std::memcpy(field, text, std::strlen(text));
}

struct CallerId {
    int32_t saved = orb::g_lib.callerId;
    ~CallerId() { orb::g_lib.callerId = saved; }
};

}  // namespace

TEST(MotionHook, LibraryNamesAndFailures) {
    orbtest::TempHome home;
    const std::string lib = home.path("libmotionprobe.so");
    std::filesystem::copy_file(ORB_MOTION_PROBE, lib);
    orbtest::WriteText(home.path("broken.so"), "this is not a shared object");
    orb::MotionHook hook;
    // A bare name is found in the library's folder as given, with ".so" or as "lib<name>.so".
    EXPECT_EQ(orb::LoadMotionHook(hook, "motionprobe", "OnMotion"), orb::kHookLoaded);
    EXPECT_NE(hook.proc, nullptr);
    EXPECT_EQ(orb::LoadMotionHook(hook, "libmotionprobe.so", "OnMotion"), orb::kHookLoaded);
    EXPECT_EQ(orb::LoadMotionHook(hook, "libmotionprobe", "OnMotion"), orb::kHookLoaded);
    // An absolute name works when it fits the record's 32 characters.
    const std::string shortPath = "/tmp/orbprobe" + std::to_string(getpid()) + ".so";
    std::filesystem::copy_file(lib, shortPath, std::filesystem::copy_options::overwrite_existing);
    EXPECT_EQ(orb::LoadMotionHook(hook, shortPath.c_str(), "OnMotion"), orb::kHookLoaded);
    std::filesystem::remove(shortPath);
    orb::UnloadMotionHook(hook);
    EXPECT_EQ(hook.library, nullptr);
    // Missing library, broken library, missing function, empty names.
    EXPECT_EQ(orb::LoadMotionHook(hook, "nosuchlibrary", "OnMotion"), orb::kHookNoLibrary);
    EXPECT_EQ(orb::LoadMotionHook(hook, "broken.so", "OnMotion"), orb::kHookNoLibrary);
    EXPECT_EQ(orb::LoadMotionHook(hook, "broken", "OnMotion"), orb::kHookNoLibrary);
    EXPECT_EQ(orb::LoadMotionHook(hook, "motionprobe", "NoSuchFunction"), orb::kHookNoFunction);
    EXPECT_EQ(hook.library, nullptr);
    EXPECT_EQ(orb::LoadMotionHook(hook, "motionprobe", ""), orb::kHookNoFunction);
    EXPECT_EQ(orb::LoadMotionHook(hook, "", "OnMotion"), orb::kHookNoLibrary);
    EXPECT_EQ(hook.proc, nullptr);
    // Names are at most 32 characters, with or without a NUL.
    char longName[40];
    std::memset(longName, 'x', sizeof longName);
    EXPECT_EQ(orb::LoadMotionHook(hook, longName, "OnMotion"), orb::kHookNoLibrary);
}

TEST(MotionHook, CalledOncePerPictureWithMotion) {
    orbtest::TempHome home;
    CallerId caller;
    orb::g_lib.callerId = 4;
    const int32_t savedFlag = gfMotionBlock;
    gfMotionBlock = 0;
    std::filesystem::copy_file(ORB_MOTION_PROBE, home.path("libmotionprobe.so"));
    PanoView view{};
    view.record.hookOn = 1;
    SetName(view.record.hookLibrary, "motionprobe");
    SetName(view.record.hookFunction, "OnMotion");
    orb::PrepareMotionHook(view);
    ASSERT_NE(view.motionZones.hook.proc, nullptr);
    Probe probe(home.path("libmotionprobe.so"));
    ASSERT_NE(probe.fn, nullptr);
    const int32_t base = probe.Calls();

    const uint8_t jpeg[] = {0xFF, 0xD8, 0xFF, 0xE0, 1, 2, 3, 0xFF, 0xD9};
    // No detector: no call.
    EXPECT_EQ(orb::CallMotionHook(view, jpeg, sizeof jpeg), 0);
    orb::SetMotionDetection(view, true);
    Picture p(64, 64, 50);
    orb::RunMotionDetector(view, p.h);  // learned (state 2): no call
    EXPECT_EQ(orb::CallMotionHook(view, jpeg, sizeof jpeg), 0);
    orb::RunMotionDetector(view, p.h);  // still: no call
    EXPECT_EQ(orb::CallMotionHook(view, jpeg, sizeof jpeg), 0);
    EXPECT_EQ(probe.Calls(), base);
    p.Fill(8, 8, 16, 16, 200);
    ASSERT_EQ(orb::RunMotionDetector(view, p.h), orb::kMotionSeen);
    EXPECT_EQ(orb::CallMotionHook(view, jpeg, sizeof jpeg), 1);
    EXPECT_EQ(probe.Calls(), base + 1);
    EXPECT_EQ(probe.record, &view.record);
    EXPECT_EQ(probe.event, 1);
    EXPECT_EQ(probe.jpeg, jpeg);
    EXPECT_EQ(probe.length, 9);
    EXPECT_EQ(std::memcmp(probe.first, jpeg, 4), 0);
    // The web control's caller ID and a switched-off hook get no call.
    orb::g_lib.callerId = 2;
    EXPECT_EQ(orb::CallMotionHook(view, jpeg, sizeof jpeg), 0);
    orb::g_lib.callerId = 0;
    view.record.hookOn = 0;
    EXPECT_EQ(orb::CallMotionHook(view, jpeg, sizeof jpeg), 0);
    view.record.hookOn = 1;
    EXPECT_EQ(orb::CallMotionHook(view, jpeg, sizeof jpeg), 1);
    EXPECT_EQ(probe.Calls(), base + 2);
    orb::StopMotionDetector(view);
    gfMotionBlock = savedFlag;
}

TEST(MotionHook, EventDialog) {
    orbtest::TempHome home;
    std::filesystem::copy_file(ORB_MOTION_PROBE, home.path("libmotionprobe.so"));
    PanoView view{};
    // A library that cannot be loaded keeps the dialog open with text 2616; a missing
    // function with 2617. Nothing is stored then.
    EXPECT_EQ(orb::EventDialogOk(view, true, "nosuch", "OnMotion"), 2616);
    EXPECT_EQ(orb::EventDialogOk(view, true, "motionprobe", "Missing"), 2617);
    EXPECT_EQ(view.record.hookOn, 0);
    EXPECT_EQ(view.record.hookLibrary[0], 0);
    EXPECT_EQ(view.motionZones.hook.library, nullptr);
    EXPECT_EQ(orb::EventDialogOk(view, true, "motionprobe", "OnMotion"), 0);
    EXPECT_EQ(view.record.hookOn, 1);
    EXPECT_STREQ(view.record.hookLibrary, "motionprobe");
    EXPECT_STREQ(view.record.hookFunction, "OnMotion");
    EXPECT_NE(view.motionZones.hook.proc, nullptr);
    // Off: unloads and stores off; the names stay.
    EXPECT_EQ(orb::EventDialogOk(view, false, "", ""), 0);
    EXPECT_EQ(view.record.hookOn, 0);
    EXPECT_EQ(view.motionZones.hook.library, nullptr);
    // Cancel reloads what the record names when the hook is on.
    orb::EventDialogCancel(view);
    EXPECT_EQ(view.motionZones.hook.library, nullptr);
    view.record.hookOn = 1;
    orb::EventDialogCancel(view);
    EXPECT_NE(view.motionZones.hook.proc, nullptr);
}
