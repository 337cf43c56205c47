#include "fins/end_code.h"

#include "driver/log.h"
#include "fins/pause.h"
#include "fins/transfer_request.h"

namespace {

constexpr uint16_t END_CODE_MASK = 0x7FBF;
constexpr int32_t BUSY_PAUSE_MS = 1000;

struct EndCodeClass {
    uint16_t first;
    uint16_t last;
    int32_t result;
    int32_t pauseMs;
    bool routingTexts;
};

// The first class that holds the code decides; codes in none are the item's.
constexpr EndCodeClass END_CODE_CLASSES[] = {
    {0x0204, 0x0204, RC_ITEM_ERROR, BUSY_PAUSE_MS, false}, // destination node busy
    {0x0503, 0x0503, RC_LINK_ERROR, 0, true},              // routing table error
    {0x0001, 0x03FF, RC_LINK_ERROR, 0, false},             // local node, destination node, controller
    {0x0500, 0x05FF, RC_LINK_ERROR, 0, false},             // routing tables
};

constexpr EndCodeClass ITEM_CLASS = {0x0400, 0xFFFF, RC_ITEM_ERROR, 0, false};

const EndCodeClass &ClassOf(uint16_t code) {
    for (const EndCodeClass &entry : END_CODE_CLASSES) {
        if (code >= entry.first && code <= entry.last) {
            return entry;
        }
    }
    return ITEM_CLASS;
}

} // namespace

uint16_t MaskedEndCode(const uint8_t *response) {
    return static_cast<uint16_t>((response[2] << 8 | response[3]) & END_CODE_MASK);
}

int32_t CheckEndCode(const CallBlock *block) {
    uint16_t code = MaskedEndCode(block->instance->response);
    if (code == 0) {
        return RC_OK;
    }
    err(LOG_DRIVER, "KelOMR: Read/Write gate %s failed %X", TagTextOf(RequestOf(block)), static_cast<unsigned>(code));
    const EndCodeClass &found = ClassOf(code);
    if (found.pauseMs > 0) {
        PauseMilliseconds(found.pauseMs);
    }
    if (found.routingTexts) {
        err(LOG_DRIVER, "KelOMR : Service Manager or routing table problem");
        err(LOG_DRIVER, "KelOMR : Start your Service Manager or check your routing table");
    }
    return found.result;
}
