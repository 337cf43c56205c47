#include "host/cli/value_parse.h"

#include <strings.h>

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace kelomr {

namespace {

constexpr uint32_t LARGEST_BCD = 99999999;

bool AllDigits(const std::string &text, size_t from, int base) {
    if (from >= text.size()) {
        return false;
    }
    for (size_t i = from; i < text.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        bool ok = base == 16 ? std::isxdigit(c) != 0 : (c >= '0' && c <= '9');
        if (!ok) {
            return false;
        }
    }
    return true;
}

// Decimal with an optional minus sign, or 0x hexadecimal; no blanks, no
// trailing characters.
bool ParseInteger(const std::string &text, long long *out) {
    bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    bool negative = !hex && !text.empty() && text[0] == '-';
    size_t digits = hex ? 2 : (negative ? 1 : 0);
    if (!AllDigits(text, digits, hex ? 16 : 10) || text.size() - digits > 12) {
        return false;
    }
    long long value = std::strtoll(text.c_str() + digits, nullptr, hex ? 16 : 10);
    *out = negative ? -value : value;
    return true;
}

bool Refuse(std::string *why, const std::string &reason) {
    *why = reason;
    return false;
}

bool ParseWord(const std::string &input, Value *out, std::string *why) {
    long long number = 0;
    if (!ParseInteger(input, &number)) {
        return Refuse(why, "not a whole number (decimal, or hexadecimal with 0x)");
    }
    if (number < -32768 || number > 65535) {
        return Refuse(why, "a word holds -32768 to 65535 (0x0000 to 0xFFFF)");
    }
    out->bits = static_cast<uint16_t>(number);
    return true;
}

bool ParseBit(const std::string &input, Value *out, std::string *why) {
    static const char *const ones[] = {"1", "on", "true"};
    static const char *const zeros[] = {"0", "off", "false"};
    for (const char *word : ones) {
        if (strcasecmp(input.c_str(), word) == 0) {
            out->bits = 1;
            return true;
        }
    }
    for (const char *word : zeros) {
        if (strcasecmp(input.c_str(), word) == 0) {
            out->bits = 0;
            return true;
        }
    }
    return Refuse(why, "a bit is 0 or 1 (also off/on, false/true)");
}

bool ParseStatus(const std::string &input, Value *out, std::string *why) {
    long long number = 0;
    if (!ParseInteger(input, &number) || number < 0 || number > 255) {
        return Refuse(why, "a timer status is 0 to 255 (the completion flag: 0 or 1)");
    }
    out->bits = static_cast<uint32_t>(number);
    return true;
}

bool ParseFloat(const std::string &input, Value *out, std::string *why) {
    if (input.empty() || std::isspace(static_cast<unsigned char>(input[0]))) {
        return Refuse(why, "not a number");
    }
    char *end = nullptr;
    float number = std::strtof(input.c_str(), &end);
    if (end == input.c_str() || *end != '\0') {
        return Refuse(why, "not a number");
    }
    // Underflow to a tiny value is harmless; overflow, infinities and NaN
    // are no measurement a controller should be sent.
    if (!std::isfinite(number)) {
        return Refuse(why, "outside the range of a 32-bit float");
    }
    uint32_t bits = 0;
    std::memcpy(&bits, &number, sizeof bits);
    out->bits = bits;
    return true;
}

bool ParseBcd(const std::string &input, Value *out, std::string *why) {
    if (!AllDigits(input, 0, 10)) {
        return Refuse(why, "a BCD value is a decimal number of digits 0-9 only");
    }
    if (input.size() > 12 || std::strtoull(input.c_str(), nullptr, 10) > LARGEST_BCD) {
        return Refuse(why, "a BCD value has at most 8 digits (0 to 99999999)");
    }
    out->bits = static_cast<uint32_t>(std::strtoul(input.c_str(), nullptr, 10));
    return true;
}

bool ParseText(const std::string &input, int textLength, Value *out, std::string *why) {
    if (input.size() > static_cast<size_t>(textLength)) {
        return Refuse(why, "the text has " + std::to_string(input.size()) + " bytes, the tag holds " +
                               std::to_string(textLength));
    }
    if (input.find('\0') != std::string::npos) {
        return Refuse(why, "the text holds a NUL byte");
    }
    // The tag always takes its whole length; the rest is cleared.
    out->text = input;
    out->text.resize(static_cast<size_t>(textLength), '\0');
    return true;
}

} // namespace

bool ParseValue(Kind kind, const std::string &input, int textLength, Value *out, std::string *why) {
    *out = Value{};
    out->kind = kind;
    switch (kind) {
    case Kind::Word:
        return ParseWord(input, out, why);
    case Kind::Bit:
        return ParseBit(input, out, why);
    case Kind::TsStatus:
        return ParseStatus(input, out, why);
    case Kind::Float:
        return ParseFloat(input, out, why);
    case Kind::Bcd:
        return ParseBcd(input, out, why);
    case Kind::Text:
        return ParseText(input, textLength, out, why);
    }
    return Refuse(why, "unknown kind of value");
}

} // namespace kelomr
