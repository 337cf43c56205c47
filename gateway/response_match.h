// Whether a received frame is the response to the command that went out.
#pragma once

#include <cstddef>
#include <cstdint>

namespace finsgw {

// sent is the command frame as it went out (header and command code). The
// response must be long enough for an end code, be marked as a response,
// carry the same service id and command code, and come from the address
// the command was sent to.
bool IsResponseTo(const uint8_t *sent, const uint8_t *received, size_t length);

} // namespace finsgw
