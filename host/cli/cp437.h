// Code page 437 text, such as the driver's banner, as UTF-8.
#pragma once

#include <string>

namespace kelomr {

// Bytes 0x80 to 0xFF become the characters the code page draws; ASCII and
// control bytes stay as they are.
std::string Cp437ToUtf8(const std::string &bytes);

} // namespace kelomr
