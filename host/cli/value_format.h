// Values as the user reads them: in words for a terminal, plain for CSV
// fields, and as JSON.
#pragma once

#include <string>
#include <vector>

#include "host/cli/value_codec.h"

namespace kelomr {

// Words as decimal and hexadecimal (and signed when the top bit is set),
// floats in their shortest exact form, texts quoted with escapes.
std::string FormatHuman(const Value &value);

// One CSV-ready token: numbers in decimal, texts escaped but not quoted.
std::string FormatPlain(const Value &value);

std::string FormatJson(const Value &value);

// Several items: space-separated for the first two forms, an array in JSON.
std::string FormatHuman(const std::vector<Value> &values);
std::string FormatPlain(const std::vector<Value> &values);
std::string FormatJson(const std::vector<Value> &values);

// The shortest text that reads back as the same float.
std::string FloatText(uint32_t bits);

// C-style escapes for quotes, backslashes, control and non-ASCII bytes.
std::string EscapeText(const std::string &text);

std::string JsonString(const std::string &text);
std::string CsvField(const std::string &text);

} // namespace kelomr
