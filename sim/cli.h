// The finsim command line: its options and their checking.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sim/simulator.h"

namespace finsim {

struct Animation {
    std::string area; // as in an image line: a name of the first node's series, or 0x code
    uint32_t address;
};

struct Options {
    std::string host = "127.0.0.1";
    uint16_t udpPort = 0;
    uint16_t tcpPort = 0;
    bool udp = true;
    bool tcp = true;
    std::vector<NodeConfig> nodes;
    std::string image;
    std::string save;
    std::string readyFile;
    Faults faults;
    std::vector<Animation> animations;
};

enum class ParseResult { Run, Help, Error };

ParseResult ParseOptions(int argc, const char *const *argv, Options *options, std::string *error);
const char *UsageText();

} // namespace finsim
