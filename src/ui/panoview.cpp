#include "ui/panoview.h"

#include <mutex>
#include <unordered_map>

#include "config/config_file.h"
#include "config/library_state.h"
#include "config/settings.h"

namespace orb {

namespace {
std::mutex g_registryLock;
std::unordered_map<uint32_t, PanoView*>& ViewRegistry() {
    static auto* v = new std::unordered_map<uint32_t, PanoView*>;
    return *v;
}
uint32_t g_nextId = 1;
PanoView* g_tiled[kMaxViews] = {};
}  // namespace

uint32_t RegisterView(PanoView* view) {
    std::lock_guard lock(g_registryLock);
    if (view->id && ViewRegistry().count(view->id)) return view->id;
    while (g_nextId == 0 || ViewRegistry().count(g_nextId)) ++g_nextId;
    view->id = g_nextId++;
    ViewRegistry()[view->id] = view;
    return view->id;
}

void UnregisterView(PanoView* view) {
    std::lock_guard lock(g_registryLock);
    if (view->id) ViewRegistry().erase(view->id);
    for (auto& slot : g_tiled)
        if (slot == view) slot = nullptr;
    view->id = 0;
}

PanoView* FindView(uint32_t id) {
    std::lock_guard lock(g_registryLock);
    const auto it = ViewRegistry().find(id);
    return it == ViewRegistry().end() ? nullptr : it->second;
}

PanoView* OwnerOf(const CameraRecord* record) {
    if (!record || record->ownerLink == 0) return nullptr;
    return FindView(record->ownerLink);
}

PanoView* ViewAt(int position) {
    std::lock_guard lock(g_registryLock);
    return position >= 0 && position < kMaxViews ? g_tiled[position] : nullptr;
}

void SetViewAt(int position, PanoView* view) {
    std::lock_guard lock(g_registryLock);
    if (position >= 0 && position < kMaxViews) g_tiled[position] = view;
}

void TakeRecord(PanoView* view) {
    RegisterView(view);
    view->record.ownerLink = view->id;
    SetText(view->record.tag, "ORBISCOPE");
}

void SaveAllViewRecords() {
    WriteDisplayOptions();
    for (int i = 0; i < g_lib.numViews; ++i) {
        PanoView* v = ViewAt(i);
        if (v && v->captureStarted) SaveRecord(v);
    }
}

}  // namespace orb
