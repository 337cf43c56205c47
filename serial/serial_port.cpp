// The host's port functions: open, close and reconfigure the instance's one
// serial device from the port fields at the head of InstanceData.
#include <string.h>

#include "driver/call_blocks.h"
#include "driver/handlers.h"
#include "serial/serial_device.h"

namespace {

// active is left alone: only opening raises it.
int32_t CloseInstancePort(InstanceData *instance) {
    if (instance->portHandle == 0) {
        return RC_OK;
    }
    if (CloseSerialDevice(instance->portHandle) != SERIAL_DONE) {
        return RC_LINK_ERROR; // the handle stays for a retry
    }
    instance->portHandle = 0;
    return RC_OK;
}

int32_t OpenInstanceAndKeep(InstanceData *instance) {
    SerialHandle handle = OpenInstancePort(instance);
    if (handle == 0) {
        return RC_LINK_ERROR;
    }
    instance->portHandle = handle;
    instance->active = 1;
    return RC_OK;
}

} // namespace

int32_t OpenPort(const CallBlock *block) {
    return OpenInstanceAndKeep(block->instance);
}

int32_t ClosePort(const CallBlock *block) {
    return CloseInstancePort(block->instance);
}

// A name longer than portName holds is refused before anything changes: a
// shortened name could open another device than the host asked for.
int32_t SetPort(const CallBlock *block) {
    InstanceData *instance = block->instance;
    const PortParams *params = static_cast<const PortParams *>(block->params);
    size_t length = strnlen(params->portName, sizeof params->portName);
    if (length >= PORT_NAME_SIZE) {
        return RC_LINK_ERROR;
    }
    // Bounded: the stored name may fill its field when the host wrote it.
    if (strncmp(params->portName, instance->portName, PORT_NAME_SIZE) != 0) {
        CloseInstancePort(instance);
    }
    memset(instance->portName, 0, PORT_NAME_SIZE);
    memcpy(instance->portName, params->portName, length);
    if (params->settings.baudRate != 0) {
        instance->portSettings = params->settings;
    }
    int32_t result = OpenInstanceAndKeep(instance);
    if (result == RC_OK) {
        SetPortReadTimeout(instance->portHandle, instance->receiveTimeout);
    }
    return result;
}
