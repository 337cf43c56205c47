#include "serial/serial_device.h"

#include <stddef.h>
#include <string.h>

namespace {

// The null device stands in for a port when there is no line to set up.
constexpr char NULL_DEVICE[] = "NUL";

constexpr uint32_t BUFFER_SIZE = 1200;
constexpr uint32_t OPEN_READ_TIMEOUT_MS = 1000;
constexpr uint8_t ERROR_CHARACTER = 0xFC;

// Read waits at most a second at open; writes have no time-out.
constexpr SerialTimeouts OPEN_TIMEOUTS = {0, 0, OPEN_READ_TIMEOUT_MS, 0, 0};

// The handshake bits that choose a modem line's control, tested in order; the
// first rule whose bits meet the flags decides.
struct LineControlRule {
    uint16_t bits;
    uint8_t control;
};

constexpr LineControlRule DTR_RULES[] = {
    {0x0001 | 0x0100, DTR_CONTROL_ENABLE},
    {0x8000, DTR_CONTROL_HANDSHAKE},
};

constexpr LineControlRule RTS_RULES[] = {
    {0x0002 | 0x0200, RTS_CONTROL_ENABLE},
    {0x1000, RTS_CONTROL_HANDSHAKE},
    {0x2000, RTS_CONTROL_TOGGLE},
};

template <size_t N> uint8_t ControlFor(const LineControlRule (&rules)[N], uint16_t handshake, uint8_t otherwise) {
    for (const LineControlRule &rule : rules) {
        if ((handshake & rule.bits) != 0) {
            return rule.control;
        }
    }
    return otherwise;
}

// The edits of the line as read: everything not named here stays as it was.
void EditLineState(LineState *line, const SerialSettings *settings, uint16_t handshake) {
    line->BaudRate = settings->baudRate;
    line->fBinary = 1;
    line->fParity = 1;
    line->fOutxCtsFlow = 0;
    line->fOutxDsrFlow = 0;
    line->fDtrControl = ControlFor(DTR_RULES, handshake, DTR_CONTROL_DISABLE);
    line->fDsrSensitivity = 0;
    line->fOutX = 0;
    line->fInX = 0;
    line->fErrorChar = 0;
    line->fNull = 0;
    line->fRtsControl = ControlFor(RTS_RULES, handshake, RTS_CONTROL_DISABLE);
    line->fAbortOnError = 0;
    line->ByteSize = settings->dataBits;
    line->Parity = settings->parity;
    line->StopBits = settings->stopBits;
    line->ErrorChar = ERROR_CHARACTER;
}

int32_t SetUpLine(SerialHandle device, const SerialSettings *settings, uint16_t handshake) {
    LineState line;
    memset(&line, 0, sizeof line);
    line.DCBlength = LINE_STATE_LENGTH;
    if (!SerialGetLineState(device, &line)) {
        return SERIAL_READ_FAILED;
    }
    if (!SerialSetTimeouts(device, &OPEN_TIMEOUTS)) {
        return SERIAL_OPEN_FAILED;
    }
    EditLineState(&line, settings, handshake);
    if (!SerialSetLineState(device, &line)) {
        return SERIAL_APPLY_FAILED;
    }
    SerialSetupBuffers(device, BUFFER_SIZE, BUFFER_SIZE);
    return SERIAL_DONE;
}

// Ten times the receive time-out, held within what the timeouts can carry.
uint32_t ReadTimeoutFrom(int32_t timeout) {
    int64_t milliseconds = static_cast<int64_t>(timeout) * 10;
    if (milliseconds < 0) {
        return 0;
    }
    return milliseconds > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(milliseconds);
}

} // namespace

int32_t OpenSerialDevice(const char *name, const SerialSettings *settings, uint16_t handshake, SerialHandle *handle) {
    SerialHandle device = SerialOpenDevice(name);
    if (device == 0) {
        return SERIAL_OPEN_FAILED;
    }
    if (strcmp(name, NULL_DEVICE) != 0) {
        int32_t status = SetUpLine(device, settings, handshake);
        if (status != SERIAL_DONE) {
            SerialCloseDevice(device);
            return status;
        }
    }
    *handle = device;
    return SERIAL_DONE;
}

int32_t CloseSerialDevice(SerialHandle handle) {
    return SerialCloseDevice(handle) ? SERIAL_DONE : SERIAL_CLOSE_FAILED;
}

void SetPortReadTimeout(SerialHandle handle, int32_t timeout) {
    SerialTimeouts timeouts;
    if (!SerialGetTimeouts(handle, &timeouts)) {
        return;
    }
    uint32_t readTimeout = ReadTimeoutFrom(timeout);
    if (timeouts.ReadTotalTimeoutConstant == readTimeout) {
        return;
    }
    timeouts.ReadTotalTimeoutConstant = readTimeout;
    SerialSetTimeouts(handle, &timeouts);
}

// A name that fills its field without a terminator is not a name: it is
// refused before any device is touched.
SerialHandle OpenInstancePort(const InstanceData *instance) {
    if (memchr(instance->portName, '\0', PORT_NAME_SIZE) == nullptr) {
        return 0;
    }
    SerialHandle handle = 0;
    if (OpenSerialDevice(instance->portName, &instance->portSettings, instance->handshake, &handle) != SERIAL_DONE) {
        return 0;
    }
    return handle;
}
