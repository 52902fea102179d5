#include "config/view_core.h"

#include "platform/debug_log.h"

namespace orb {

void SetViewStatus(ViewCore* view, int /*line*/, const char* text) {
    if (!view) return;
    bool changed;
    {
        std::lock_guard lock(view->ui.viewMutex);
        changed = view->ui.status != (text ? text : "");
        view->ui.status = text ? text : "";
    }
    if (changed && text && *text) DebugLog("view %d: %s", view->viewIndex, text);
    if (view->ui.window) InvalidateRect(view->ui.window);
}

}  // namespace orb
