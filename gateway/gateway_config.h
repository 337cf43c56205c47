// The routing table the library works with: read by GwOpenService, or on
// first need when a unit is opened or a header composed without it.
#pragma once

#include <cstdint>

#include "gateway/routing_file.h"

namespace finsgw {

// Reads the routing file again; on failure the library has no table until a
// later read succeeds.
bool ReloadRouting();

// Copies the table, reading the file first when none is held.
bool CurrentRouting(RoutingTable *table);

// This host's FINS address from the table (read on first need); no
// allocation once a table is held.
bool LocalAddress(uint8_t local[3]);

} // namespace finsgw
