#include "platform/clock.h"

#include <chrono>
#include <condition_variable>
#include <ctime>
#include <mutex>

namespace orb {

namespace {
std::mutex g_clockLock;
std::function<SystemTime()>& ClockHook() {
    static auto* v = new std::function<SystemTime()>;
    return *v;
}
std::function<void(int)>& SleeperHook() {
    static auto* v = new std::function<void(int)>;
    return *v;
}
std::mutex g_sleepLock;
std::condition_variable& SleepWake() {
    static auto* v = new std::condition_variable;
    return *v;
}
}  // namespace

SystemTime LocalNow() {
    {
        std::lock_guard lock(g_clockLock);
        if (ClockHook()) return ClockHook()();
    }
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    tm t{};
    localtime_r(&ts.tv_sec, &t);
    SystemTime s{};
    s.year = static_cast<uint16_t>(t.tm_year + 1900);
    s.month = static_cast<uint16_t>(t.tm_mon + 1);
    s.dayOfWeek = static_cast<uint16_t>(t.tm_wday);
    s.day = static_cast<uint16_t>(t.tm_mday);
    s.hour = static_cast<uint16_t>(t.tm_hour);
    s.minute = static_cast<uint16_t>(t.tm_min);
    s.second = static_cast<uint16_t>(t.tm_sec);
    s.milliseconds = static_cast<uint16_t>(ts.tv_nsec / 1000000);
    return s;
}

void SetLocalClock(std::function<SystemTime()> clock) {
    std::lock_guard lock(g_clockLock);
    ClockHook() = std::move(clock);
}

bool SleepFor(int ms, const std::atomic<int32_t>* stop) {
    std::function<void(int)> sleeper;
    {
        std::lock_guard lock(g_clockLock);
        sleeper = SleeperHook();
    }
    if (sleeper) {
        sleeper(ms);
        return !(stop && stop->load());
    }
    std::unique_lock lock(g_sleepLock);
    const bool stopped = SleepWake().wait_for(lock, std::chrono::milliseconds(ms < 0 ? 0 : ms),
                                              [stop] { return stop && stop->load() != 0; });
    return !stopped;
}

void WakeSleepers() {
    { std::lock_guard lock(g_sleepLock); }
    SleepWake().notify_all();
}

void SetSleeper(std::function<void(int)> sleeper) {
    std::lock_guard lock(g_clockLock);
    SleeperHook() = std::move(sleeper);
}

int64_t ThreadCpuNanoseconds() {
    timespec t{};
    if (clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t) != 0) return 0;
    return static_cast<int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec;
}

int64_t MonotonicNanoseconds() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec;
}

}  // namespace orb
