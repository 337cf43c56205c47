// The end of a wait on the monotonic clock, and waiting on a socket for at
// most the time that is left.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstddef>
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

// One receive on a blocking socket that ends by the deadline: the bytes, or
// -1 with errno (EAGAIN once the deadline has passed). The socket's own
// receive time-out is set only when the time left differs from *armedMs, the
// value set last (-1: none yet), so a wait with the caller's usual time-out
// costs the receive call alone.
ssize_t ReceiveBefore(int fd, void *buffer, size_t capacity, int flags, const Deadline &deadline, int *armedMs);

} // namespace finsgw
