// A recording serial platform for unit tests: it records every call with the
// values passed, answers from a script, and holds its devices exclusively, so
// a second open of a name that is open is refused.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "serial/serial_platform.h"

struct SerialCall {
    enum Kind { OPEN, GET_LINE, SET_LINE, GET_TIMEOUTS, SET_TIMEOUTS, SETUP_BUFFERS, CLOSE } kind;
    SerialHandle handle = 0;   // 0 for OPEN
    std::string name;          // OPEN
    LineState line{};          // GET_LINE: as the caller passed it; SET_LINE: as applied
    SerialTimeouts timeouts{}; // SET_TIMEOUTS
    uint32_t inputSize = 0;    // SETUP_BUFFERS
    uint32_t outputSize = 0;
};

struct FakeSerialPlatform {
    std::vector<SerialCall> calls;
    std::vector<std::string> missing;                      // names that do not exist
    std::map<SerialCall::Kind, std::deque<bool>> outcomes; // per kind, in call order; empty: success
    LineState lineAsRead = DistinctLine();                 // what every line read gives
    SerialTimeouts timeoutsAtOpen{11, 12, 13, 14, 15};     // a device's timeouts before any are set
    std::map<SerialHandle, std::string> open;              // open devices and their names
    std::map<SerialHandle, SerialTimeouts> timeouts;
    SerialHandle nextHandle = 0x51;

    void Reset() { *this = FakeSerialPlatform(); }
    // Lets `after` calls of the kind succeed, then fails the next one.
    void FailNext(SerialCall::Kind kind, int after = 0);
    std::vector<SerialCall::Kind> Kinds() const;
    std::vector<SerialCall> CallsOf(SerialCall::Kind kind) const;

    // A line whose every field differs from what the port set-up writes.
    static LineState DistinctLine();
};

extern FakeSerialPlatform fakeSerial;
