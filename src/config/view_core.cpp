#include "config/view_core.h"

#include "platform/debug_log.h"

namespace orb {

void SetViewStatus(ViewCore* view, int line, const char* text) {
    if (!view) return;
    const std::string t = text ? text : "";
    bool changed;
    {
        // A lock of its own: the capture thread writes status lines also while it holds the
        // picture lock.
        std::lock_guard lock(view->ui.statusMutex);
        changed = view->ui.status != t;
        view->ui.status = t;
        if (line >= kFirstStatusLine && line <= kLastStatusLine) {
            view->ui.statusLines[static_cast<size_t>(line - kFirstStatusLine)] = t;
            // An empty line 0 says the camera is fine again: the connection lines go with it.
            if (line == 0 && t.empty())
                for (int l : {1, 2}) view->ui.statusLines[static_cast<size_t>(l - kFirstStatusLine)].clear();
        }
    }
    if (changed && text && *text) DebugLog("view %d: %s", view->viewIndex, text);
    if (view->ui.window) InvalidateRect(view->ui.window);
}

}  // namespace orb
