// The five timeouts are kept per device as given. A terminal has one read
// timer, so the read timeouts become its VMIN and VTIME; the write timeouts
// have no counterpart and are only kept.
#include <errno.h>
#include <termios.h>

#include "serial/posix_serial.h"

namespace {

constexpr uint32_t MS_PER_TENTH = 100;
constexpr uint32_t LONGEST_TIMER = 255; // tenths of a second
constexpr uint32_t RETURN_AT_ONCE = UINT32_MAX;

} // namespace

// A total time-out waits at most that long for the first byte, rounded up to
// whole tenths and held at the timer's longest; without one a read waits for
// a byte, with the interval time-out, where given, between bytes. An interval
// of UINT32_MAX without totals returns what has arrived at once.
ReadTimer ReadTimerFor(const SerialTimeouts &timeouts) {
    auto tenths = [](uint32_t milliseconds) {
        uint32_t rounded = milliseconds / MS_PER_TENTH + (milliseconds % MS_PER_TENTH != 0 ? 1 : 0);
        return static_cast<uint8_t>(rounded > LONGEST_TIMER ? LONGEST_TIMER : rounded);
    };
    if (timeouts.ReadTotalTimeoutConstant != 0) {
        return {0, tenths(timeouts.ReadTotalTimeoutConstant)};
    }
    if (timeouts.ReadIntervalTimeout == RETURN_AT_ONCE) {
        return {0, 0};
    }
    return {1, tenths(timeouts.ReadIntervalTimeout)};
}

bool SerialGetTimeouts(SerialHandle handle, SerialTimeouts *timeouts) {
    const SerialDevice *device = FindSerialDevice(handle);
    if (device == nullptr) {
        return false;
    }
    *timeouts = device->timeouts;
    return true;
}

bool SerialSetTimeouts(SerialHandle handle, const SerialTimeouts *timeouts) {
    SerialDevice *device = FindSerialDevice(handle);
    if (device == nullptr) {
        return false;
    }
    termios line;
    if (tcgetattr(device->fd, &line) != 0) {
        return false;
    }
    ReadTimer timer = ReadTimerFor(*timeouts);
    line.c_cc[VMIN] = timer.minimum;
    line.c_cc[VTIME] = timer.tenths;
    if (tcsetattr(device->fd, TCSANOW, &line) != 0) {
        return false;
    }
    device->timeouts = *timeouts;
    return true;
}
