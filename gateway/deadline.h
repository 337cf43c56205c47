// The end of a wait on the monotonic clock, and waiting on a socket for at
// most the time that is left.
#pragma once

#include <chrono>
#include <cstdint>

namespace finsgw {

struct Deadline {
    std::chrono::steady_clock::time_point at;
    int32_t timeoutMs; // the whole wait, for messages

    static Deadline After(int32_t milliseconds);
    bool Passed() const;
    // What is left, rounded up to whole milliseconds; 0 once passed.
    int RemainingMs() const;
};

enum class WaitResult { READY, TIMED_OUT, FAILED };

// Polls fd for events (POLLIN or POLLOUT) until the deadline; FAILED with
// errno set.
WaitResult WaitFor(int fd, short events, const Deadline &deadline);

} // namespace finsgw
