// The FINS MEMORY AREA READ (01 01) and MEMORY AREA WRITE (01 02) commands of
// one attempt, composed into the instance's command buffer together with the
// gateway header for the request's station.
#pragma once

#include <stdint.h>

#include "driver/call_blocks.h"

// Each returns the number of bytes to send from InstanceData.command: 8 for a
// read, 8 and the write data laid out after them for a write. The request has
// passed AcceptTransferRequest and, for a text item, UnpackTextItem.
int32_t ComposeReadCommand(const CallBlock *block);
int32_t ComposeWriteCommand(const CallBlock *block);

// The beginning word address the command carries for the request's item:
// doubled for 32-bit items, with the LR, HR and AR offsets of the station's
// kind. A FINS command holds 16 bits of it.
int64_t WordAddressOf(const InstanceData *instance, const TagAddress &tag);

// The FINS network, node and unit numbers of a "network.node.unit" text of at
// most STATION_ADDRESS_SIZE characters, each cut to its low 8 bits; numbers
// the text does not hold are 0.
void ScanStationAddress(const char *text, uint8_t *destination);
