#include "fins/compose_command.h"

#include <stddef.h>
#include <string.h>

#include "driver/log.h"
#include "fins/area_codes.h"
#include "fins/gateway.h"
#include "fins/transfer_request.h"
#include "fins/value_conversion.h"

namespace {

constexpr uint8_t MRC_MEMORY_AREA = 0x01;
constexpr uint8_t SRC_READ = 0x01;
constexpr uint8_t SRC_WRITE = 0x02;

static_assert(offsetof(InstanceData, writeData) == offsetof(InstanceData, command) + COMMAND_SIZE,
              "the write data is sent as the tail of the command");

bool IsSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// One decimal number in the manner of a formatted scan: white space skipped,
// an optional sign, at least one digit. Advances *text past it.
bool ScanNumber(const char **text, uint32_t *number) {
    const char *p = *text;
    while (IsSpace(*p)) {
        ++p;
    }
    bool negative = *p == '-';
    if (*p == '-' || *p == '+') {
        ++p;
    }
    if (!IsDigit(*p)) {
        return false;
    }
    uint32_t value = 0;
    while (IsDigit(*p)) {
        value = value * 10 + static_cast<uint32_t>(*p - '0');
        ++p;
    }
    *number = negative ? 0u - value : value;
    *text = p;
    return true;
}

void ComposeHeader(InstanceData *instance, int32_t station) {
    ScanStationAddress(instance->stationAddress[station], instance->destination);
    if (GwComposeHeader(instance->sendHeader, 0, instance->destination, -1) < 0) {
        err(LOG_DRIVER, "KelOMR : Failed to Compose header");
    }
}

// 32-bit items count pairs of words in address and count.
uint32_t WordsPerItem(int32_t areaFlags) {
    return (areaFlags & (FMT_FLOAT32 | FMT_BCD32)) != 0 ? 2 : 1;
}

void PutBigEndian16(uint8_t *bytes, uint32_t value) {
    bytes[0] = static_cast<uint8_t>(value >> 8);
    bytes[1] = static_cast<uint8_t>(value);
}

void ComposeCommand(const CallBlock *block, uint8_t src, uint32_t elements) {
    InstanceData *instance = block->instance;
    const TagAddress &tag = RequestOf(block)->tag;
    ComposeHeader(instance, tag.station);
    const uint8_t *codes = instance->isCs1[tag.station] != 0 ? AREA_CODES_CS1 : AREA_CODES_CLASSIC;
    uint8_t *command = instance->command;
    command[0] = MRC_MEMORY_AREA;
    command[1] = src;
    command[2] = codes[tag.areaFlags & AREA_INDEX_MASK];
    PutBigEndian16(command + 3, static_cast<uint32_t>(WordAddressOf(instance, tag)));
    command[5] = 0x00; // whole words: single bits are picked out after the exchange
    PutBigEndian16(command + 6, elements);
}

} // namespace

int64_t WordAddressOf(const InstanceData *instance, const TagAddress &tag) {
    int32_t area = tag.areaFlags & AREA_INDEX_MASK;
    const uint16_t *offsets = instance->isCs1[tag.station] != 0 ? AREA_WORD_OFFSETS_CS1 : AREA_WORD_OFFSETS_CLASSIC;
    // A text item's word address is in bits 0 to 23 until it is unpacked.
    int64_t address = (tag.areaFlags & FMT_TEXT) != 0 ? (tag.address & 0xFFFFFF) : tag.address;
    return address * WordsPerItem(tag.areaFlags) + offsets[area];
}

void ScanStationAddress(const char *text, uint8_t *destination) {
    char bounded[STATION_ADDRESS_SIZE + 1];
    size_t length = strnlen(text, STATION_ADDRESS_SIZE);
    memcpy(bounded, text, length);
    bounded[length] = '\0';
    memset(destination, 0, DESTINATION_SIZE);
    const char *p = bounded;
    for (int i = 0; i < DESTINATION_SIZE; ++i) {
        uint32_t number = 0;
        if ((i > 0 && *p++ != '.') || !ScanNumber(&p, &number)) {
            return;
        }
        destination[i] = static_cast<uint8_t>(number);
    }
}

int32_t ComposeReadCommand(const CallBlock *block) {
    const IoRequest *request = RequestOf(block);
    // A text of L characters is read as L words, of which the first L bytes count.
    uint32_t elements = static_cast<uint32_t>(request->count) * WordsPerItem(request->tag.areaFlags);
    ComposeCommand(block, SRC_READ, elements);
    return COMMAND_SIZE;
}

int32_t ComposeWriteCommand(const CallBlock *block) {
    const IoRequest *request = RequestOf(block);
    uint32_t elements = static_cast<uint32_t>(request->count) * WordsPerItem(request->tag.areaFlags);
    if ((request->tag.areaFlags & FMT_TEXT) != 0) {
        elements /= 2; // two characters a word
    }
    ComposeCommand(block, SRC_WRITE, elements);
    int32_t dataBytes =
        LayOutWriteData(ItemKindOf(request->tag.areaFlags), static_cast<const uint8_t *>(request->values),
                        block->instance->writeData, request->count);
    return COMMAND_SIZE + dataBytes;
}
