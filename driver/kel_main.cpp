#include "driver/call_blocks.h"
#include "driver/handlers.h"

namespace {

// Which CallBlock references a handler dereferences. KelMain refuses a call
// whose needed reference is null, so a host bug costs a result code rather
// than the host's process.
enum Needs : uint8_t {
    NEEDS_NOTHING = 0,
    NEEDS_INSTANCE = 1,
    NEEDS_PARAMS = 2,
    NEEDS_BOTH = NEEDS_INSTANCE | NEEDS_PARAMS,
};

struct DispatchEntry {
    Handler handler;
    uint8_t needs;
};

constexpr int LAST_FUNCTION = FN_SET_PORT;

constexpr DispatchEntry DISPATCH[LAST_FUNCTION + 1] = {
    {nullptr, NEEDS_NOTHING},        // 0
    {StartDriver, NEEDS_BOTH},       // FN_START
    {NoOperation, NEEDS_NOTHING},    // FN_NOP
    {CheckTagAddress, NEEDS_BOTH},   // FN_CHECK_TAG
    {CheckBlockAddress, NEEDS_BOTH}, // FN_CHECK_BLOCK
    {ReadTag, NEEDS_BOTH},           // FN_READ_TAG
    {BlockRead, NEEDS_BOTH},         // FN_READ_BLOCK
    {WriteTag, NEEDS_BOTH},          // FN_WRITE_TAG
    {nullptr, NEEDS_NOTHING},        // 8
    {nullptr, NEEDS_NOTHING},        // 9
    {BlockWrite, NEEDS_BOTH},        // FN_WRITE_BLOCK
    {StopDriver, NEEDS_INSTANCE},    // FN_STOP
    {ClosePort, NEEDS_INSTANCE},     // FN_CLOSE_PORT
    {OpenPort, NEEDS_INSTANCE},      // FN_OPEN_PORT
    {GetDriverInfo, NEEDS_PARAMS},   // FN_DRIVER_INFO
    {SetPort, NEEDS_BOTH},           // FN_SET_PORT
};

bool HasWhatItNeeds(const CallBlock *block, uint8_t needs) {
    if ((needs & NEEDS_INSTANCE) != 0 && block->instance == nullptr) {
        return false;
    }
    return (needs & NEEDS_PARAMS) == 0 || block->params != nullptr;
}

} // namespace

int32_t NoOperation(const CallBlock *) {
    return RC_OK;
}

extern "C" int32_t KelMain(CallBlock *block) {
    if (block == nullptr || block->function < 0 || block->function > LAST_FUNCTION) {
        return RC_ITEM_ERROR;
    }
    const DispatchEntry &entry = DISPATCH[block->function];
    if (entry.handler == nullptr || !HasWhatItNeeds(block, entry.needs)) {
        return RC_ITEM_ERROR;
    }
    return entry.handler(block);
}
