// Placeholder until the serial port lands.
#include "driver/handlers.h"

int32_t OpenPort(const CallBlock *) { return RC_LINK_ERROR; }
int32_t ClosePort(const CallBlock *) { return RC_OK; }
int32_t SetPort(const CallBlock *) { return RC_LINK_ERROR; }
