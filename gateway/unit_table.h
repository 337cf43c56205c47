// The library's table of open units. A handle is the slot number plus one
// in its low 16 bits and the slot's generation in the high 16 bits, so a
// closed handle stays refused after its slot is used again.
#pragma once

#include <memory>

#include "fins/gateway.h"
#include "gateway/unit.h"

namespace finsgw {

// 0 with EMFILE and the error text when the table is full.
GwUnitHandle AddUnit(std::shared_ptr<Unit> unit);

// The unit, or nullptr for 0, unknown and closed handles. The unit stays
// alive while the caller holds it, even if another thread closes it.
std::shared_ptr<Unit> FindUnit(GwUnitHandle handle);

bool RemoveUnit(GwUnitHandle handle);

} // namespace finsgw
