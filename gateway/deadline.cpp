#include "gateway/deadline.h"

#include <poll.h>

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

} // namespace finsgw
