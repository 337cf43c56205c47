// What the POSIX serial operations share: the table of open devices, the
// device names, and the terminal read timer of a set of timeouts.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "serial/serial_platform.h"

// One device in the table. A close that fails has still released the
// descriptor, so the entry only waits for the retry that frees it.
struct SerialDevice {
    SerialHandle handle; // 0: the entry is free
    int fd;              // -1 once a close has failed
    SerialTimeouts timeouts;
};

// The open device of the handle, or null with errno EBADF.
SerialDevice *FindSerialDevice(SerialHandle handle);

// Writes into path the device a name stands for: any case of NUL is the null
// device, a name starting with "/", "./" or "../" is a path, COMn is
// /dev/ttyS(n-1), any other name lies under /dev/. A leading \\.\ is
// dropped. False with errno set for an empty or too long name.
bool ResolveSerialDeviceName(const char *name, char *path, size_t size);

// The terminal's read timer: VMIN bytes, VTIME tenths of a second.
struct ReadTimer {
    uint8_t minimum;
    uint8_t tenths;
};

ReadTimer ReadTimerFor(const SerialTimeouts &timeouts);
