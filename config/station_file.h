// The instance's station configuration file "kelOMRnn.int".
#pragma once

#include <stdio.h>

#include "driver/call_blocks.h"

enum { CONFIG_LINE_CAPACITY = 135 }; // kept characters of one line

// Reads the file of instanceNumber from the current directory into the
// stationAddress and isCs1 columns. True when an address line was stored.
bool ReadIntFile(InstanceData *instance, int32_t instanceNumber);

// Delivers the next line's kept characters (codes above 32, as signed bytes)
// into buffer, zero-terminated. buffer has CONFIG_LINE_CAPACITY + 1 bytes.
// False at the end of the file.
bool ReadConfigLine(FILE *file, char *buffer);
