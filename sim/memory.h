// The memory of the simulated nodes and the range rules of their areas.
#pragma once

#include <cstdint>
#include <mutex>
#include <vector>

#include "sim/areas.h"
#include "sim/simulator.h"

namespace finsim {

class NodeMemory {
  public:
    explicit NodeMemory(const NodeConfig &config);
    const NodeConfig &Config() const { return config_; }
    const SeriesLayout &Layout() const { return *layout_; }
    std::vector<uint16_t> &Region(uint8_t index) { return regions_[index]; }
    const std::vector<uint16_t> &Region(uint8_t index) const { return regions_[index]; }
    void Clear();

  private:
    NodeConfig config_;
    const SeriesLayout *layout_;
    std::vector<std::vector<uint16_t>> regions_;
};

// Checks that count elements from address (and bit, for a bit view) lie in
// one segment of the area. Returns the FINS end code; on 0 *first is the
// element's index in the region (for a bit view, the bit's index).
uint16_t Locate(const AreaInfo &area, uint32_t address, uint8_t bit, uint32_t count, uint32_t *first);

// One element at an index that Locate gave; flags and bits are 0 or 1.
uint16_t ReadElement(const NodeMemory &memory, const AreaInfo &area, uint32_t index);
void WriteElement(NodeMemory &memory, const AreaInfo &area, uint32_t index, uint16_t value);

inline size_t ElementBytes(const AreaInfo &area) {
    return area.kind == AreaKind::Word ? 2 : 1;
}

class NodeSet {
  public:
    explicit NodeSet(const std::vector<NodeConfig> &configs);
    std::mutex &Mutex() { return mutex_; }
    size_t Count() const { return nodes_.size(); }
    NodeMemory &At(size_t index) { return nodes_[index]; }
    NodeMemory *Find(uint8_t network, uint8_t node);
    // The node a frame addressed to DNA/DA1 reaches: network 0 is the first
    // node's network, node 0 the first node of that network.
    NodeMemory *Route(uint8_t network, uint8_t node);

  private:
    std::mutex mutex_;
    std::vector<NodeMemory> nodes_;
};

} // namespace finsim
