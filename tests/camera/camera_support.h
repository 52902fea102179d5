// What the camera tests share: a view of a camera on the fake camera, bounded waits.
#pragma once
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "platform/base64.h"
#include "config/library_state.h"
#include "ui/panoview.h"
#include "platform/texts.h"
#include "support/test_support.h"

namespace orbtest {

using namespace orb;


// Waits (bounded) until the condition holds; the bound only keeps a broken build from hanging.
template <typename F>
inline bool WaitFor(F condition, int seconds = 20) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > until) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

inline std::unique_ptr<PanoView> MakeCameraView(int model, int port, const char* account = "", const char* password = "") {
    auto v = std::make_unique<PanoView>();
    SetText(v->record.address, "127.0.0.1");
    v->record.httpPort = port;
    v->record.modelIndex = model;
    v->record.lensType = kLensNormal;
    SetText(v->record.account, Base64Encode(account).c_str());
    SetText(v->record.password, Base64Encode(password).c_str());
    v->ui.clientWidth = 320;
    v->ui.clientHeight = 240;
    return v;
}

inline std::string Status(PanoView& v) {
    std::lock_guard lock(v.ui.statusMutex);
    return v.ui.status;
}

struct Capture : ::testing::Test {
    orbtest::TempHome home;
    void SetUp() override {
        LoadLanguageResource();
        g_lib = LibraryState{};
        g_lib.recording = 0;
    }
    void TearDown() override { UnloadLanguage(); }
};

}  // namespace orbtest
