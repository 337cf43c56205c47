#include "host/cli/value_codec.h"

#include <algorithm>

namespace kelomr {

namespace {

constexpr size_t CELL = 2;

uint16_t Cell(const ValueArea &area, size_t offset) {
    return static_cast<uint16_t>(area.bytes[offset] | area.bytes[offset + 1] << 8);
}

void PutCell(ValueArea &area, size_t offset, uint16_t cell) {
    area.bytes[offset] = static_cast<uint8_t>(cell & 0xFF);
    area.bytes[offset + 1] = static_cast<uint8_t>(cell >> 8);
}

bool IsWide(Kind kind) {
    return kind == Kind::Float || kind == Kind::Bcd;
}

// One item at `offset`; 32-bit items take two cells, the rest one.
uint32_t DecodeBits(Kind kind, const ValueArea &area, size_t offset) {
    if (IsWide(kind)) {
        return static_cast<uint32_t>(Cell(area, offset)) | static_cast<uint32_t>(Cell(area, offset + CELL)) << 16;
    }
    uint16_t cell = Cell(area, offset);
    switch (kind) {
    case Kind::Bit:
        return cell & 1u;
    case Kind::TsStatus:
        return cell & 0xFFu;
    default:
        return cell;
    }
}

void EncodeBits(const Value &value, ValueArea &area, size_t offset) {
    PutCell(area, offset, static_cast<uint16_t>(value.bits & 0xFFFF));
    if (IsWide(value.kind)) {
        PutCell(area, offset + CELL, static_cast<uint16_t>(value.bits >> 16));
    }
}

size_t TextBytes(int textLength) {
    return static_cast<size_t>(std::clamp(textLength, 0, static_cast<int>(ValueArea::SIZE)));
}

} // namespace

size_t SingleItemBytes(Kind kind, int textLength) {
    if (kind == Kind::Text) {
        return TextBytes(textLength);
    }
    return 2 * CELL; // the first cell stays the host's for 16-bit items
}

size_t BlockBytes(Kind kind, int count) {
    return count <= 0 ? 0 : static_cast<size_t>(count) * BlockItemBytes(kind);
}

Value DecodeSingle(Kind kind, const ValueArea &area, int textLength) {
    Value value;
    value.kind = kind;
    if (kind == Kind::Text) {
        value.text.assign(reinterpret_cast<const char *>(area.bytes), TextBytes(textLength));
    } else {
        value.bits = DecodeBits(kind, area, IsWide(kind) ? 0 : CELL);
    }
    return value;
}

void EncodeSingle(const Value &value, ValueArea &area, int textLength) {
    if (value.kind == Kind::Text) {
        size_t length = TextBytes(textLength);
        std::fill(area.bytes, area.bytes + length, uint8_t{0});
        std::copy_n(value.text.begin(), std::min(length, value.text.size()), area.bytes);
        return;
    }
    EncodeBits(value, area, IsWide(value.kind) ? 0 : CELL);
}

std::vector<Value> DecodeBlock(Kind kind, const ValueArea &area, int count) {
    std::vector<Value> values;
    size_t step = BlockItemBytes(kind);
    for (size_t offset = 0; offset < BlockBytes(kind, count) && offset + step <= ValueArea::SIZE; offset += step) {
        Value value;
        value.kind = kind;
        value.bits = DecodeBits(kind, area, offset);
        values.push_back(value);
    }
    return values;
}

void EncodeBlock(const std::vector<Value> &values, ValueArea &area) {
    size_t offset = 0;
    for (const Value &value : values) {
        size_t step = BlockItemBytes(value.kind);
        if (offset + step > ValueArea::SIZE) {
            return;
        }
        EncodeBits(value, area, offset);
        offset += step;
    }
}

} // namespace kelomr
