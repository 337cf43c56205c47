#include "gateway/unit_table.h"

#include <cerrno>
#include <mutex>
#include <vector>

#include "gateway/error_text.h"

namespace finsgw {

namespace {

constexpr size_t MAX_UNITS = 4096;

struct Slot {
    std::shared_ptr<Unit> unit;
    uint16_t generation = 1;
};

struct UnitTable {
    std::mutex lock;
    std::vector<Slot> slots;
};

UnitTable &Table() {
    static UnitTable table;
    return table;
}

GwUnitHandle HandleOf(size_t index, uint16_t generation) {
    return static_cast<GwUnitHandle>(generation) << 16 | static_cast<GwUnitHandle>(index + 1);
}

// The slot a handle names if it is open under the same generation; with the table locked.
Slot *SlotOf(UnitTable &table, GwUnitHandle handle) {
    size_t index = (handle & 0xFFFFu);
    if (index == 0 || index > table.slots.size()) {
        return nullptr;
    }
    Slot &slot = table.slots[index - 1];
    if (slot.unit == nullptr || slot.generation != handle >> 16) {
        return nullptr;
    }
    return &slot;
}

} // namespace

GwUnitHandle AddUnit(std::shared_ptr<Unit> unit) {
    UnitTable &table = Table();
    std::lock_guard<std::mutex> guard(table.lock);
    for (size_t index = 0; index < table.slots.size(); ++index) {
        if (table.slots[index].unit == nullptr) {
            table.slots[index].unit = std::move(unit);
            return HandleOf(index, table.slots[index].generation);
        }
    }
    if (table.slots.size() == MAX_UNITS) {
        Fail(EMFILE, "%s: no room, %zu units are open", unit->name.c_str(), MAX_UNITS);
        return 0;
    }
    table.slots.push_back(Slot{std::move(unit), 1});
    return HandleOf(table.slots.size() - 1, 1);
}

std::shared_ptr<Unit> FindUnit(GwUnitHandle handle) {
    UnitTable &table = Table();
    std::lock_guard<std::mutex> guard(table.lock);
    Slot *slot = SlotOf(table, handle);
    return slot != nullptr ? slot->unit : nullptr;
}

bool RemoveUnit(GwUnitHandle handle) {
    std::shared_ptr<Unit> closing;
    UnitTable &table = Table();
    {
        std::lock_guard<std::mutex> guard(table.lock);
        Slot *slot = SlotOf(table, handle);
        if (slot == nullptr) {
            return false;
        }
        closing = std::move(slot->unit);
        slot->unit = nullptr;
        slot->generation = static_cast<uint16_t>(slot->generation == 0xFFFF ? 1 : slot->generation + 1);
    }
    // The socket closes here, outside the table's lock, unless another
    // thread is still inside a call on the unit.
    return true;
}

} // namespace finsgw
