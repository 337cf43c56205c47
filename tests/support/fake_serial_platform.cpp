#include "tests/support/fake_serial_platform.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

FakeSerialPlatform fakeSerial;

void FakeSerialPlatform::FailNext(SerialCall::Kind kind, int after) {
    std::deque<bool> &script = outcomes[kind];
    script.insert(script.end(), static_cast<size_t>(after), true);
    script.push_back(false);
}

std::vector<SerialCall::Kind> FakeSerialPlatform::Kinds() const {
    std::vector<SerialCall::Kind> kinds;
    for (const SerialCall &call : calls) {
        kinds.push_back(call.kind);
    }
    return kinds;
}

std::vector<SerialCall> FakeSerialPlatform::CallsOf(SerialCall::Kind kind) const {
    std::vector<SerialCall> found;
    std::copy_if(calls.begin(), calls.end(), std::back_inserter(found),
                 [kind](const SerialCall &call) { return call.kind == kind; });
    return found;
}

LineState FakeSerialPlatform::DistinctLine() {
    LineState line;
    std::memset(&line, 0xA5, sizeof line);
    line.DCBlength = 0x77;
    line.BaudRate = 1234567;
    line.fBinary = 0;
    line.fParity = 0;
    line.fOutxCtsFlow = 1;
    line.fOutxDsrFlow = 1;
    line.fDtrControl = 3;
    line.fDsrSensitivity = 1;
    line.fTXContinueOnXoff = 1;
    line.fOutX = 1;
    line.fInX = 1;
    line.fErrorChar = 1;
    line.fNull = 1;
    line.fRtsControl = 3;
    line.fAbortOnError = 1;
    line.fDummy2 = 0x1ABCD;
    line.wReserved = 0xBEEF;
    line.XonLim = 0x1234;
    line.XoffLim = 0x5678;
    line.ByteSize = 0xEE;
    line.Parity = 0xEE;
    line.StopBits = 0xEE;
    line.XonChar = 0x11;
    line.XoffChar = 0x13;
    line.ErrorChar = 0x00;
    line.EofChar = 0x1A;
    line.EvtChar = 0x7E;
    line.wReserved1 = 0xCAFE;
    return line;
}

namespace {

SerialCall Recorded(SerialCall::Kind kind, SerialHandle handle = 0) {
    SerialCall call;
    call.kind = kind;
    call.handle = handle;
    return call;
}

// Records the call, then answers from the script; a refused handle fails
// whatever the script says.
bool Answer(SerialCall call, bool handleKnown = true) {
    fakeSerial.calls.push_back(call);
    bool success = handleKnown;
    std::deque<bool> &script = fakeSerial.outcomes[call.kind];
    if (!script.empty()) {
        success = success && script.front();
        script.pop_front();
    }
    if (!success) {
        errno = handleKnown ? EIO : EBADF;
    }
    return success;
}

bool IsOpen(SerialHandle handle) {
    return fakeSerial.open.count(handle) != 0;
}

} // namespace

SerialHandle SerialOpenDevice(const char *name) {
    SerialCall call = Recorded(SerialCall::OPEN);
    call.name = name;
    const auto &missing = fakeSerial.missing;
    bool exists = std::find(missing.begin(), missing.end(), call.name) == missing.end();
    bool held = std::any_of(fakeSerial.open.begin(), fakeSerial.open.end(),
                            [&](const auto &device) { return device.second == call.name; });
    if (!Answer(call) || !exists || held) {
        errno = held ? EBUSY : ENOENT;
        return 0;
    }
    SerialHandle handle = fakeSerial.nextHandle++;
    fakeSerial.open[handle] = call.name;
    fakeSerial.timeouts[handle] = fakeSerial.timeoutsAtOpen;
    return handle;
}

bool SerialGetLineState(SerialHandle handle, LineState *line) {
    SerialCall call = Recorded(SerialCall::GET_LINE, handle);
    call.line = *line;
    if (!Answer(call, IsOpen(handle))) {
        return false;
    }
    *line = fakeSerial.lineAsRead;
    return true;
}

bool SerialSetLineState(SerialHandle handle, const LineState *line) {
    SerialCall call = Recorded(SerialCall::SET_LINE, handle);
    call.line = *line;
    return Answer(call, IsOpen(handle));
}

bool SerialGetTimeouts(SerialHandle handle, SerialTimeouts *timeouts) {
    if (!Answer(Recorded(SerialCall::GET_TIMEOUTS, handle), IsOpen(handle))) {
        return false;
    }
    *timeouts = fakeSerial.timeouts[handle];
    return true;
}

bool SerialSetTimeouts(SerialHandle handle, const SerialTimeouts *timeouts) {
    SerialCall call = Recorded(SerialCall::SET_TIMEOUTS, handle);
    call.timeouts = *timeouts;
    if (!Answer(call, IsOpen(handle))) {
        return false;
    }
    fakeSerial.timeouts[handle] = *timeouts;
    return true;
}

bool SerialSetupBuffers(SerialHandle handle, uint32_t inputSize, uint32_t outputSize) {
    SerialCall call = Recorded(SerialCall::SETUP_BUFFERS, handle);
    call.inputSize = inputSize;
    call.outputSize = outputSize;
    return Answer(call, IsOpen(handle));
}

// A failed close leaves the device open, as a platform may.
bool SerialCloseDevice(SerialHandle handle) {
    if (!Answer(Recorded(SerialCall::CLOSE, handle), IsOpen(handle))) {
        return false;
    }
    fakeSerial.open.erase(handle);
    fakeSerial.timeouts.erase(handle);
    return true;
}
