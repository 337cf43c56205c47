// The baseline: a FINS client with nothing between it and the socket. It
// sends the frame it is given over a connected UDP socket, or over a FINS/TCP
// connection after the node address exchange, and blocks until the answer
// with the same service id is in. No driver, no gateway: what this machine
// and the simulator allow.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace bench {

constexpr size_t FINS_HEADER = 10;
constexpr size_t READ_COMMAND = 8;
constexpr size_t MAX_FRAME = 2012;

// A memory area read in the bytes the gateway sends for this host (0.100.0):
// header with service id sid, then MRC SRC, area, address, bit 0, count.
struct AreaRead {
    uint8_t destination[3];
    uint8_t area;
    uint16_t address;
    uint16_t count;
};
size_t ComposeAreaRead(const AreaRead &read, uint8_t sid, uint8_t *frame);

class BareClient {
  public:
    virtual ~BareClient() = default;
    // Sends the frame with the next service id and waits for its answer;
    // false when the socket fails or the end code is not 0.
    virtual bool Exchange(uint8_t *frame, size_t length) = 0;

  protected:
    uint8_t sid_ = 0;
};

// nullptr with *error set when the socket cannot be set up.
std::unique_ptr<BareClient> MakeBareUdp(uint16_t port, std::string *error);
std::unique_ptr<BareClient> MakeBareTcp(uint16_t port, std::string *error);

} // namespace bench
