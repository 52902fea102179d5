#include "camera/command_worker.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

#include "camera/camera_commands.h"
#include "camera/camera_view.h"
#include "platform/texts.h"

namespace orb {

struct CommandWorker {
    struct Job {
        bool setup = false;
        int code = 0, argument = 0;
    };
    std::mutex m;
    std::condition_variable cv;
    std::deque<Job> jobs;
    bool busy = false;       // a job is going out
    bool busySetup = false;  // and it is a set-up
    bool ending = false;     // no new jobs; the stops still queued go out
    bool finished = false;   // the loop has left
    std::chrono::steady_clock::time_point deadline{};  // of the ending
    uint64_t setupsQueued = 0, setupsDone = 0;
    std::atomic<int32_t> abandon{0};  // every wait ends at once
    std::thread thread;
    // A view freed without its capture stopped (a test, a tool) still ends its worker.
    ~CommandWorker() {
        if (!thread.joinable()) return;
        {
            std::lock_guard l(m);
            ending = true;
            jobs.clear();
            abandon = 1;
        }
        cv.notify_all();
        thread.join();
    }
};

namespace {

// A full queue holds only commands that are not moves (those replace each other); a person
// who clicks presets faster than the camera answers is told so.
constexpr size_t kQueueLimit = 16;
// A stop still queued when the view ends goes out within these budgets, counted from the
// ending: a view that restarts is joined off the window thread and may wait a while; the
// program's close waits for every camera at once, briefly.
constexpr int kEndingBudgetMs = 4000, kClosingBudgetMs = 1500;

// Creation and ending of the workers of every view: a capture thread that starts its worker
// while the window thread stops the view sees the stop.
std::mutex g_workersLock;

int MsLeft(std::chrono::steady_clock::time_point until) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
    return static_cast<int>(std::max<int64_t>(1, left.count()));
}

void WorkerLoop(CameraView* view, CommandWorker* w) {
    for (;;) {
        CommandWorker::Job job;
        CommandWaits waits;
        waits.stop = &w->abandon;
        {
            std::unique_lock l(w->m);
            w->cv.wait(l, [&] { return w->ending || !w->jobs.empty(); });
            if (w->jobs.empty() || w->abandon) break;
            job = w->jobs.front();
            w->jobs.pop_front();
            w->busy = true;
            w->busySetup = job.setup;
            if (w->ending) waits.connectMs = waits.answerMs = MsLeft(w->deadline);
        }
        if (job.setup) SendSetupCommands(*view);
        else SendPtzCommand(*view, job.code, job.argument, waits);
        std::lock_guard l(w->m);
        w->busy = w->busySetup = false;
        if (job.setup) ++w->setupsDone;
        w->cv.notify_all();
    }
    CloseCommandConnection(*view);
    std::lock_guard l(w->m);
    w->finished = true;
    w->cv.notify_all();
}

// Cuts the command connection of the job going out.
void CutConnection(CameraView& view) {
    std::lock_guard lock(view.capture.socketLock);
    view.capture.command.Shutdown();
}

std::shared_ptr<CommandWorker> CurrentWorker(CameraView& view) {
    std::lock_guard lock(g_workersLock);
    return view.capture.worker;
}

// The view's worker, started when asked for; null once the view stops.
std::shared_ptr<CommandWorker> WorkerOf(CameraView& view, bool start) {
    std::lock_guard lock(g_workersLock);
    CaptureState& c = view.capture;
    if (c.worker || !start || c.stop.load()) return c.worker;
    auto w = std::make_shared<CommandWorker>();
    try {
        w->thread = std::thread(WorkerLoop, &view, w.get());
    } catch (const std::system_error&) {
        return nullptr;
    }
    c.worker = w;
    return w;
}

}  // namespace

