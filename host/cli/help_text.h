// The --help texts of kelomr and of each command.
#pragma once

#include <string>

#include "host/cli/options.h"

namespace kelomr {

std::string HelpText(Command command);

} // namespace kelomr
