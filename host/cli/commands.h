// The commands of kelomr; each returns the program's exit code.
#pragma once

#include "host/cli/options.h"

namespace kelomr {

int RunInfo(const Options &options);
int RunRead(const Options &options);
int RunWrite(const Options &options);
int RunPoll(const Options &options);
int RunDemo(const Options &options);

} // namespace kelomr
