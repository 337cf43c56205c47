// The FINS frame header and the answer it gets.
#pragma once

#include <cstddef>
#include <cstdint>

namespace finsim {

constexpr size_t kHeaderBytes = 10;
constexpr size_t kCommandOffset = 10; // MRC SRC
constexpr size_t kParamsOffset = 12;
constexpr size_t kAnswerDataOffset = 14; // after MRC SRC MRES SRES
constexpr size_t kMaxFrame = 2012;
constexpr size_t kMaxAnswerData = kMaxFrame - kAnswerDataOffset;

enum HeaderByte : size_t { ICF, RSV, GCT, DNA, DA1, DA2, SNA, SA1, SA2, SID };

constexpr uint8_t kIcfResponse = 0x40;
constexpr uint8_t kIcfNoResponse = 0x01;
constexpr uint8_t kAnswerIcf = 0xC0;

inline uint16_t GetU16(const uint8_t *p) {
    return static_cast<uint16_t>(p[0] << 8 | p[1]);
}
inline void PutU16(uint8_t *p, uint16_t value) {
    p[0] = static_cast<uint8_t>(value >> 8);
    p[1] = static_cast<uint8_t>(value);
}
inline uint32_t GetU32(const uint8_t *p) {
    return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3];
}
inline void PutU32(uint8_t *p, uint32_t value) {
    PutU16(p, static_cast<uint16_t>(value >> 16));
    PutU16(p + 2, static_cast<uint16_t>(value));
}

// Writes the answer's header (addresses swapped, same SID and GCT), the
// request's MRC SRC and the end code. The request must hold at least 12
// bytes. Returns kAnswerDataOffset, or 0 when capacity is smaller.
size_t BeginAnswer(const uint8_t *request, uint16_t endCode, uint8_t *answer, size_t capacity);

} // namespace finsim
