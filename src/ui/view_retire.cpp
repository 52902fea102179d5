#include "ui/view_retire.h"

#include <atomic>
#include <list>
#include <memory>
#include <system_error>
#include <thread>
#include <vector>

#include "config/library_state.h"
#include "record/recorder.h"
#include "record/recording_file.h"
#include "ui/main_window.h"
#include "ui/panoview.h"
#include "ui/ui_state.h"

namespace orb {

namespace {

struct Retired {
    PanoView* view = nullptr;
    int slot = -1;  // the recording slot it still holds
    std::thread reaper;
    std::shared_ptr<std::atomic<bool>> done = std::make_shared<std::atomic<bool>>(false);
};

// Touched on the window thread only; the reapers report through `done` and a message.
std::list<Retired>& RetiredViews() {
    static auto* v = new std::list<Retired>;
    return *v;
}

// Joins the view's threads and closes its recording (a write that may be slow on a network
// disk) off the window thread, then tells the main window.
void Reap(PanoView* view, void (*stopCapture)(PanoView*), std::shared_ptr<std::atomic<bool>> done, HWND main) {
    stopCapture(view);
    if (view->recording.dvr) CloseRecording(*view->recording.dvr);
    done->store(true);
    if (main) PostMessage(main, kMsgViewsRetired);
}

// The view that took a freed view's place records from now on.
void PassSlotOn(int slot) {
    if (slot < 0 || RecordingSlotRetiring(slot)) return;
    PanoView* next = ViewAt(slot);
    if (next && !next->ui.closing && next->recording.dvr && next->recording.slot < 0)
        AssignRecordingSlot(next, slot, g_lib.numViews);
}

void Free(std::list<Retired>::iterator it, std::vector<int>& slots) {
    if (it->reaper.joinable()) it->reaper.join();
    slots.push_back(it->slot);
    FreeStoppedView(it->view);
    RetiredViews().erase(it);
}

}  // namespace

void FreeStoppedView(PanoView* view) {
    if (!view) return;
    if (Hooks().releaseView) Hooks().releaseView(view);
    if (g_ui.current == view) g_ui.current = nullptr;
    UnregisterView(view);
    delete view;
}

void RetireView(PanoView* view) {
    if (!view) return;
    FinishRetiredViews();
    view->ui.window = nullptr;  // what its thread still says or paints goes nowhere
    if (ViewAt(view->viewIndex) == view) SetViewAt(view->viewIndex, nullptr);
    if (g_ui.current == view) g_ui.current = nullptr;
    void (*stop)(PanoView*) = Hooks().stopCapture;
    if (Hooks().requestStop) Hooks().requestStop(view, false);
    auto& list = RetiredViews();
    list.emplace_back();
    Retired& r = list.back();
    r.view = view;
    r.slot = view->recording.slot;
    try {
        r.reaper = std::thread(Reap, view, stop, r.done, g_ui.main);
    } catch (const std::system_error&) {
        Reap(view, stop, r.done, nullptr);  // no thread to spare: here, then
    }
}

void FinishRetiredViews() {
    auto& list = RetiredViews();
    std::vector<int> slots;
    for (auto it = list.begin(); it != list.end();) {
        auto next = std::next(it);
        if (it->done->load()) Free(it, slots);
        it = next;
    }
    for (int slot : slots) PassSlotOn(slot);
}

void DrainRetiredViews() {
    auto& list = RetiredViews();
    // The program closes: camera commands still queued are dropped, not sent.
    if (Hooks().requestStop)
        for (Retired& r : list) Hooks().requestStop(r.view, true);
    std::vector<int> slots;
    while (!list.empty()) Free(list.begin(), slots);
    for (int slot : slots) PassSlotOn(slot);
}

bool RecordingSlotRetiring(int slot) {
    if (slot < 0) return false;
    for (const Retired& r : RetiredViews())
        if (r.slot == slot) return true;
    return false;
}

int RetiredViewCount() { return static_cast<int>(RetiredViews().size()); }

}  // namespace orb
