// The driver's only output: the host runtime's err(level, format, ...).
#pragma once

#include "host/kelhost.h"
