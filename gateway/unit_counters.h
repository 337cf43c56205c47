// Traffic counters of one unit; read by the host while a unit may be busy.
#pragma once

#include <atomic>
#include <cstdint>

namespace finsgw {

struct UnitCounters {
    std::atomic<uint64_t> sent{0};
    std::atomic<uint64_t> received{0};
    std::atomic<uint64_t> timeouts{0};
    std::atomic<uint64_t> discarded{0};
};

} // namespace finsgw
