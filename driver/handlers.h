// The handlers behind the dispatch table of KelMain, one per function code.
// Each takes the CallBlock that KelMain received and returns a result code.
#pragma once

#include "driver/call_blocks.h"

typedef int32_t (*Handler)(const CallBlock *block);

int32_t StartDriver(const CallBlock *block);
int32_t NoOperation(const CallBlock *block);
int32_t CheckTagAddress(const CallBlock *block);
int32_t CheckBlockAddress(const CallBlock *block);
int32_t ReadTag(const CallBlock *block);
int32_t BlockRead(const CallBlock *block);
int32_t WriteTag(const CallBlock *block);
int32_t BlockWrite(const CallBlock *block);
int32_t StopDriver(const CallBlock *block);
int32_t ClosePort(const CallBlock *block);
int32_t OpenPort(const CallBlock *block);
int32_t GetDriverInfo(const CallBlock *block);
int32_t SetPort(const CallBlock *block);
