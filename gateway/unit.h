// A unit: the way to one FINS station, with its frame buffers made once at
// open, its counters, and the command that awaits an answer.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "gateway/fins_frame.h"
#include "gateway/transport.h"
#include "gateway/unit_counters.h"

namespace finsgw {

struct Unit {
    std::mutex lock;   // one exchange at a time on a unit
    std::string name;  // "unit 0.1.0"
    std::string label; // "unit 0.1.0 (127.0.0.1:9600 udp)"
    UnitCounters counters;
    std::unique_ptr<Transport> transport;
    std::array<uint8_t, MAX_FINS_FRAME> sent{};
    std::array<uint8_t, MAX_FINS_FRAME> received{};
    bool awaiting = false; // a command went out and its answer has not been taken
};

// Opens the unit for "NET.NODE.UNIT" by the routing table; nullptr with
// errno and the error text set.
std::shared_ptr<Unit> OpenUnit(const char *stationText);

// The command (length bytes) under the 10-byte header goes out.
int32_t SendCommand(Unit &unit, const uint8_t *header, const uint8_t *command, int32_t length);

// Waits for the answer to the command last sent; the response (from MRC on)
// into response, its header into header; the response length or -1.
int32_t ReceiveResponse(Unit &unit, uint8_t *header, uint8_t *response, int32_t capacity, int32_t timeoutMs);

} // namespace finsgw
