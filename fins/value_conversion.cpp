#include "fins/value_conversion.h"

#include <string.h>

#include "driver/call_blocks.h"
#include "fins/area_codes.h"

namespace {

uint16_t PlcWordAt(const uint8_t *data) {
    return static_cast<uint16_t>(data[0] << 8 | data[1]);
}

void PutPlcWord(uint8_t *data, uint16_t word) {
    data[0] = static_cast<uint8_t>(word >> 8);
    data[1] = static_cast<uint8_t>(word);
}

// Both halves of a 32-bit item travel in their own order: first PLC word,
// first cell.
uint32_t PairAt(const uint8_t *values, int32_t item) {
    return CellAt(values, 2 * item) | static_cast<uint32_t>(CellAt(values, 2 * item + 1)) << 16;
}

void PutPair(uint8_t *values, int32_t item, uint32_t value) {
    PutCell(values, 2 * item, static_cast<uint16_t>(value));
    PutCell(values, 2 * item + 1, static_cast<uint16_t>(value >> 16));
}

void ReadText(const uint8_t *data, uint8_t *values, int32_t count) {
    memcpy(values, data, static_cast<size_t>(count));
}

void ReadFloat(const uint8_t *data, uint8_t *values, int32_t count) {
    for (int32_t i = 0; i < count; ++i) {
        PutCell(values, 2 * i, PlcWordAt(data + 4 * i));
        PutCell(values, 2 * i + 1, PlcWordAt(data + 4 * i + 2));
    }
}

void ReadBcd(const uint8_t *data, uint8_t *values, int32_t count) {
    ReadFloat(data, values, count);
    for (int32_t i = 0; i < count; ++i) {
        PutPair(values, i, BcdToBinary(PairAt(values, i)));
    }
}

void ReadStatus(const uint8_t *data, uint8_t *values, int32_t count) {
    for (int32_t i = 0; i < count; ++i) {
        PutCell(values, i, data[i]);
    }
}

void ReadWord(const uint8_t *data, uint8_t *values, int32_t count) {
    for (int32_t i = 0; i < count; ++i) {
        PutCell(values, i, PlcWordAt(data + 2 * i));
    }
}

void WriteText(const uint8_t *values, uint8_t *data, int32_t count) {
    memcpy(data, values, static_cast<size_t>(count));
}

void WriteFloat(const uint8_t *values, uint8_t *data, int32_t count) {
    for (int32_t i = 0; i < count; ++i) {
        PutPlcWord(data + 4 * i, CellAt(values, 2 * i));
        PutPlcWord(data + 4 * i + 2, CellAt(values, 2 * i + 1));
    }
}

// The low four digits go in the first PLC word, the high four in the second.
void WriteBcd(const uint8_t *values, uint8_t *data, int32_t count) {
    for (int32_t i = 0; i < count; ++i) {
        uint32_t bcd = BinaryToBcd(PairAt(values, i));
        PutPlcWord(data + 4 * i, static_cast<uint16_t>(bcd));
        PutPlcWord(data + 4 * i + 2, static_cast<uint16_t>(bcd >> 16));
    }
}

void WriteStatus(const uint8_t *values, uint8_t *data, int32_t count) {
    for (int32_t i = 0; i < count; ++i) {
        data[i] = static_cast<uint8_t>(CellAt(values, i));
    }
}

void WriteWord(const uint8_t *values, uint8_t *data, int32_t count) {
    for (int32_t i = 0; i < count; ++i) {
        PutPlcWord(data + 2 * i, CellAt(values, i));
    }
}

using ReadConversion = void (*)(const uint8_t *data, uint8_t *values, int32_t count);
using WriteConversion = void (*)(const uint8_t *values, uint8_t *data, int32_t count);

constexpr ReadConversion READ_CONVERSIONS[KIND_COUNT] = {ReadText, ReadFloat, ReadBcd, ReadStatus, ReadWord};
constexpr WriteConversion WRITE_CONVERSIONS[KIND_COUNT] = {WriteText, WriteFloat, WriteBcd, WriteStatus, WriteWord};

constexpr uint32_t LARGEST_BCD = 99999999;

} // namespace

const uint8_t DATA_BYTES_PER_ITEM[KIND_COUNT] = {1, 4, 4, 1, 2};

ItemKind ItemKindOf(int32_t areaFlags) {
    if ((areaFlags & FMT_TEXT) != 0) {
        return KIND_TEXT;
    }
    if ((areaFlags & FMT_FLOAT32) != 0) {
        return KIND_FLOAT32;
    }
    if ((areaFlags & FMT_BCD32) != 0) {
        return KIND_BCD32;
    }
    return (areaFlags & AREA_INDEX_MASK) == AREA_TS ? KIND_STATUS : KIND_WORD;
}

void ConvertReadData(ItemKind kind, const uint8_t *data, uint8_t *values, int32_t count) {
    if (count <= 0) {
        return;
    }
    READ_CONVERSIONS[kind](data, values, count);
}

int32_t LayOutWriteData(ItemKind kind, const uint8_t *values, uint8_t *data, int32_t count) {
    if (count <= 0) {
        return 0;
    }
    WRITE_CONVERSIONS[kind](values, data, count);
    return count * DATA_BYTES_PER_ITEM[kind];
}

// The decimal digits of the leading nibbles, up to the first nibble above 9.
// A value whose first nibble is above 9 holds no digit and stays as it came.
uint32_t BcdToBinary(uint32_t raw) {
    uint32_t value = 0;
    int digits = 0;
    for (int shift = 28; shift >= 0; shift -= 4) {
        uint32_t nibble = (raw >> shift) & 0xF;
        if (nibble > 9) {
            break;
        }
        value = value * 10 + nibble;
        ++digits;
    }
    return digits == 0 ? raw : value;
}

// A value beyond eight digits keeps its first eight decimal digits.
uint32_t BinaryToBcd(uint32_t value) {
    while (value > LARGEST_BCD) {
        value /= 10;
    }
    uint32_t bcd = 0;
    for (int shift = 0; shift < 32; shift += 4) {
        bcd |= (value % 10) << shift;
        value /= 10;
    }
    return bcd;
}
