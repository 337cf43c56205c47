// The kinds of items a transfer moves and the conversions between the
// controller's big-endian words and the host's 16-bit little-endian cells.
#pragma once

#include <stdint.h>

enum ItemKind : uint8_t {
    KIND_TEXT,    // one byte per character
    KIND_FLOAT32, // two cells, bits unchanged
    KIND_BCD32,   // two cells holding one unsigned binary value
    KIND_STATUS,  // timer/counter completion flag: one byte, one cell
    KIND_WORD,    // one cell
    KIND_COUNT,
};

// Text first, then float, then BCD, then the TS area, else a word.
ItemKind ItemKindOf(int32_t areaFlags);

// Host cells are 16-bit little-endian words and need not be aligned.
inline uint16_t CellAt(const uint8_t *values, int32_t index) {
    return static_cast<uint16_t>(values[2 * index] | values[2 * index + 1] << 8);
}

inline void PutCell(uint8_t *values, int32_t index, uint16_t cell) {
    values[2 * index] = static_cast<uint8_t>(cell);
    values[2 * index + 1] = static_cast<uint8_t>(cell >> 8);
}

// FINS data bytes one item takes in a write command, and of the response of a
// read that the read conversion uses.
extern const uint8_t DATA_BYTES_PER_ITEM[KIND_COUNT];

// Response data into count items of the value area.
void ConvertReadData(ItemKind kind, const uint8_t *data, uint8_t *values, int32_t count);

// count items of the value area into write data; returns the bytes laid out.
int32_t LayOutWriteData(ItemKind kind, const uint8_t *values, uint8_t *data, int32_t count);

// A binary value as 8-digit BCD and back, the way the controller keeps
// 8-digit BCD in two words.
uint32_t BcdToBinary(uint32_t raw);
uint32_t BinaryToBcd(uint32_t value);
