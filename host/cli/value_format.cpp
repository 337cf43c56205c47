#include "host/cli/value_format.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace kelomr {

namespace {

std::string Hex(unsigned value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%0*X", digits, value);
    return text;
}

template <typename Format> std::string Join(const std::vector<Value> &values, Format format, const char *separator) {
    std::string joined;
    for (size_t i = 0; i < values.size(); ++i) {
        if (i > 0) {
            joined += separator;
        }
        joined += format(values[i]);
    }
    return joined;
}

float AsFloat(uint32_t bits) {
    float number = 0;
    std::memcpy(&number, &bits, sizeof number);
    return number;
}

} // namespace

std::string FloatText(uint32_t bits) {
    float number = AsFloat(bits);
    if (std::isnan(number)) {
        return "nan";
    }
    if (std::isinf(number)) {
        return number < 0 ? "-inf" : "inf";
    }
    char text[48];
    for (int precision = 6; precision <= 9; ++precision) {
        std::snprintf(text, sizeof text, "%.*g", precision, static_cast<double>(number));
        if (std::strtof(text, nullptr) == number) {
            break;
        }
    }
    return text;
}

std::string EscapeText(const std::string &text) {
    std::string escaped;
    for (char c : text) {
        unsigned char byte = static_cast<unsigned char>(c);
        switch (c) {
        case '"':
            escaped += "\\\"";
            break;
        case '\\':
            escaped += "\\\\";
            break;
        case '\n':
            escaped += "\\n";
            break;
        case '\t':
            escaped += "\\t";
            break;
        case '\0':
            escaped += "\\0";
            break;
        default:
            if (byte < 0x20 || byte >= 0x7F) {
                char hex[8];
                std::snprintf(hex, sizeof hex, "\\x%02X", byte);
                escaped += hex;
            } else {
                escaped += c;
            }
        }
    }
    return escaped;
}

std::string JsonString(const std::string &text) {
    std::string json = "\"";
    for (char c : text) {
        unsigned char byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            json += '\\';
            json += c;
        } else if (byte < 0x20 || byte >= 0x7F) {
            // Bytes, not UTF-8: each stands for the character of its number.
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04X", byte);
            json += escape;
        } else {
            json += c;
        }
    }
    return json + "\"";
}

std::string CsvField(const std::string &text) {
    if (text.find_first_of(",\"\n\r") == std::string::npos) {
        return text;
    }
    std::string quoted = "\"";
    for (char c : text) {
        quoted += c;
        if (c == '"') {
            quoted += '"';
        }
    }
    return quoted + "\"";
}

std::string FormatHuman(const Value &value) {
    switch (value.kind) {
    case Kind::Word: {
        std::string text = std::to_string(value.bits) + " (" + Hex(value.bits, 4);
        if (value.bits & 0x8000) {
            text += ", " + std::to_string(static_cast<int16_t>(value.bits));
        }
        return text + ")";
    }
    case Kind::Text:
        return "\"" + EscapeText(value.text) + "\"";
    default:
        return FormatPlain(value);
    }
}

std::string FormatPlain(const Value &value) {
    switch (value.kind) {
    case Kind::Float:
        return FloatText(value.bits);
    case Kind::Text:
        return EscapeText(value.text);
    default:
        return std::to_string(value.bits);
    }
}

std::string FormatJson(const Value &value) {
    switch (value.kind) {
    case Kind::Float: {
        std::string number = FloatText(value.bits);
        return std::isfinite(AsFloat(value.bits)) ? number : JsonString(number);
    }
    case Kind::Text:
        return JsonString(value.text);
    default:
        return std::to_string(value.bits);
    }
}

std::string FormatHuman(const std::vector<Value> &values) {
    return Join(
        values, [](const Value &v) { return FormatHuman(v); }, "  ");
}

std::string FormatPlain(const std::vector<Value> &values) {
    return Join(
        values, [](const Value &v) { return FormatPlain(v); }, " ");
}

std::string FormatJson(const std::vector<Value> &values) {
    return "[" +
           Join(
               values, [](const Value &v) { return FormatJson(v); }, ",") +
           "]";
}

} // namespace kelomr
