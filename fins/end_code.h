// The FINS end code of a response and what it means for the transfer.
#pragma once

#include <stdint.h>

#include "driver/call_blocks.h"

// MRES and SRES of a response without the network relay and non-fatal CPU
// error flags, which do not spoil a completed command.
uint16_t MaskedEndCode(const uint8_t *response);

// Classifies the end code in InstanceData.response into a result code, with
// the gate text and its follow-up texts for every code but 0. A busy
// destination is paused for before the transfer gives up.
int32_t CheckEndCode(const CallBlock *block);
