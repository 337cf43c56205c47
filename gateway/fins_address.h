// FINS addresses as text: "NET.NODE.UNIT" for a unit, "NET.NODE" for a
// route, each number 0 to 255 in decimal, nothing else around or between.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace finsgw {

// Reads exactly count numbers separated by points into bytes; false for
// anything else (blanks, signs, empty parts, more than three digits, > 255).
bool ParseDottedBytes(std::string_view text, uint8_t *bytes, size_t count);

// A TCP or UDP port, 1 to 65535, digits only.
bool ParsePort(std::string_view text, uint16_t *port);

} // namespace finsgw
