// A started instance with a classic station 01 (0.1.0) and a CS1 station 02
// (0.2.0), and IoRequests laid out the way a host fills them from a checked
// TagDefinition.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/driver_fixture.h"

enum { CLASSIC = 1, CS1 = 2 }; // station numbers

class FinsTest : public DriverTest {
  protected:
    void SetUp() override {
        DriverTest::SetUp();
        StartWith("01=0.1.0\n02=0.2.0\n02=CS1\n");
    }

    static IoRequest Request(int32_t station, int32_t areaFlags, int32_t address, int32_t count, void *values,
                             int32_t bit = NO_BIT, int32_t width = 16, const char *tagText = "TAG") {
        IoRequest request{};
        request.tagText = tagText;
        request.tag = TagAddress{station, areaFlags, address, bit, width};
        request.count = count;
        request.values = values;
        return request;
    }

    // The command bytes of every GwSend, in order.
    std::vector<std::vector<uint8_t>> Sent() const {
        std::vector<std::vector<uint8_t>> sent;
        for (const GatewayCall &call : fakeGateway.CallsOf(GatewayCall::SEND)) {
            sent.push_back(call.bytes);
        }
        return sent;
    }

    std::vector<uint8_t> LastSent() const {
        auto sent = Sent();
        return sent.empty() ? std::vector<uint8_t>{} : sent.back();
    }
};

// Host cells as the value area holds them: 16-bit little-endian words.
inline std::vector<uint8_t> CellBytes(const std::vector<uint16_t> &cells) {
    std::vector<uint8_t> bytes;
    for (uint16_t cell : cells) {
        bytes.push_back(static_cast<uint8_t>(cell));
        bytes.push_back(static_cast<uint8_t>(cell >> 8));
    }
    return bytes;
}
