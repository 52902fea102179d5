#include "platform/name_resolution.h"

#include <arpa/inet.h>

#include <chrono>
#include <condition_variable>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "platform/socket.h"

namespace orb {

namespace {

// One name being resolved: the answer, shared by the helper and whoever still waits.
struct Lookup {
    std::string name;
    std::mutex m;
    std::condition_variable cv;
    bool done = false, ok = false;
    in_addr address{};
};

struct Helper {
    std::thread thread;
    std::shared_ptr<Lookup> lookup;
};

std::mutex g_helpersLock;
std::condition_variable g_helperEnded;
// Never destroyed: a helper still inside the system's resolver when the process ends must
// not meet a destructor of a joinable thread.
std::list<Helper>& Helpers() {
    static auto* v = new std::list<Helper>;
    return *v;
}

// Joins the helpers whose lookup is done; the lock is held.
void JoinEndedLocked(std::list<Helper>& ended) {
    auto& helpers = Helpers();
    for (auto it = helpers.begin(); it != helpers.end();) {
        bool done;
        {
            std::lock_guard l(it->lookup->m);
            done = it->lookup->done;
        }
        if (done) ended.splice(ended.end(), helpers, it++);
        else ++it;
    }
}

void JoinAll(std::list<Helper>& ended) {
    for (Helper& h : ended)
        if (h.thread.joinable()) h.thread.join();
}

}  // namespace

bool ResolveIPv4Abandonable(const char* address, in_addr& out, const std::atomic<int32_t>* stop, int timeoutMs) {
    if (!address || !*address) return false;
    if (inet_pton(AF_INET, address, &out) == 1) return true;
    auto lookup = std::make_shared<Lookup>();
    lookup->name = address;
    std::list<Helper> ended;
    {
        std::lock_guard lock(g_helpersLock);
        JoinEndedLocked(ended);
        try {
            Helpers().push_back({std::thread([lookup] {
                                     in_addr a{};
                                     const bool ok = ResolveIPv4(lookup->name.c_str(), a);
                                     {
                                         std::lock_guard l(lookup->m);
                                         lookup->ok = ok;
                                         lookup->address = a;
                                         lookup->done = true;
                                     }
                                     lookup->cv.notify_all();
                                     std::lock_guard l(g_helpersLock);
                                     g_helperEnded.notify_all();
                                 }),
                                 lookup});
        } catch (const std::system_error&) {
            return false;  // no thread to spare: this attempt fails and is retried later
        }
    }
    JoinAll(ended);
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    std::unique_lock l(lookup->m);
    while (!lookup->done) {
        if ((stop && stop->load()) || std::chrono::steady_clock::now() >= until) return false;
        lookup->cv.wait_for(l, std::chrono::milliseconds(10));
    }
    if (lookup->ok) out = lookup->address;
    return lookup->ok;
}

int JoinResolverHelpers(int waitMs) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    std::list<Helper> ended;
    int left;
    {
        std::unique_lock lock(g_helpersLock);
        for (;;) {
            JoinEndedLocked(ended);
            left = static_cast<int>(Helpers().size());
            if (left == 0 || std::chrono::steady_clock::now() >= until) break;
            g_helperEnded.wait_until(lock, until);
        }
    }
    JoinAll(ended);
    return left;
}

}  // namespace orb
