#include "bench/exchange_rate.h"

#include <cstring>

namespace bench {

double DriverRate(DriverSession &session, int32_t function, IoRequest *request, int exchanges) {
    Clock::time_point start = Clock::now();
    for (int i = 0; i < exchanges; ++i) {
        session.Must(function, request, "exchange");
    }
    return exchanges / SecondsSince(start);
}

double BareRate(BareClient &client, uint8_t *frame, size_t length, int exchanges) {
    Clock::time_point start = Clock::now();
    for (int i = 0; i < exchanges; ++i) {
        if (!client.Exchange(frame, length)) {
            Die("the bare client's exchange failed");
        }
    }
    return exchanges / SecondsSince(start);
}

void CheckSameFrame(const InstanceData &instance, const uint8_t *frame, const std::string &what) {
    uint8_t driverFrame[FINS_HEADER + READ_COMMAND];
    std::memcpy(driverFrame, instance.sendHeader, FINS_HEADER);
    std::memcpy(driverFrame + FINS_HEADER, instance.command, READ_COMMAND);
    driverFrame[9] = frame[9];
    if (std::memcmp(driverFrame, frame, sizeof driverFrame) != 0) {
        Die(what + ": the bare client's frame differs from the driver's");
    }
}

} // namespace bench
