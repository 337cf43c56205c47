// Why the driver refused a tag address. The driver's checks say only yes
// or no; the user needs to know which character or rule was wrong. The
// reasons follow the address syntax position by position, then the rules that
// tie the suffix to the value type and to block transfers.
#pragma once

#include <functional>
#include <string>

namespace kelomr {

struct RefusalContext {
    int valueType = 1;
    bool block = false;
    int count = 0;
    // Whether the station table holds an address for the station.
    std::function<bool(int station)> stationConfigured;
    std::string stationFile; // named in the reason for an unconfigured station
};

// A reason in words, or a general one when no rule explains the refusal.
std::string ExplainRefusal(const std::string &text, const RefusalContext &context);

} // namespace kelomr
