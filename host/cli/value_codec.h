// Values of tags and how they lie in the host's value area: 16-bit
// little-endian cells; a single 16-bit item in the second cell, 32-bit items
// in two cells from the first (low half first), text one byte a character.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "host/cli/tag_kind.h"

namespace kelomr {

struct Value {
    Kind kind = Kind::Word;
    uint32_t bits = 0; // the word, 0 or 1, the status byte, the float's bits or the BCD number
    std::string text;  // text items only

    bool operator==(const Value &other) const { return kind == other.kind && bits == other.bits && text == other.text; }
    bool operator!=(const Value &other) const { return !(*this == other); }
};

// A value area with room to spare for any item or block a tag may name.
struct ValueArea {
    static constexpr size_t SIZE = 4096;
    alignas(8) uint8_t bytes[SIZE] = {};
};

// The bytes a single item or a block of `count` items takes in the area.
size_t SingleItemBytes(Kind kind, int textLength);
size_t BlockBytes(Kind kind, int count);

Value DecodeSingle(Kind kind, const ValueArea &area, int textLength);
void EncodeSingle(const Value &value, ValueArea &area, int textLength);

std::vector<Value> DecodeBlock(Kind kind, const ValueArea &area, int count);
void EncodeBlock(const std::vector<Value> &values, ValueArea &area);

} // namespace kelomr
