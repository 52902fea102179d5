#include "platform/msgbox.h"

#include <deque>
#include <mutex>

namespace orb {

namespace {
std::mutex g_lock;
std::vector<ShownMessage> g_shown;
std::deque<int> g_answers;
std::function<int(void*, const ShownMessage&)> g_presenter;
}  // namespace

int MessageBox(void* owner, const std::string& text, const std::string& caption, unsigned flags) {
    ShownMessage m{text, caption, flags};
    std::function<int(void*, const ShownMessage&)> presenter;
    {
        std::lock_guard lock(g_lock);
        g_shown.push_back(m);
        if (g_shown.size() > 1000) g_shown.erase(g_shown.begin());
        if (!g_answers.empty()) {
            const int a = g_answers.front();
            g_answers.pop_front();
            return a;
        }
        presenter = g_presenter;
    }
    if (presenter) return presenter(owner, m);
    return (flags & 0xF) == kMbYesNo ? kIdYes : kIdOk;
}

std::vector<ShownMessage> TakeMessages() {
    std::lock_guard lock(g_lock);
    std::vector<ShownMessage> out;
    out.swap(g_shown);
    return out;
}

void SetMessageAnswers(std::vector<int> answers) {
    std::lock_guard lock(g_lock);
    g_answers.assign(answers.begin(), answers.end());
}

void SetMessagePresenter(std::function<int(void*, const ShownMessage&)> presenter) {
    std::lock_guard lock(g_lock);
    g_presenter = std::move(presenter);
}

}  // namespace orb
