#include "bench/plant.h"

#include <vector>

namespace bench {

namespace {

constexpr uint8_t AREA_DM = 0x82;

std::vector<finsim::NodeConfig> Nodes(int count) {
    std::vector<finsim::NodeConfig> nodes;
    for (int node = 1; node <= count; ++node) {
        nodes.push_back({0, static_cast<uint8_t>(node), finsim::Series::Cs});
    }
    return nodes;
}

} // namespace

Plant::Plant(int nodes) : simulator_(std::make_unique<finsim::Simulator>(Nodes(nodes))) {
    if (!simulator_->Start("127.0.0.1")) {
        Die("the simulator does not start: " + simulator_->LastError());
    }
    ports_ = {simulator_->UdpPort(), simulator_->TcpPort()};
    std::vector<uint16_t> words(PRESET_WORDS);
    for (uint32_t i = 0; i < PRESET_WORDS; ++i) {
        words[i] = static_cast<uint16_t>(i + 1);
    }
    for (int node = 1; node <= nodes; ++node) {
        simulator_->WriteWords(0, static_cast<uint8_t>(node), AREA_DM, 0, words.data(), words.size());
    }
}

} // namespace bench
