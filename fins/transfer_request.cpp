#include "fins/transfer_request.h"

#include <string.h>

#include "driver/log.h"
#include "fins/area_codes.h"
#include "fins/compose_command.h"
#include "fins/value_conversion.h"

namespace {

enum RequestFault : uint8_t {
    FAULT_NONE,
    FAULT_STATION,
    FAULT_AREA,
    FAULT_ADDRESS,
    FAULT_TEXT_LENGTH,
    FAULT_COUNT,
    FAULT_TOO_LARGE,
    FAULT_NO_VALUES,
    FAULT_BIT_RANGE,
    FAULT_BIT_WIDTH,
    FAULT_WIDTH,
};

// Each takes the operation, the tag text and one number.
constexpr const char *FAULT_TEXTS[] = {
    "",
    "KelOMR: %s() tag '%s' refused: station %d is not 1 to 99",
    "KelOMR: %s() tag '%s' refused: area index %d is not 1 to 25",
    "KelOMR: %s() tag '%s' refused: word address %d is beyond the 16 bits of a FINS address",
    "KelOMR: %s() tag '%s' refused: text length %d",
    "KelOMR: %s() tag '%s' refused: count %d is negative",
    "KelOMR: %s() tag '%s' refused: %d items do not fit the transfer buffers",
    "KelOMR: %s() tag '%s' refused: no value area (count %d)",
    "KelOMR: %s() tag '%s' refused: bit %d is not 0 to 15",
    "KelOMR: %s() tag '%s' refused: bit %d of an item that is not 16 bits wide",
    "KelOMR: %s() tag '%s' refused: width %d does not match the item's format",
};

struct Finding {
    RequestFault fault;
    int32_t value;
};

constexpr int32_t RESPONSE_DATA_SIZE = RESPONSE_SIZE - 4; // after MRC, SRC, MRES, SRES

constexpr int32_t DATA_CAPACITY[] = {RESPONSE_DATA_SIZE, WRITE_DATA_SIZE}; // by TransferDirection

constexpr int64_t LAST_FINS_WORD_ADDRESS = 0xFFFF;

Finding ExamineTransfer(const InstanceData *instance, const IoRequest *request, TransferDirection direction) {
    const TagAddress &tag = request->tag;
    if (tag.station < STATION_FIRST || tag.station > STATION_LAST) {
        return {FAULT_STATION, tag.station};
    }
    int32_t area = tag.areaFlags & AREA_INDEX_MASK;
    if (area < AREA_FIRST || area > AREA_LAST) {
        return {FAULT_AREA, area};
    }
    // Dropping the high bits would read or write other words than the host
    // named; a controller refuses such an address, and so does the driver.
    int64_t wordAddress = WordAddressOf(instance, tag);
    if (wordAddress < 0 || wordAddress > LAST_FINS_WORD_ADDRESS) {
        return {FAULT_ADDRESS, static_cast<int32_t>(wordAddress)};
    }
    ItemKind kind = ItemKindOf(tag.areaFlags);
    int32_t count = ItemCountOf(request);
    if (kind == KIND_TEXT && count == 0) {
        return {FAULT_TEXT_LENGTH, count};
    }
    if (count < 0) {
        return {FAULT_COUNT, count};
    }
    if (static_cast<int64_t>(count) * DATA_BYTES_PER_ITEM[kind] > DATA_CAPACITY[direction]) {
        return {FAULT_TOO_LARGE, count};
    }
    if (request->values == nullptr && count > 0) {
        return {FAULT_NO_VALUES, count};
    }
    return {FAULT_NONE, 0};
}

Finding ExamineSingleItem(const IoRequest *request) {
    const TagAddress &tag = request->tag;
    if (tag.bit != NO_BIT && (tag.bit < 0 || tag.bit > 15)) {
        return {FAULT_BIT_RANGE, tag.bit};
    }
    if (tag.bit != NO_BIT && tag.width != 16) {
        return {FAULT_BIT_WIDTH, tag.bit};
    }
    // A 16-bit item sits in the second cell of a four-byte area: a 32-bit or
    // text value there would run past it.
    if (tag.width == 16 && ItemKindOf(tag.areaFlags) != KIND_WORD && ItemKindOf(tag.areaFlags) != KIND_STATUS) {
        return {FAULT_WIDTH, tag.width};
    }
    if (request->values == nullptr) {
        return {FAULT_NO_VALUES, 1};
    }
    return {FAULT_NONE, 0};
}

bool Accept(Finding finding, const char *operation, const char *tagText) {
    if (finding.fault == FAULT_NONE) {
        return true;
    }
    err(LOG_DRIVER, FAULT_TEXTS[finding.fault], operation, tagText, finding.value);
    return false;
}

} // namespace

const char *TagTextOf(const IoRequest *request) {
    return request->tagText != nullptr ? request->tagText : "";
}

void CopyTagText(const IoRequest *request, TagLogCopy *copy) {
    const char *text = TagTextOf(request);
    size_t length = strnlen(text, TAG_LOG_COPY_LENGTH);
    memcpy(copy->text, text, length);
    copy->text[length] = '\0';
}

int32_t ItemCountOf(const IoRequest *request) {
    if ((request->tag.areaFlags & FMT_TEXT) != 0) {
        return static_cast<int32_t>(static_cast<uint32_t>(request->tag.address) >> 24);
    }
    return request->count;
}

void UnpackTextItem(IoRequest *request) {
    if ((request->tag.areaFlags & FMT_TEXT) != 0) {
        request->count = ItemCountOf(request);
        request->tag.address &= 0xFFFF;
    }
}

bool AcceptTransferRequest(const CallBlock *block, TransferDirection direction, const char *operation,
                           TagLogCopy *tag) {
    const IoRequest *request = RequestOf(block);
    CopyTagText(request, tag);
    return Accept(ExamineTransfer(block->instance, request, direction), operation, tag->text);
}

bool AcceptSingleItemRequest(const IoRequest *request, const char *operation) {
    TagLogCopy tag;
    CopyTagText(request, &tag);
    return Accept(ExamineSingleItem(request), operation, tag.text);
}
