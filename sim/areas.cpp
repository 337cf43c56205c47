#include "sim/areas.h"

#include <cctype>
#include <cstring>

namespace finsim {
namespace {

constexpr uint32_t kEmWords = 32768;

// Timers and counters share area 0x89/0x09 on a CS controller: counters sit
// at 0x8000 upward, stored after the timers.
constexpr Segment kTimers = {0, 4096, 0};
constexpr Segment kCounters = {0x8000, 4096, 4096};

constexpr AreaInfo Word(uint8_t code, uint8_t region, const char *name, uint32_t count) {
    return {code, AreaKind::Word, region, name, 1, {{0, count, 0}, {}}};
}
constexpr AreaInfo Bits(uint8_t code, uint8_t region, uint32_t count) {
    return {code, AreaKind::Bit, region, nullptr, 1, {{0, count, 0}, {}}};
}

enum CsRegion : uint8_t { CS_CIO, CS_WR, CS_HR, CS_AR, CS_DM, CS_TIM, CS_TIMFLAG, CS_EM0 };
constexpr uint8_t kCsBanks = 13;

constexpr RegionInfo kCsRegions[] = {
    {6144, 0xB0},     {512, 0xB1},      {512, 0xB2},      {960, 0xB3},      {32768, 0x82},
    {8192, 0x89},     {8192, 0x09},     {kEmWords, 0xA0}, {kEmWords, 0xA1}, {kEmWords, 0xA2},
    {kEmWords, 0xA3}, {kEmWords, 0xA4}, {kEmWords, 0xA5}, {kEmWords, 0xA6}, {kEmWords, 0xA7},
    {kEmWords, 0xA8}, {kEmWords, 0xA9}, {kEmWords, 0xAA}, {kEmWords, 0xAB}, {kEmWords, 0xAC},
};

// The current EM bank is bank 0: a controller starts with it selected.
constexpr AreaInfo kCsAreas[] = {
    Word(0xB0, CS_CIO, "CIO", 6144),
    Word(0xB1, CS_WR, "WR", 512),
    Word(0xB2, CS_HR, "HR", 512),
    Word(0xB3, CS_AR, "AR", 960),
    Word(0x82, CS_DM, "DM", 32768),
    {0x89, AreaKind::Word, CS_TIM, "TIM", 2, {kTimers, kCounters}},
    {0x09, AreaKind::Flag, CS_TIMFLAG, "TIMFLAG", 2, {kTimers, kCounters}},
    Word(0x98, CS_EM0, "EM", kEmWords),
    Word(0xA0, CS_EM0 + 0, "EM0", kEmWords),
    Word(0xA1, CS_EM0 + 1, "EM1", kEmWords),
    Word(0xA2, CS_EM0 + 2, "EM2", kEmWords),
    Word(0xA3, CS_EM0 + 3, "EM3", kEmWords),
    Word(0xA4, CS_EM0 + 4, "EM4", kEmWords),
    Word(0xA5, CS_EM0 + 5, "EM5", kEmWords),
    Word(0xA6, CS_EM0 + 6, "EM6", kEmWords),
    Word(0xA7, CS_EM0 + 7, "EM7", kEmWords),
    Word(0xA8, CS_EM0 + 8, "EM8", kEmWords),
    Word(0xA9, CS_EM0 + 9, "EM9", kEmWords),
    Word(0xAA, CS_EM0 + 10, "EMA", kEmWords),
    Word(0xAB, CS_EM0 + 11, "EMB", kEmWords),
    Word(0xAC, CS_EM0 + 12, "EMC", kEmWords),
    Bits(0x30, CS_CIO, 6144),
    Bits(0x31, CS_WR, 512),
    Bits(0x32, CS_HR, 512),
    Bits(0x33, CS_AR, 960),
    Bits(0x02, CS_DM, 32768),
    Bits(0x0A, CS_EM0, kEmWords),
    Bits(0x20, CS_EM0 + 0, kEmWords),
    Bits(0x21, CS_EM0 + 1, kEmWords),
    Bits(0x22, CS_EM0 + 2, kEmWords),
    Bits(0x23, CS_EM0 + 3, kEmWords),
    Bits(0x24, CS_EM0 + 4, kEmWords),
    Bits(0x25, CS_EM0 + 5, kEmWords),
    Bits(0x26, CS_EM0 + 6, kEmWords),
    Bits(0x27, CS_EM0 + 7, kEmWords),
    Bits(0x28, CS_EM0 + 8, kEmWords),
    Bits(0x29, CS_EM0 + 9, kEmWords),
    Bits(0x2A, CS_EM0 + 10, kEmWords),
    Bits(0x2B, CS_EM0 + 11, kEmWords),
    Bits(0x2C, CS_EM0 + 12, kEmWords),
};

// CV mode: LR, HR and AR are word ranges inside CIO (1000-1063, 1064-1163,
// 1164-1191), reached through area 0x80 like the rest of it.
enum ClassicRegion : uint8_t { CV_CIO, CV_DM, CV_TIM, CV_TIMFLAG, CV_EM0 };
constexpr uint8_t kClassicBanks = 8;

constexpr RegionInfo kClassicRegions[] = {
    {2556, 0x80},     {32768, 0x82},    {2048, 0x81},     {2048, 0x01},     {kEmWords, 0x90}, {kEmWords, 0x91},
    {kEmWords, 0x92}, {kEmWords, 0x93}, {kEmWords, 0x94}, {kEmWords, 0x95}, {kEmWords, 0x96}, {kEmWords, 0x97},
};

constexpr AreaInfo kClassicAreas[] = {
    Word(0x80, CV_CIO, "CIO", 2556),         Word(0x82, CV_DM, "DM", 32768),
    Word(0x81, CV_TIM, "TIM", 2048),         {0x01, AreaKind::Flag, CV_TIMFLAG, "TIMFLAG", 1, {{0, 2048, 0}, {}}},
    Word(0x98, CV_EM0, "EM", kEmWords),      Word(0x90, CV_EM0 + 0, "EM0", kEmWords),
    Word(0x91, CV_EM0 + 1, "EM1", kEmWords), Word(0x92, CV_EM0 + 2, "EM2", kEmWords),
    Word(0x93, CV_EM0 + 3, "EM3", kEmWords), Word(0x94, CV_EM0 + 4, "EM4", kEmWords),
    Word(0x95, CV_EM0 + 5, "EM5", kEmWords), Word(0x96, CV_EM0 + 6, "EM6", kEmWords),
    Word(0x97, CV_EM0 + 7, "EM7", kEmWords), Bits(0x00, CV_CIO, 2556),
};

constexpr SeriesLayout kCs = {kCsRegions,    sizeof kCsRegions / sizeof kCsRegions[0],
                              kCsAreas,      sizeof kCsAreas / sizeof kCsAreas[0],
                              "CS1H-CPU67H", "V4.0",
                              kCsBanks};
constexpr SeriesLayout kClassic = {kClassicRegions,    sizeof kClassicRegions / sizeof kClassicRegions[0],
                                   kClassicAreas,      sizeof kClassicAreas / sizeof kClassicAreas[0],
                                   "CV1000-CPU01-EV1", "V2.0",
                                   kClassicBanks};

bool SameName(const char *name, const char *text, size_t length) {
    if (std::strlen(name) != length) {
        return false;
    }
    for (size_t i = 0; i < length; ++i) {
        if (std::toupper(static_cast<unsigned char>(text[i])) != name[i]) {
            return false;
        }
    }
    return true;
}

} // namespace

const SeriesLayout &LayoutOf(Series series) {
    return series == Series::Cs ? kCs : kClassic;
}

const AreaInfo *FindArea(const SeriesLayout &layout, uint8_t code) {
    for (size_t i = 0; i < layout.areaCount; ++i) {
        if (layout.areas[i].code == code) {
            return &layout.areas[i];
        }
    }
    return nullptr;
}

const AreaInfo *FindAreaByName(const SeriesLayout &layout, const char *name, size_t length) {
    for (size_t i = 0; i < layout.areaCount; ++i) {
        if (layout.areas[i].name != nullptr && SameName(layout.areas[i].name, name, length)) {
            return &layout.areas[i];
        }
    }
    return nullptr;
}

const AreaInfo *FindAreaByText(const SeriesLayout &layout, const std::string &text) {
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        if (text.size() > 4 || text.find_first_not_of("0123456789abcdefABCDEF", 2) != std::string::npos) {
            return nullptr;
        }
        return FindArea(layout, static_cast<uint8_t>(std::stoul(text.substr(2), nullptr, 16)));
    }
    return FindAreaByName(layout, text.data(), text.size());
}

} // namespace finsim
