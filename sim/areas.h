// The memory areas of each controller series: area codes, address ranges and
// where each area keeps its data.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "sim/simulator.h"

namespace finsim {

// Word: 16-bit elements. Flag: one 0/1 byte an element, own storage.
// Bit: a view of single bits of a word area's storage.
enum class AreaKind { Word, Flag, Bit };

// A window of valid word addresses and where it lies in the region.
struct Segment {
    uint32_t first;
    uint32_t count;
    uint32_t offset;
};

struct RegionInfo {
    uint32_t size;       // elements
    uint8_t primaryCode; // the area code that names the region in an image
};

struct AreaInfo {
    uint8_t code;
    AreaKind kind;
    uint8_t region;
    const char *name; // image name, or null
    uint8_t segmentCount;
    Segment segments[2];
};

struct SeriesLayout {
    const RegionInfo *regions;
    size_t regionCount;
    const AreaInfo *areas;
    size_t areaCount;
    const char *model;
    const char *version;
    uint8_t emBanks;
};

const SeriesLayout &LayoutOf(Series series);
const AreaInfo *FindArea(const SeriesLayout &layout, uint8_t code);
// Case-insensitive image name (DM, EM0, ...).
const AreaInfo *FindAreaByName(const SeriesLayout &layout, const char *name, size_t length);
// A hex area code (0x82) or an image name.
const AreaInfo *FindAreaByText(const SeriesLayout &layout, const std::string &text);

} // namespace finsim
