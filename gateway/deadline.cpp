#include "gateway/deadline.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>

#include <cerrno>

namespace finsgw {

using std::chrono::steady_clock;

Deadline Deadline::After(int32_t milliseconds) {
    return Deadline{steady_clock::now() + std::chrono::milliseconds(milliseconds), milliseconds};
}

bool Deadline::Passed() const {
    return steady_clock::now() >= at;
}

int Deadline::RemainingMs() const {
    auto left = at - steady_clock::now();
    if (left <= steady_clock::duration::zero()) {
        return 0;
    }
    return static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(left).count());
}

WaitResult WaitFor(int fd, short events, const Deadline &deadline) {
    for (;;) {
        pollfd entry{fd, events, 0};
        int ready = poll(&entry, 1, deadline.RemainingMs());
        if (ready > 0) {
            // Errors and hang-ups count as ready: the next socket call reports them.
            return WaitResult::READY;
        }
        if (ready == 0) {
            return WaitResult::TIMED_OUT;
        }
        if (errno != EINTR) {
            return WaitResult::FAILED;
        }
    }
}

ssize_t ReceiveBefore(int fd, void *buffer, size_t capacity, int flags, const Deadline &deadline, int *armedMs) {
    for (;;) {
        int left = deadline.RemainingMs();
        if (left == 0) {
            // A time-out of 0 would wait for ever: take only what is there.
            return recv(fd, buffer, capacity, flags | MSG_DONTWAIT);
        }
        if (left != *armedMs) {
            timeval limit{left / 1000, (left % 1000) * 1000};
            if (setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit) != 0) {
                return -1;
            }
            *armedMs = left;
        }
        ssize_t count = recv(fd, buffer, capacity, flags);
        if (count >= 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) {
            return count;
        }
    }
}

} // namespace finsgw