bool QueuePtzCommand(CameraView& view, int code, int argument) {
    if (!KindSteersCamera(view.ui.kind)) return false;
    const std::shared_ptr<CommandWorker> w = WorkerOf(view, true);
    if (!w) return false;
    {
        std::lock_guard l(w->m);
        if (w->ending) return false;
        std::deque<CommandWorker::Job>& jobs = w->jobs;
        const CommandWorker::Job job{false, code, argument};
        if (!jobs.empty() && !jobs.back().setup && IsPtzMove(jobs.back().code)) {
            jobs.back() = job;  // the camera need not go where the person no longer wants it
        } else if (jobs.size() >= kQueueLimit && !IsPtzStop(code)) {
            CameraStatus(view, 1, "PTZ Command Send Unsuccessful !!");
            return false;
        } else {
            jobs.push_back(job);
        }
    }
    w->cv.notify_all();
    return true;
}

void RunSetupOnWorker(CameraView& view) {
    if (!SetupCommandFor(view.record.modelIndex)) {
        CloseCommandConnection(view);
        return;
    }
    const std::shared_ptr<CommandWorker> w = WorkerOf(view, true);
    if (!w) {
        if (!view.capture.stop) SendSetupCommands(view);  // no thread to spare: here, then
        return;
    }
    std::unique_lock l(w->m);
    if (w->ending) return;
    w->jobs.push_back({true, 0, 0});
    const uint64_t mine = ++w->setupsQueued;
    w->cv.notify_all();
    // The capture waits for its set-up as it always did, but a stop ends the wait.
    while (w->setupsDone < mine && !w->ending && !view.capture.stop.load())
        w->cv.wait_for(l, std::chrono::milliseconds(20));
}

void CancelSetupInFlight(CameraView& view) {
    const std::shared_ptr<CommandWorker> w = CurrentWorker(view);
    if (!w) return;
    std::lock_guard l(w->m);
    if (w->busySetup) CutConnection(view);
}

void EndCommandWorker(CameraView& view, bool closing) {
    const std::shared_ptr<CommandWorker> w = CurrentWorker(view);
    if (!w) return;
    {
        std::lock_guard l(w->m);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(closing ? kClosingBudgetMs : kEndingBudgetMs);
        // Asked again (the program closes while the view was restarting): the earlier end holds.
        if (!w->ending || deadline < w->deadline) w->deadline = deadline;
        w->ending = true;
        // Only the stops stay, the last of each kind: the camera stops once.
        std::deque<CommandWorker::Job> stops;
        for (const CommandWorker::Job& j : w->jobs) {
            if (j.setup || !IsPtzStop(j.code)) continue;
            std::erase_if(stops, [&](const CommandWorker::Job& s) { return s.code == j.code; });
            stops.push_back(j);
        }
        w->jobs = std::move(stops);
        // A set-up going out is of no use to a capture that stops.
        if (w->busySetup) CutConnection(view);
    }
    w->cv.notify_all();
}

void JoinCommandWorker(CameraView& view) {
    const std::shared_ptr<CommandWorker> w = CurrentWorker(view);
    if (!w) return;
    {
        // What has not gone out by the end of the budget is dropped, and what waits is cut.
        std::unique_lock l(w->m);
        if (!w->cv.wait_until(l, w->ending ? w->deadline : std::chrono::steady_clock::now(), [&] { return w->finished; })) {
            w->ending = true;
            w->jobs.clear();
            w->abandon = 1;
            CutConnection(view);
            w->cv.notify_all();
        }
    }
    if (w->thread.joinable()) w->thread.join();
    // A capture started again on the same view starts a worker of its own.
    std::lock_guard lock(g_workersLock);
    if (view.capture.worker == w) view.capture.worker.reset();
}

int PendingCommands(CameraView& view) {
    const std::shared_ptr<CommandWorker> w = CurrentWorker(view);
    if (!w) return 0;
    std::lock_guard l(w->m);
    return static_cast<int>(w->jobs.size()) + (w->busy ? 1 : 0);
}

}  // namespace orb
