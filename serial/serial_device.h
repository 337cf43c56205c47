// The device routines below the port handlers: open and configure, close, and
// the read time-out. They return small statuses; the handlers tell only 0 from
// the rest.
#pragma once

#include <stdint.h>

#include "driver/call_blocks.h"
#include "serial/serial_platform.h"

enum {
    SERIAL_DONE = 0,
    SERIAL_OPEN_FAILED = 1,  // the device did not open, or its timeouts were refused
    SERIAL_READ_FAILED = 4,  // its line settings could not be read
    SERIAL_APPLY_FAILED = 5, // its line refused the settings
    SERIAL_CLOSE_FAILED = 7,
};

// Opens the device and sets up its line from the settings and the handshake
// flags. On SERIAL_DONE *handle holds the open device; on any other status no
// device is left open.
int32_t OpenSerialDevice(const char *name, const SerialSettings *settings, uint16_t handshake, SerialHandle *handle);

int32_t CloseSerialDevice(SerialHandle handle);

// Sets the device's read total time-out to ten times timeout milliseconds.
// Reports nothing: a device that keeps its old time-out still works.
void SetPortReadTimeout(SerialHandle handle, int32_t timeout);

// Opens the device the port fields of the instance name, with their settings
// and handshake flags. Returns 0 when it did not open.
SerialHandle OpenInstancePort(const InstanceData *instance);
