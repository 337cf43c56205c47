#include "driver/handlers.h"
#include "fins/transfer_request.h"
#include "fins/value_conversion.h"

namespace {

constexpr int32_t WORD_WIDTH = 16;
constexpr int CELL_BYTES = 2;

// A 16-bit item lives in the second cell of the host's value area; the first
// cell is the host's own.
uint8_t *ItemPlace(const IoRequest *request) {
    uint8_t *values = static_cast<uint8_t *>(request->values);
    return request->tag.width == WORD_WIDTH ? values + CELL_BYTES : values;
}

uint16_t MergeBit(uint16_t word, int32_t bit, bool state) {
    uint16_t mask = static_cast<uint16_t>(1u << bit);
    return state ? static_cast<uint16_t>(word | mask) : static_cast<uint16_t>(word & ~mask);
}

} // namespace

// A failed read leaves the value area as the host gave it, bit items too.
int32_t ReadTag(const CallBlock *block) {
    IoRequest *request = RequestOf(block);
    if (!AcceptSingleItemRequest(request, "ReadTag")) {
        return RC_ITEM_ERROR;
    }
    void *given = request->values;
    uint8_t *place = ItemPlace(request);
    request->count = 1;
    request->values = place;
    int32_t result = BlockRead(block);
    request->values = given;
    if (result == RC_OK && request->tag.bit != NO_BIT) {
        PutCell(place, 0, static_cast<uint16_t>((CellAt(place, 0) >> request->tag.bit) & 1u));
    }
    return result;
}

// A bit is written as the whole word read just before, with that one bit
// changed: other bits the controller changes in between are overwritten.
int32_t WriteTag(const CallBlock *block) {
    IoRequest *request = RequestOf(block);
    if (!AcceptSingleItemRequest(request, "WriteTag")) {
        return RC_ITEM_ERROR;
    }
    void *given = request->values;
    uint8_t *place = ItemPlace(request);
    bool wordItem = request->tag.width == WORD_WIDTH;
    uint16_t callerValue = wordItem ? CellAt(place, 0) : 0;
    int32_t bit = request->tag.bit;
    if (bit != NO_BIT) {
        request->tag.bit = NO_BIT;
        int32_t readResult = ReadTag(block);
        request->tag.bit = bit;
        if (readResult != RC_OK) {
            return readResult;
        }
        PutCell(place, 0, MergeBit(CellAt(place, 0), bit, (callerValue & 1u) != 0));
    }
    request->count = 1;
    request->values = place;
    int32_t result = BlockWrite(block);
    request->values = given;
    if (wordItem) {
        PutCell(place, 0, callerValue);
    }
    return result;
}
