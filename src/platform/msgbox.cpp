#include "platform/msgbox.h"

#include <deque>
#include <mutex>

namespace orb {

namespace {
std::mutex g_lock;
constinit std::vector<ShownMessage> g_shown;
std::deque<int>& ScriptedAnswers() {
    static auto* v = new std::deque<int>;
    return *v;
}
std::function<int(void*, const ShownMessage&)>& Presenter() {
    static auto* v = new std::function<int(void*, const ShownMessage&)>;
    return *v;
}
}  // namespace

int MessageBox(void* owner, const std::string& text, const std::string& caption, unsigned flags) {
    ShownMessage m{text, caption, flags};
    std::function<int(void*, const ShownMessage&)> presenter;
    {
        std::lock_guard lock(g_lock);
        g_shown.push_back(m);
        if (g_shown.size() > 1000) g_shown.erase(g_shown.begin());
        if (!ScriptedAnswers().empty()) {
            const int a = ScriptedAnswers().front();
            ScriptedAnswers().pop_front();
            return a;
        }
        presenter = Presenter();
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
    ScriptedAnswers().assign(answers.begin(), answers.end());
}

void SetMessagePresenter(std::function<int(void*, const ShownMessage&)> presenter) {
    std::lock_guard lock(g_lock);
    Presenter() = std::move(presenter);
}

}  // namespace orb
