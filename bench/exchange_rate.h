// Timed runs of one exchange repeated: through KelMain or the bare client.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "bench/bare_client.h"
#include "bench/driver_session.h"

namespace bench {

// Exchanges per second of the function on the request, each call answered
// before the next; a failed call stops the program.
double DriverRate(DriverSession &session, int32_t function, IoRequest *request, int exchanges);

// The same for the bare client sending the frame.
double BareRate(BareClient &client, uint8_t *frame, size_t length, int exchanges);

// Stops the program unless the read frame is the one the driver's last read
// composed, service id aside: the bare client must send what the gateway sends.
void CheckSameFrame(const InstanceData &instance, const uint8_t *frame, const std::string &what);

} // namespace bench
