#include "host/cli/stop_signal.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>

namespace kelomr {

namespace {

volatile std::sig_atomic_t signalCount = 0;
int wakeRead = -1;
int wakeWrite = -1;

extern "C" void OnStopSignal(int) {
    int saved = errno;
    signalCount = signalCount + 1;
    if (wakeWrite >= 0) {
        char byte = 1;
        [[maybe_unused]] ssize_t ignored = write(wakeWrite, &byte, 1);
    }
    errno = saved;
}

} // namespace

void InstallStopHandlers() {
    if (wakeRead < 0) {
        int fds[2];
        if (pipe2(fds, O_CLOEXEC | O_NONBLOCK) == 0) {
            wakeRead = fds[0];
            wakeWrite = fds[1];
        }
    }
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
}

bool StopRequested() {
    return signalCount > 0;
}

int StopSignals() {
    return static_cast<int>(signalCount);
}

bool SleepUnlessStopped(std::chrono::steady_clock::time_point deadline) {
    while (!StopRequested()) {
        auto now = std::chrono::steady_clock::now();
        if (now >= deadline) {
            return false;
        }
        // Rounded up, so that the wait never ends short of the deadline.
        auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - now);
        if (wakeRead < 0) {
            usleep(static_cast<useconds_t>(std::min<long long>(left.count(), 50) * 1000));
            continue;
        }
        pollfd wake{wakeRead, POLLIN, 0};
        if (poll(&wake, 1, static_cast<int>(left.count())) > 0) {
            char drain[16];
            while (read(wakeRead, drain, sizeof drain) > 0) {
            }
        }
    }
    return true;
}

} // namespace kelomr
