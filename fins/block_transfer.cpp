// Placeholder until the transfers land.
#include "driver/handlers.h"

int32_t BlockRead(const CallBlock *) { return RC_LINK_ERROR; }
int32_t BlockWrite(const CallBlock *) { return RC_LINK_ERROR; }
int32_t ReadTag(const CallBlock *) { return RC_LINK_ERROR; }
int32_t WriteTag(const CallBlock *) { return RC_LINK_ERROR; }
