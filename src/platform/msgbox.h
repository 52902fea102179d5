// Message boxes go through one sink: the desktop shows them, tests read them.
#pragma once
#include <functional>
#include <string>
#include <vector>

namespace orb {

struct ShownMessage {
    std::string text;
    std::string caption;
    unsigned flags;
};

constexpr unsigned kMbOk = 0x0;
constexpr unsigned kMbOkCancel = 0x1;
constexpr unsigned kMbYesNo = 0x4;
constexpr unsigned kMbIconError = 0x10;
constexpr unsigned kMbIconQuestion = 0x20;
constexpr unsigned kMbIconWarning = 0x30;
constexpr unsigned kMbIconInfo = 0x40;
constexpr int kIdOk = 1, kIdCancel = 2, kIdYes = 6, kIdNo = 7;

// Shows a message and returns the button pressed. Headless, the answer is the scripted
// one (see SetMessageAnswer) or OK/Yes.
int MessageBox(void* owner, const std::string& text, const std::string& caption, unsigned flags = kMbOk);

// What was shown since the last TakeMessages; clears the list.
std::vector<ShownMessage> TakeMessages();
// The next answers of headless message boxes, in order.
void SetMessageAnswers(std::vector<int> answers);
// A desktop backend installs its presenter here; null restores headless.
void SetMessagePresenter(std::function<int(void*, const ShownMessage&)> presenter);

}  // namespace orb
