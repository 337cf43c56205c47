#include <stdint.h>
#include <string.h>

#include "config/station_file.h"
#include "driver/call_blocks.h"
#include "driver/handlers.h"
#include "driver/log.h"
#include "fins/gateway.h"

namespace {

constexpr int32_t MINIMUM_TIMEOUT_MS = 100;
constexpr int32_t DEFAULT_TIMEOUT_MS = 1000;

// Start parameters count in units of 10 ms. Below 100 ms the default of one
// second applies; a tenfold beyond 32 bits is held at the largest time-out
// rather than wrapping into a tiny or negative one.
int32_t ReceiveTimeoutFrom(int32_t timeout) {
    int64_t milliseconds = static_cast<int64_t>(timeout) * 10;
    if (milliseconds < MINIMUM_TIMEOUT_MS) {
        return DEFAULT_TIMEOUT_MS;
    }
    return milliseconds > INT32_MAX ? INT32_MAX : static_cast<int32_t>(milliseconds);
}

// Rows 100 and 101 belong to no station and are left alone.
void ClearStationTable(InstanceData *instance) {
    for (int row = 0; row <= STATION_LAST; ++row) {
        instance->stationAddress[row][0] = '\0';
        instance->unitHandle[row] = 0;
        instance->isCs1[row] = 0;
    }
}

bool ConnectUnits(const CallBlock *block) {
    InstanceData *instance = block->instance;
    bool connected = false;
    GwOpenService(1, 0);
    for (int station = STATION_FIRST; station <= STATION_LAST; ++station) {
        const char *text = instance->stationAddress[station];
        if (text[0] == '\0') {
            continue;
        }
        GwUnitHandle handle = GwOpenUnit(text);
        if (handle == 0) {
            err(LOG_DRIVER, "KelOMR; Create handle to Unit %s fails", text);
            continue;
        }
        instance->unitHandle[station] = handle;
        err(LOG_DRIVER, "KelOMR: Connect to Unit %d (%s) success !!!", station, text);
        connected = true;
    }
    return connected;
}

} // namespace

int32_t StartDriver(const CallBlock *block) {
    InstanceData *instance = block->instance;
    const StartParams *params = static_cast<const StartParams *>(block->params);
    instance->active = static_cast<uint32_t>(params->enabled);
    if (instance->active == 0) {
        return RC_OK;
    }
    ClearStationTable(instance);
    instance->receiveTimeout = ReceiveTimeoutFrom(params->timeout);
    ReadIntFile(instance, block->instanceNumber);
    ConnectUnits(block);
    return RC_OK;
}

// Each entry is cleared once its handle is closed, so a second stop, or a
// transfer after the stop, never hands a closed handle to the gateway.
int32_t StopDriver(const CallBlock *block) {
    InstanceData *instance = block->instance;
    for (int row = 0; row <= STATION_LAST; ++row) {
        if (instance->unitHandle[row] != 0) {
            GwCloseUnit(instance->unitHandle[row]);
            instance->unitHandle[row] = 0;
        }
    }
    return RC_OK;
}
