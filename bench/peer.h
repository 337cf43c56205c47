// The npm client omron-fins as a peer: a node process that reads one word
// over FINS/UDP again and again, each read issued when the last one answered.
#pragma once

#include <cstdint>
#include <string>

namespace bench {

// False, with *why, when node or the installed omron-fins package is missing.
bool PeerAvailable(std::string *why);

// Exchanges per second of one node process doing that many reads of D100,
// timed inside the process after its warm-up.
double PeerReadRate(uint16_t udpPort, int exchanges);

} // namespace bench
