// The six operations of the FINS gateway library the driver reaches the
// controllers through. Results are signed 32-bit numbers or unit handles;
// a negative result is a failure with errno telling why.
#pragma once

#include <stdint.h>

#if defined(__cplusplus)
extern "C" {
#endif

typedef uint32_t GwUnitHandle; // 0 is no unit

// Starts the gateway service; called with (1, 0) once per instance start.
int32_t GwOpenService(int32_t mode, int32_t flags);

// Opens the unit that reaches the station whose address text is
// "network.node.unit". Returns 0 on failure.
GwUnitHandle GwOpenUnit(const char *stationAddress);

int32_t GwCloseUnit(GwUnitHandle unit);

// Prepares header (20 bytes) for a command to destination (network, node,
// unit). serviceId -1 takes the next service id. Negative on failure.
int32_t GwComposeHeader(uint8_t *header, int32_t reserved, const uint8_t *destination, int32_t serviceId);

// Sends the command (MRC, SRC, parameters and data) of length bytes under a
// header from GwComposeHeader. Negative on failure.
int32_t GwSend(GwUnitHandle unit, const uint8_t *header, const uint8_t *command, int32_t length);

// Waits up to timeoutMs for the response to the command last sent on unit and
// puts MRC, SRC, MRES, SRES and the data into response; header receives the
// response's FINS header. Returns the number of response bytes, or a negative
// value on failure (ETIMEDOUT when nothing matching arrived in time).
int32_t GwReceive(GwUnitHandle unit, uint8_t *header, uint8_t *response, int32_t capacity, int32_t timeoutMs);

#if defined(__cplusplus)
}
#endif
