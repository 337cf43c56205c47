#include "host/cli/tag_diagnosis.h"

#include <array>
#include <cctype>
#include <cstring>
#include <optional>

#include "driver/call_blocks.h"

namespace kelomr {

namespace {

constexpr size_t LONGEST = 12;
constexpr size_t SHORTEST = 9;
constexpr int LARGEST_BLOCK = 500;
constexpr int LARGEST_WIDE_BLOCK = 250;
constexpr int LONGEST_TEXT = 80;

constexpr std::array<const char *, 25> AREA_NAMES = {"DM", "IR", "LR", "HR", "AR", "IO", "TS", "TV", "EM",
                                                     "E0", "E1", "E2", "E3", "E4", "E5", "E6", "E7", "E8",
                                                     "E9", "EA", "EB", "EC", "ED", "EE", "EF"};

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

std::string Quoted(char c) {
    if (std::isprint(static_cast<unsigned char>(c))) {
        return std::string("'") + c + "'";
    }
    return "byte " + std::to_string(static_cast<unsigned char>(c));
}

// The address text folded and filled with blanks the way the driver reads it.
std::string Normalised(const std::string &text) {
    std::string folded = text.substr(0, LONGEST);
    for (char &c : folded) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    folded.resize(LONGEST, ' ');
    return folded;
}

std::optional<std::string> SyntaxReason(const std::string &text) {
    if (text.size() > LONGEST) {
        return "longer than 12 characters";
    }
    if (text.size() < SHORTEST) {
        return "shorter than 9 characters: station (2 digits), area (2 letters), word address (5 digits)";
    }
    std::string a = Normalised(text);
    if (!IsDigit(a[0]) || !IsDigit(a[1])) {
        return "the station, characters 1-2, must be two digits 01 to 99";
    }
    std::string area = a.substr(2, 2);
    bool known = false;
    for (const char *name : AREA_NAMES) {
        known = known || area == name;
    }
    if (!known) {
        return "unknown area '" + area + "' (DM IR LR HR AR IO TS TV EM E0 to EF)";
    }
    for (size_t i = 4; i < 9; ++i) {
        if (!IsDigit(a[i])) {
            return "the word address, characters 5-9, must be five digits; character " + std::to_string(i + 1) +
                   " is " + Quoted(a[i]);
        }
    }
    if (std::strchr("01FBS ", a[9]) == nullptr || a[9] == '\0') {
        return "unknown suffix " + Quoted(a[9]) + " (F float, B BCD, S text length, 00 to 15 bit number)";
    }
    for (size_t i = 10; i < LONGEST; ++i) {
        if (!IsDigit(a[i]) && a[i] != ' ') {
            return "character " + std::to_string(i + 1) + " must be a digit, not " + Quoted(a[i]);
        }
    }
    return std::nullopt;
}

std::optional<std::string> StationReason(const std::string &a, const RefusalContext &context) {
    int station = (a[0] - '0') * 10 + (a[1] - '0');
    if (station == 0) {
        return "station 00 does not exist (01 to 99)";
    }
    if (context.stationConfigured && !context.stationConfigured(station)) {
        std::string number = a.substr(0, 2);
        return "station " + number + " is not configured" +
               (context.stationFile.empty() ? "" : " in " + context.stationFile) + " (a line " + number +
               "=NET.NODE.UNIT)";
    }
    return std::nullopt;
}

int TextLengthOf(const std::string &a) {
    std::string digits;
    for (size_t i = 10; i < LONGEST; ++i) {
        if (IsDigit(a[i])) {
            digits += a[i];
        }
    }
    return digits.empty() ? -1 : std::stoi(digits);
}

std::optional<std::string> SuffixReason(const std::string &a, const RefusalContext &context) {
    char suffix = a[9];
    bool wide = suffix == 'F' || suffix == 'B';
    int address = std::stoi(a.substr(4, 5));
    if (suffix == 'S') {
        int length = TextLengthOf(a);
        if (context.block) {
            return "texts cannot be read or written as blocks";
        }
        if (context.valueType != TYPE_TEXT) {
            return "a text (S) item needs the value type text";
        }
        if (length <= 0 || length > LONGEST_TEXT || length % 2 != 0) {
            return "the text length after S must be even, 2 to 80";
        }
        return std::nullopt;
    }
    if (wide && a.substr(2, 2) != "DM") {
        return std::string(suffix == 'F' ? "floats (F)" : "BCD numbers (B)") + " exist in DM only";
    }
    if (wide && address % 2 != 0) {
        return "a 32-bit item needs an even word address";
    }
    bool bitNumber = IsDigit(suffix);
    if (context.block) {
        if (bitNumber) {
            return "single bits cannot be read or written as blocks";
        }
        if (context.count > LARGEST_BLOCK) {
            return "a block holds at most 500 items";
        }
        if (wide && context.count > LARGEST_WIDE_BLOCK) {
            return "a block of 32-bit items holds at most 250";
        }
        return std::nullopt;
    }
    if (suffix == 'F' && context.valueType != TYPE_FLOAT) {
        return "a float (F) item needs the value type float";
    }
    if (suffix == 'B' && context.valueType != TYPE_LONG) {
        return "a BCD (B) item needs the value type long";
    }
    if (!wide && context.valueType == TYPE_FLOAT) {
        return "the value type float needs the suffix F";
    }
    if (bitNumber != (context.valueType == TYPE_BIT)) {
        return bitNumber ? "a bit number needs the value type bit" : "the value type bit needs a bit number 00 to 15";
    }
    if (bitNumber && (a[10] == ' ' || (a[9] - '0') * 10 + (a[10] - '0') > 15)) {
        return "the bit number must be two digits 00 to 15";
    }
    return std::nullopt;
}

} // namespace

std::string ExplainRefusal(const std::string &text, const RefusalContext &context) {
    if (auto reason = SyntaxReason(text)) {
        return *reason;
    }
    std::string a = Normalised(text);
    if (auto reason = StationReason(a, context)) {
        return *reason;
    }
    if (auto reason = SuffixReason(a, context)) {
        return *reason;
    }
    return "the driver refused the address";
}

} // namespace kelomr
