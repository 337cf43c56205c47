#include "gateway/fins_address.h"

namespace finsgw {

namespace {

// Digits only, at most maxDigits of them, value at most limit.
bool ParseNumber(std::string_view text, size_t maxDigits, uint32_t limit, uint32_t *value) {
    if (text.empty() || text.size() > maxDigits) {
        return false;
    }
    uint32_t result = 0;
    for (char digit : text) {
        if (digit < '0' || digit > '9') {
            return false;
        }
        result = result * 10 + static_cast<uint32_t>(digit - '0');
    }
    if (result > limit) {
        return false;
    }
    *value = result;
    return true;
}

} // namespace

bool ParseDottedBytes(std::string_view text, uint8_t *bytes, size_t count) {
    for (size_t index = 0; index < count; ++index) {
        size_t point = index + 1 < count ? text.find('.') : text.size();
        if (point == std::string_view::npos) {
            return false;
        }
        uint32_t value = 0;
        if (!ParseNumber(text.substr(0, point), 3, 255, &value)) {
            return false;
        }
        bytes[index] = static_cast<uint8_t>(value);
        text.remove_prefix(point == text.size() ? point : point + 1);
    }
    return true;
}

bool ParsePort(std::string_view text, uint16_t *port) {
    uint32_t value = 0;
    if (!ParseNumber(text, 5, 65535, &value) || value == 0) {
        return false;
    }
    *port = static_cast<uint16_t>(value);
    return true;
}

} // namespace finsgw
