// A started driver instance for fuzz targets: the log silenced, the station
// file written into a scratch directory that is gone again once the instance
// has read it, so nothing lands in the fuzzer's corpus directory.
#pragma once

#include "driver/call_blocks.h"

// Starts instance 1 with the given station file text; aborts when the
// scratch directory cannot be made. The instance lives until the process ends.
InstanceData *StartFuzzInstance(const char *stationFile);
