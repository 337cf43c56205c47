#include "sim/memory.h"

#include <algorithm>

#include "sim/end_codes.h"

namespace finsim {

NodeMemory::NodeMemory(const NodeConfig &config) : config_(config), layout_(&LayoutOf(config.series)) {
    regions_.reserve(layout_->regionCount);
    for (size_t i = 0; i < layout_->regionCount; ++i) {
        regions_.emplace_back(layout_->regions[i].size, 0);
    }
}

void NodeMemory::Clear() {
    for (std::vector<uint16_t> &region : regions_) {
        std::fill(region.begin(), region.end(), 0);
    }
}

uint16_t Locate(const AreaInfo &area, uint32_t address, uint8_t bit, uint32_t count, uint32_t *first) {
    const bool bits = area.kind == AreaKind::Bit;
    if (bits ? bit > 15 : bit != 0) {
        return END_ADDRESS_RANGE;
    }
    for (uint8_t i = 0; i < area.segmentCount; ++i) {
        const Segment &segment = area.segments[i];
        if (address < segment.first || address - segment.first >= segment.count) {
            continue;
        }
        const uint64_t scale = bits ? 16 : 1;
        const uint64_t start = (uint64_t{address} - segment.first) * scale + bit;
        if (start + count > uint64_t{segment.count} * scale) {
            return END_ADDRESS_EXCEEDED;
        }
        *first = static_cast<uint32_t>(segment.offset * scale + start);
        return END_NORMAL;
    }
    return END_ADDRESS_RANGE;
}

uint16_t ReadElement(const NodeMemory &memory, const AreaInfo &area, uint32_t index) {
    const std::vector<uint16_t> &region = memory.Region(area.region);
    if (area.kind == AreaKind::Bit) {
        return (region[index / 16] >> (index % 16)) & 1u;
    }
    return region[index];
}

void WriteElement(NodeMemory &memory, const AreaInfo &area, uint32_t index, uint16_t value) {
    std::vector<uint16_t> &region = memory.Region(area.region);
    if (area.kind == AreaKind::Bit) {
        const uint16_t mask = static_cast<uint16_t>(1u << (index % 16));
        region[index / 16] = static_cast<uint16_t>(value ? region[index / 16] | mask : region[index / 16] & ~mask);
        return;
    }
    region[index] = area.kind == AreaKind::Flag ? static_cast<uint16_t>(value != 0) : value;
}

NodeSet::NodeSet(const std::vector<NodeConfig> &configs) {
    for (const NodeConfig &config : configs) {
        if (Find(config.network, config.node) == nullptr) {
            nodes_.emplace_back(config);
        }
    }
    if (nodes_.empty()) {
        nodes_.emplace_back(NodeConfig{0, 1, Series::Cs});
    }
}

NodeMemory *NodeSet::Find(uint8_t network, uint8_t node) {
    for (NodeMemory &memory : nodes_) {
        if (memory.Config().network == network && memory.Config().node == node) {
            return &memory;
        }
    }
    return nullptr;
}

NodeMemory *NodeSet::Route(uint8_t network, uint8_t node) {
    const uint8_t local = network == 0 ? nodes_.front().Config().network : network;
    if (node != 0) {
        return Find(local, node);
    }
    for (NodeMemory &memory : nodes_) {
        if (memory.Config().network == local) {
            return &memory;
        }
    }
    return nullptr;
}

} // namespace finsim
