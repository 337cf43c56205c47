// What the gateway fuzz targets share: a unit routed to a loopback peer, and
// the checks of what GwReceive hands back for the command sent.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "fins/gateway.h"

namespace gateway_fuzz {

constexpr int32_t CAPACITY = 64; // small, so long answers must be refused
constexpr uint8_t DESTINATION[3] = {0, 1, 0};
constexpr uint8_t COMMAND[8] = {0x01, 0x01, 0x82, 0x00, 0x64, 0x00, 0x00, 0x01};
constexpr uint8_t GUARD = 0xA5;

inline void Check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

// Unit 0.1.0 over "udp" or "tcp" to the peer's port on 127.0.0.1.
inline GwUnitHandle OpenUnitTo(const char *link, uint16_t port) {
    char config[] = "/tmp/kelomr-fuzz-gw-XXXXXX";
    int file = mkstemp(config);
    std::string text = std::string("local 0.250.0\nroute 0.1 ") + link + " 127.0.0.1:" + std::to_string(port) + "\n";
    Check(file >= 0 && write(file, text.data(), text.size()) == static_cast<ssize_t>(text.size()));
    close(file);
    setenv("FINSGW_CONFIG", config, 1);
    GwOpenService(1, 0);
    GwUnitHandle unit = GwOpenUnit("0.1.0");
    unlink(config);
    Check(unit != 0);
    return unit;
}

// Receives for the command sent under sentHeader and aborts unless the result
// stays within the capacity and, when taken, answers that very command.
inline void ReceiveAndCheck(GwUnitHandle unit, const uint8_t *sentHeader, int32_t timeoutMs) {
    uint8_t received[20];
    uint8_t response[CAPACITY + 16];
    std::memset(response, GUARD, sizeof response);
    int32_t result = GwReceive(unit, received, response, CAPACITY, timeoutMs);
    Check(result <= CAPACITY);
    for (size_t i = CAPACITY; i < sizeof response; ++i) {
        Check(response[i] == GUARD);
    }
    if (result >= 0) {
        Check(received[9] == sentHeader[9]);                                          // its service id
        Check(std::memcmp(received + 6, DESTINATION, 3) == 0);                        // from the destination
        Check(result >= 2 && response[0] == COMMAND[0] && response[1] == COMMAND[1]); // to this command
    }
}

} // namespace gateway_fuzz
