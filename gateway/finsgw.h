// What libfinsgw.so offers a host beyond the six operations the driver uses:
// the text of the last failure and per-unit traffic counters.
#pragma once

#include <stdint.h>

#include "fins/gateway.h"

#if defined(__cplusplus)
extern "C" {
#endif

typedef struct GwCounters {
    uint64_t sent;      // command frames that went out
    uint64_t received;  // responses handed to the caller
    uint64_t timeouts;  // waits that ended without a matching response
    uint64_t discarded; // frames dropped as stray, late, malformed or too long
} GwCounters;

// The last failure of a gateway call on the calling thread, for example
// "unit 0.1.0: no answer within 100 ms"; the empty text before any failure.
const char *GwLastErrorText(void);

// Copies the unit's counters into out: 0, or -1 with errno EBADF for an
// unknown or closed unit (EFAULT for a null out).
int GwUnitCounters(GwUnitHandle unit, GwCounters *out);

#if defined(__cplusplus)
}
#endif
