// Name resolution that a stop can abandon. The system's resolver cannot be interrupted and
// may take many seconds over a name that does not answer; a camera's name is therefore
// resolved on a helper thread while the caller waits only as long as it wants the answer.
#pragma once
#include <netinet/in.h>

#include <atomic>
#include <cstdint>

namespace orb {

// Resolves as ResolveIPv4 does (dotted text at once). A name goes to a helper thread; the
// caller waits until the answer comes, *stop becomes non-zero (checked every few
// milliseconds) or timeoutMs has passed. False when the name did not resolve or the wait was
// abandoned; an abandoned helper ends on its own and its answer is dropped.
bool ResolveIPv4Abandonable(const char* address, in_addr& out, const std::atomic<int32_t>* stop,
                            int timeoutMs = 30000);

// Joins the helpers that have ended, and waits up to waitMs for those still resolving; the
// number of helpers still running afterwards.
int JoinResolverHelpers(int waitMs = 0);

}  // namespace orb
