// Placeholder until the address parser lands.
#include "driver/handlers.h"

int32_t CheckTagAddress(const CallBlock *) { return RC_ITEM_ERROR; }
int32_t CheckBlockAddress(const CallBlock *) { return RC_ITEM_ERROR; }
