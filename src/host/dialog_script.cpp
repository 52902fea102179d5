#include "host/dialog_script.h"

#include <mutex>

namespace orb {

namespace {
std::mutex g_lock;
DialogAnswerer& Answerer() {
    static auto* v = new DialogAnswerer;
    return *v;
}
}  // namespace

void SetDialogAnswerer(DialogAnswerer answerer) {
    std::lock_guard lock(g_lock);
    Answerer() = std::move(answerer);
}

bool HaveDialogAnswerer() {
    std::lock_guard lock(g_lock);
    return static_cast<bool>(Answerer());
}

int AskDialog(void* owner, const std::string& name, DialogValues& values) {
    DialogAnswerer answerer;
    {
        std::lock_guard lock(g_lock);
        answerer = Answerer();
    }
    if (!answerer) return -1;
    const bool ok = answerer(owner, name, values);
    // Edit fields never hold more than their limit.
    for (auto& [id, text] : values.text) {
        const auto l = values.limit.find(id);
        if (l != values.limit.end() && text.size() > static_cast<size_t>(l->second)) text.resize(l->second);
    }
    return ok ? 1 : 0;
}

}  // namespace orb
