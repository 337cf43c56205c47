// The FINS end codes (MRES SRES) the simulated controller gives.
#pragma once

#include <cstdint>

namespace finsim {

enum EndCode : uint16_t {
    END_NORMAL = 0x0000,
    END_BUSY = 0x0204,
    END_UNDEFINED_COMMAND = 0x0401,
    END_TOO_LONG = 0x1001,
    END_TOO_SHORT = 0x1002,
    END_DATA_MISMATCH = 0x1003,
    END_NO_SUCH_AREA = 0x1101,
    END_ADDRESS_RANGE = 0x1103,
    END_ADDRESS_EXCEEDED = 0x1104,
    END_RESPONSE_TOO_LONG = 0x110B,
    END_PARAMETER = 0x110C,
};

} // namespace finsim
