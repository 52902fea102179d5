// The one clock and the one sleeper of the system. Both can be replaced (tests scale
// time or script the local time across an hour turn or a daylight-saving change).
#pragma once
#include <atomic>
#include <cstdint>
#include <functional>

// A local date and time as files and records store it (16 bytes).
struct SystemTime {
    uint16_t year, month, dayOfWeek, day, hour, minute, second, milliseconds;
};
static_assert(sizeof(SystemTime) == 16);

namespace orb {

// Local date and time now, as the recorder and the player stamp frames.
SystemTime LocalNow();
// Replaces the local clock; an empty function restores the real one.
void SetLocalClock(std::function<SystemTime()> clock);

// Waits ms milliseconds, or less when *stop becomes non-zero and WakeSleepers is called.
// False when the wait ended because of the stop request.
bool SleepFor(int ms, const std::atomic<int32_t>* stop = nullptr);
// Wakes every waiting SleepFor so it can look at its stop flag.
void WakeSleepers();
// Replaces the sleeper (it receives the requested milliseconds); empty restores the real one.
void SetSleeper(std::function<void(int ms)> sleeper);

// CPU time the calling thread has used, in nanoseconds; what the pipeline's stage figures
// are made of (a wall clock would count the other cameras' threads too).
int64_t ThreadCpuNanoseconds();
// A monotonic wall clock in nanoseconds, for latencies.
int64_t MonotonicNanoseconds();

}  // namespace orb
