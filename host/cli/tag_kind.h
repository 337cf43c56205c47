// What a tag holds, as the host sees it: the value type it passes with the
// address text, and the kind of value the driver's answer carries.
#pragma once

#include <optional>
#include <string>

#include "driver/call_blocks.h"

namespace kelomr {

// The value type for tags with no rule of their own.
constexpr int TYPE_PLAIN = 1;

enum class Kind { Word, Bit, TsStatus, Float, Bcd, Text };

const char *KindName(Kind kind);

// The value type that follows from the address text: F float, B long,
// S text, a bit number bit, anything else a plain item.
int ValueTypeForText(const std::string &text);

// "float", "long", "bit", "text", "word" (or "plain"), or a number.
std::optional<int> ParseValueTypeName(const std::string &name);

// Decided from the parsed address in the order the driver lays values out.
Kind KindOf(const TagAddress &address);

// Bytes an item takes in a block's value area.
size_t BlockItemBytes(Kind kind);

// The length of a text item, packed into its parsed address.
int TextLength(const TagAddress &address);

// The address text of item `index` of a block that starts at `text`: the
// word address moves by one word per item, two for 32-bit items.
std::string ItemTagText(const std::string &text, Kind kind, int index);

} // namespace kelomr
