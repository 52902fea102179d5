#include <gtest/gtest.h>

#include <dlfcn.h>

#include <cstring>
#include <filesystem>
#include <string>

#include <unistd.h>

#include "analysis/motion.h"
#include "analysis/motion_view.h"
#include "config/settings.h"
#include "analysis/pictures.h"
#include "config/library_state.h"
#include "ui/panoview.h"
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

TEST(MotionHook, ARecordCannotPointTheLoaderOutsideTheHooksFolder) {
    orbtest::TempHome home;
    std::filesystem::copy_file(ORB_MOTION_PROBE, home.path("libmotionprobe.so"));
    // A library elsewhere, named by a crafted camera record: absolute, or "../" out of the
    // library's folder, or with the other separator.
    const std::string outside = home.path("elsewhere");
    std::filesystem::create_directories(outside);
    const std::string evil = outside + "/libevil.so";
    std::filesystem::copy_file(ORB_MOTION_PROBE, evil);
    const std::string shortPath = "/tmp/orbevil" + std::to_string(getpid()) + ".so";
    std::filesystem::copy_file(ORB_MOTION_PROBE, shortPath, std::filesystem::copy_options::overwrite_existing);
    orb::MotionHook hook;
    for (const std::string name : {shortPath, std::string("../") + "x/libevil.so", std::string("elsewhere/libevil.so"),
                                   std::string("elsewhere\\libevil.so"), std::string(".."), std::string("."),
                                   std::string(".hidden.so")}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(orb::LoadMotionHook(hook, name.c_str(), "OnMotion"), orb::kHookRefused);
        EXPECT_EQ(hook.library, nullptr);
    }
    // Refused before the loader saw it: its load-time code never ran.
    EXPECT_EQ(dlopen(shortPath.c_str(), RTLD_NOW | RTLD_NOLOAD), nullptr);
    EXPECT_EQ(dlopen(evil.c_str(), RTLD_NOW | RTLD_NOLOAD), nullptr);
    std::filesystem::remove(shortPath);

    // The view's start says so on its status line, and loads nothing.
    std::vector<std::string> lines;
    static std::vector<std::string>* seen;
    seen = &lines;
    orb::SetMotionStatusSink([](orb::AnalysisView*, int line, const char* text) {
        seen->push_back(std::to_string(line) + ":" + text);
    });
    PanoView view{};
    view.record.hookOn = 1;
    SetName(view.record.hookLibrary, "../elsewhere/libevil.so");
    SetName(view.record.hookFunction, "OnMotion");
    orb::PrepareMotionHook(view);
    EXPECT_EQ(view.motionZones.hook.library, nullptr);
    EXPECT_EQ(lines, (std::vector<std::string>{std::to_string(orb::kHookRefusedLine) + ":" + orb::kHookRefusedText}));
    // The event dialog refuses it with its "cannot be loaded" text.
    EXPECT_EQ(orb::EventDialogOk(view, true, "/tmp/x.so", "OnMotion"), orb::kHookNoLibrary);
    orb::SetMotionStatusSink(nullptr);

    // A configured hooks folder is where bare names are looked for, and only there.
    EXPECT_EQ(orb::LoadMotionHook(hook, "libevil.so", "OnMotion"), orb::kHookNoLibrary);
    ASSERT_TRUE(orb::WriteSetting(orb::kHookSection, orb::kHookFolderKey, outside));
    EXPECT_EQ(orb::MotionHookFolder(), outside);
    EXPECT_EQ(orb::LoadMotionHook(hook, "evil", "OnMotion"), orb::kHookLoaded);
    EXPECT_EQ(orb::LoadMotionHook(hook, "motionprobe", "OnMotion"), orb::kHookNoLibrary);
    orb::UnloadMotionHook(hook);
    EXPECT_TRUE(orb::IsBareLibraryName("libmotionprobe.so"));
    EXPECT_FALSE(orb::IsBareLibraryName("a/b.so"));
    EXPECT_FALSE(orb::IsBareLibraryName("-x.so"));
}
