// One way of carrying FINS frames to a controller and back. A unit holds one
// and never asks which kind it is.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include <netinet/in.h>

#include "gateway/deadline.h"
#include "gateway/unit_counters.h"

namespace finsgw {

enum class Arrival {
    FRAME,     // a FINS frame is in the buffer
    DISCARDED, // something arrived that carries no frame; already counted
    TIMED_OUT, // nothing within the deadline
    FAILED,    // errno and the error text are set
};

struct Received {
    Arrival arrival;
    size_t length; // of the frame, for FRAME
};

class Transport {
  public:
    virtual ~Transport() = default;

    // Sends a whole frame, or takes it on to send as soon as the connection
    // is made; never blocks. The transport may rewrite node addresses in
    // frame to what its link needs, so that frame holds what really went out
    // once the next Receive has started. frame stays valid until the next
    // Send. -1 with errno and the error text on failure.
    virtual int Send(uint8_t *frame, size_t length) = 0;

    // Finishes what Send began, then waits until the deadline for the next
    // FINS frame and puts it into buffer (at most capacity bytes).
    virtual Received Receive(uint8_t *buffer, size_t capacity, const Deadline &deadline) = 0;
};

struct TransportSetup {
    sockaddr_in peer;
    uint16_t bindPort; // UDP: local port to send from, 0 for any
    std::string label; // "unit 0.1.0 (127.0.0.1:9600 udp)", starts every message
    UnitCounters *counters;
};

// nullptr with errno and the error text when the transport cannot be made.
std::unique_ptr<Transport> MakeUdpTransport(const TransportSetup &setup);
std::unique_ptr<Transport> MakeTcpTransport(const TransportSetup &setup);

} // namespace finsgw
