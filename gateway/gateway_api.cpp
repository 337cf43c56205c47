// The exported operations: each checks its handle, pointers and lengths,
// then hands over to the unit. Failures are -1 (0 for a handle) with errno
// and the last error text set; nothing is ever written through a pointer
// that failed its check.
#include <cerrno>
#include <cstring>

#include <atomic>

#include "gateway/error_text.h"
#include "gateway/fins_frame.h"
#include "gateway/finsgw.h"
#include "gateway/gateway_config.h"
#include "gateway/unit_table.h"

#define FINSGW_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

using namespace finsgw;

constexpr size_t HEADER_BUFFER_SIZE = 20;
constexpr int32_t MAX_COMMAND = static_cast<int32_t>(MAX_FINS_FRAME - FINS_HEADER_SIZE);

std::atomic<uint32_t> nextServiceId{0};

std::shared_ptr<Unit> CheckedUnit(GwUnitHandle handle, const char *operation) {
    std::shared_ptr<Unit> unit = FindUnit(handle);
    if (unit == nullptr) {
        Fail(EBADF, "%s: no open unit has handle 0x%X", operation, handle);
    }
    return unit;
}

} // namespace

FINSGW_EXPORT int32_t GwOpenService(int32_t, int32_t) {
    return ReloadRouting() ? 0 : -1;
}

FINSGW_EXPORT GwUnitHandle GwOpenUnit(const char *stationAddress) {
    if (stationAddress == nullptr) {
        Fail(EINVAL, "GwOpenUnit: no station address");
        return 0;
    }
    std::shared_ptr<Unit> unit = OpenUnit(stationAddress);
    return unit != nullptr ? AddUnit(std::move(unit)) : 0;
}

FINSGW_EXPORT int32_t GwCloseUnit(GwUnitHandle unit) {
    if (!RemoveUnit(unit)) {
        return Fail(EBADF, "GwCloseUnit: no open unit has handle 0x%X", unit);
    }
    return 0;
}

FINSGW_EXPORT int32_t GwComposeHeader(uint8_t *header, int32_t, const uint8_t *destination, int32_t serviceId) {
    if (header == nullptr || destination == nullptr) {
        return Fail(EFAULT, "GwComposeHeader: no header or destination buffer");
    }
    uint8_t local[3] = {0, 0, 0};
    bool known = LocalAddress(local);
    uint32_t id = serviceId == -1 ? nextServiceId.fetch_add(1) + 1 : static_cast<uint32_t>(serviceId);
    uint8_t composed[HEADER_BUFFER_SIZE] = {
        ICF_COMMAND,    0,        GCT_DEFAULT, destination[0], destination[1],
        destination[2], local[0], local[1],    local[2],       static_cast<uint8_t>(id)};
    std::memcpy(header, composed, sizeof composed);
    return known ? 0 : -1;
}

FINSGW_EXPORT int32_t GwSend(GwUnitHandle unit, const uint8_t *header, const uint8_t *command, int32_t length) {
    std::shared_ptr<Unit> found = CheckedUnit(unit, "GwSend");
    if (found == nullptr) {
        return -1;
    }
    if (header == nullptr || command == nullptr) {
        return Fail(EFAULT, "%s: no header or command buffer", found->name.c_str());
    }
    if (length < static_cast<int32_t>(MIN_COMMAND) || length > MAX_COMMAND) {
        return Fail(length < static_cast<int32_t>(MIN_COMMAND) ? EINVAL : EMSGSIZE,
                    "%s: command of %d bytes (want %zu to %d)", found->name.c_str(), length, MIN_COMMAND, MAX_COMMAND);
    }
    return SendCommand(*found, header, command, length);
}

FINSGW_EXPORT int32_t GwReceive(GwUnitHandle unit, uint8_t *header, uint8_t *response, int32_t capacity,
                                int32_t timeoutMs) {
    std::shared_ptr<Unit> found = CheckedUnit(unit, "GwReceive");
    if (found == nullptr) {
        return -1;
    }
    if (header == nullptr || response == nullptr) {
        return Fail(EFAULT, "%s: no header or response buffer", found->name.c_str());
    }
    if (capacity < 0 || timeoutMs < 0) {
        return Fail(EINVAL, "%s: negative capacity %d or time-out %d", found->name.c_str(), capacity, timeoutMs);
    }
    return ReceiveResponse(*found, header, response, capacity, timeoutMs);
}

FINSGW_EXPORT const char *GwLastErrorText(void) {
    return LastErrorText();
}

FINSGW_EXPORT int GwUnitCounters(GwUnitHandle unit, GwCounters *out) {
    std::shared_ptr<Unit> found = CheckedUnit(unit, "GwUnitCounters");
    if (found == nullptr) {
        return -1;
    }
    if (out == nullptr) {
        return Fail(EFAULT, "%s: no counters buffer", found->name.c_str());
    }
    *out = GwCounters{found->counters.sent.load(), found->counters.received.load(), found->counters.timeouts.load(),
                      found->counters.discarded.load()};
    return 0;
}
