#include <errno.h>
#include <string.h>

#include "driver/handlers.h"
#include "driver/log.h"
#include "fins/compose_command.h"
#include "fins/end_code.h"
#include "fins/gateway.h"
#include "fins/transfer_request.h"
#include "fins/value_conversion.h"

namespace {

constexpr int MAX_ATTEMPTS = 6;
constexpr int32_t RESPONSE_HEAD_BYTES = 4; // MRC, SRC, MRES, SRES

using Compose = int32_t (*)(const CallBlock *block);

struct Exchange {
    bool answered;
    int32_t lastResult; // the failing gateway result, or RC_LINK_ERROR for a short response
};

// A response too short for its end code, or a completion without the data
// the read needs, is a damaged frame: the attempt failed like a lost one.
bool IsShort(const uint8_t *response, int32_t received, int32_t needed) {
    return received < RESPONSE_HEAD_BYTES || (MaskedEndCode(response) == 0 && received < needed);
}

Exchange Attempt(const CallBlock *block, Compose compose, int32_t needed) {
    InstanceData *instance = block->instance;
    int32_t station = RequestOf(block)->tag.station;
    GwUnitHandle unit = instance->unitHandle[station];
    int32_t length = compose(block);
    int32_t result = GwSend(unit, instance->sendHeader, instance->command, length);
    if (result < 0) {
        unsigned systemError = static_cast<unsigned>(errno);
        err(LOG_DRIVER, "KelOMR : Failed to send data(%d,%X) to UNIT %d", result, systemError, station);
        return {false, result};
    }
    result = GwReceive(unit, instance->receiveHeader, instance->response, RESPONSE_SIZE, instance->receiveTimeout);
    if (result < 0) {
        unsigned systemError = static_cast<unsigned>(errno);
        err(LOG_DRIVER, "KelOMR : Failed to recv data(%d,%X) to UNIT %d", result, systemError, station);
        return {false, result};
    }
    if (IsShort(instance->response, result, needed)) {
        err(LOG_DRIVER, "KelOMR : Short response (%d of %d bytes) from UNIT %d", result, needed, station);
        return {false, RC_LINK_ERROR};
    }
    return {true, result};
}

// Only a failed send or receive, or a damaged response, is tried again.
Exchange RunAttempts(const CallBlock *block, Compose compose, int32_t needed) {
    Exchange exchange{false, 0};
    for (int attempt = 0; attempt < MAX_ATTEMPTS && !exchange.answered; ++attempt) {
        exchange = Attempt(block, compose, needed);
    }
    return exchange;
}

// Clears the last exchange's response and unpacks a text item, once for all
// attempts.
void PrepareTransfer(const CallBlock *block) {
    memset(block->instance->response, 0, RESPONSE_SIZE);
    UnpackTextItem(RequestOf(block));
}

} // namespace

int32_t BlockRead(const CallBlock *block) {
    IoRequest *request = RequestOf(block);
    TagLogCopy tag;
    if (!AcceptTransferRequest(block, TRANSFER_READ, "BlockRead", &tag)) {
        return RC_ITEM_ERROR;
    }
    err(LOG_DETAIL,
        block->instance->isCs1[request->tag.station] != 0
            ? "KELOMR: BlockRead() Reading from CS1 PLC. tag '%s' blocksize: %d"
            : "KELOMR: BlockRead() Reading from a NON-CS1 PLC. tag '%s' blocksize: %d",
        tag.text, request->count);
    PrepareTransfer(block);
    ItemKind kind = ItemKindOf(request->tag.areaFlags);
    int32_t needed = RESPONSE_HEAD_BYTES + request->count * DATA_BYTES_PER_ITEM[kind];
    Exchange exchange = RunAttempts(block, ComposeReadCommand, needed);
    int32_t result = exchange.answered ? CheckEndCode(block) : RC_LINK_ERROR;
    if (result != RC_OK) {
        err(LOG_DRIVER, "KELOMR: BlockRead() tag '%s' blocksize: %d failed. rc = %d", tag.text, request->count,
            exchange.answered ? result : exchange.lastResult);
        return result;
    }
    ConvertReadData(kind, block->instance->response + RESPONSE_HEAD_BYTES, static_cast<uint8_t *>(request->values),
                    request->count);
    err(LOG_DETAIL, "KELOMR: BlockRead() tag '%s' blocksize: %d success !", tag.text, request->count);
    return RC_OK;
}

int32_t BlockWrite(const CallBlock *block) {
    TagLogCopy tag;
    if (!AcceptTransferRequest(block, TRANSFER_WRITE, "BlockWrite", &tag)) {
        return RC_ITEM_ERROR;
    }
    PrepareTransfer(block);
    Exchange exchange = RunAttempts(block, ComposeWriteCommand, RESPONSE_HEAD_BYTES);
    return exchange.answered ? CheckEndCode(block) : RC_LINK_ERROR;
}
