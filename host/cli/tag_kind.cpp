#include "host/cli/tag_kind.h"

#include <array>
#include <cctype>
#include <cstdio>
#include <cstdlib>

namespace kelomr {

namespace {

constexpr int AREA_TS = 7;
constexpr size_t SUFFIX_POSITION = 9;
constexpr size_t ADDRESS_POSITION = 4;
constexpr size_t ADDRESS_DIGITS = 5;
constexpr int LARGEST_WORD_ADDRESS = 99999;

char At(const std::string &text, size_t position) {
    return position < text.size() ? static_cast<char>(std::toupper(static_cast<unsigned char>(text[position]))) : ' ';
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

struct TypeName {
    const char *name;
    int valueType;
};

constexpr std::array<TypeName, 6> TYPE_NAMES = {{
    {"float", TYPE_FLOAT},
    {"long", TYPE_LONG},
    {"bit", TYPE_BIT},
    {"text", TYPE_TEXT},
    {"word", TYPE_PLAIN},
    {"plain", TYPE_PLAIN},
}};

} // namespace

const char *KindName(Kind kind) {
    switch (kind) {
    case Kind::Word:
        return "word";
    case Kind::Bit:
        return "bit";
    case Kind::TsStatus:
        return "timer status";
    case Kind::Float:
        return "float";
    case Kind::Bcd:
        return "BCD";
    case Kind::Text:
        return "text";
    }
    return "word";
}

int ValueTypeForText(const std::string &text) {
    char suffix = At(text, SUFFIX_POSITION);
    switch (suffix) {
    case 'F':
        return TYPE_FLOAT;
    case 'B':
        return TYPE_LONG;
    case 'S':
        return TYPE_TEXT;
    default:
        return IsDigit(suffix) && IsDigit(At(text, SUFFIX_POSITION + 1)) ? TYPE_BIT : TYPE_PLAIN;
    }
}

std::optional<int> ParseValueTypeName(const std::string &name) {
    for (const TypeName &entry : TYPE_NAMES) {
        if (name == entry.name) {
            return entry.valueType;
        }
    }
    if (name.empty() || name.size() > 9) {
        return std::nullopt;
    }
    for (char c : name) {
        if (!IsDigit(c)) {
            return std::nullopt;
        }
    }
    return std::atoi(name.c_str());
}

Kind KindOf(const TagAddress &address) {
    if (address.areaFlags & FMT_TEXT) {
        return Kind::Text;
    }
    if (address.areaFlags & FMT_FLOAT32) {
        return Kind::Float;
    }
    if (address.areaFlags & FMT_BCD32) {
        return Kind::Bcd;
    }
    if (address.bit != NO_BIT) {
        return Kind::Bit;
    }
    if ((address.areaFlags & AREA_INDEX_MASK) == AREA_TS) {
        return Kind::TsStatus;
    }
    return Kind::Word;
}

size_t BlockItemBytes(Kind kind) {
    switch (kind) {
    case Kind::Float:
    case Kind::Bcd:
        return 4;
    case Kind::Text:
        return 1;
    default:
        return 2;
    }
}

int TextLength(const TagAddress &address) {
    return static_cast<int>((static_cast<uint32_t>(address.address) >> 24) & 0xFF);
}

std::string ItemTagText(const std::string &text, Kind kind, int index) {
    if (index == 0) {
        return text;
    }
    int first = 0;
    for (size_t i = 0; i < ADDRESS_DIGITS; ++i) {
        char c = At(text, ADDRESS_POSITION + i);
        if (!IsDigit(c)) {
            return text + "+" + std::to_string(index);
        }
        first = first * 10 + (c - '0');
    }
    int step = BlockItemBytes(kind) == 4 ? 2 : 1;
    long address = first + static_cast<long>(index) * step;
    if (address > LARGEST_WORD_ADDRESS) {
        return text + "+" + std::to_string(index);
    }
    char digits[24];
    std::snprintf(digits, sizeof digits, "%05ld", address);
    std::string rest =
        text.size() > ADDRESS_POSITION + ADDRESS_DIGITS ? text.substr(ADDRESS_POSITION + ADDRESS_DIGITS) : "";
    return text.substr(0, ADDRESS_POSITION) + digits + rest;
}

} // namespace kelomr
