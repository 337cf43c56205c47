// Address checks through KelMain against an instance whose station table
// holds stations 01 and 99. Every check hands the driver a TagDefinition
// whose output fields carry the host's own values, followed by guard bytes,
// and a copy of the text in a buffer of exactly its size.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "tests/support/driver_fixture.h"

// An expected output field; KEPT: the field still holds the host's value.
using Field = std::optional<int32_t>;
constexpr Field KEPT = std::nullopt;

struct Expected {
    int32_t result;
    Field station, areaFlags, address, bit, width;
};

// A row of a check table: the text, the value types it holds for, the count
// and what the driver must leave behind.
struct CheckCase {
    const char *text;
    std::vector<int32_t> valueTypes;
    Expected expected;
    int32_t count = 1;
};

// Value types without rules of their own, and every value type.
extern const std::vector<int32_t> OTHER_TYPES;
extern const std::vector<int32_t> ANY_TYPE;
extern const std::vector<int32_t> FLOAT, LONG, BIT, TEXT;

// The host's values in the output fields before every check.
extern const TagAddress HOST_VALUES;

constexpr int32_t WithLength(int32_t address, int32_t length) {
    return address + (length << 24);
}

class AddressCheckTest : public DriverTest {
  protected:
    void SetUp() override;

    // One check; a null text is handed over as a null addressText. Fails the
    // test when an input field or a byte after the TagDefinition changed.
    int32_t Check(int32_t function, const char *text, int32_t valueType, int32_t count, TagAddress *tag);
    // Runs every row for each of its value types and compares every field.
    void ExpectTable(int32_t function, const std::vector<CheckCase> &cases);
};

void ExpectFields(const TagAddress &tag, const Expected &expected);
