#include "tests/address/address_check.h"

#include <cstring>
#include <memory>

const std::vector<int32_t> OTHER_TYPES = {0, 1, 2, 5, 8, -1, 1000};
const std::vector<int32_t> ANY_TYPE = {0, 1, 2, 3, 4, 5, 6, 7, 8, -1, 1000};
const std::vector<int32_t> FLOAT = {TYPE_FLOAT}, LONG = {TYPE_LONG}, BIT = {TYPE_BIT}, TEXT = {TYPE_TEXT};
const TagAddress HOST_VALUES = {-11, -22, -33, -44, -55};

namespace {

constexpr uint8_t GUARD = 0xA5;
constexpr uint32_t HOST_RESERVED = 0xC0FFEE;

struct HostBlock {
    TagDefinition definition;
    uint8_t guard[32];
};

} // namespace

void AddressCheckTest::SetUp() {
    DriverTest::SetUp();
    StartWith("01=0.1.0\n99=0.99.0\n");
}

int32_t AddressCheckTest::Check(int32_t function, const char *text, int32_t valueType, int32_t count, TagAddress *tag) {
    std::unique_ptr<char[]> copy;
    if (text != nullptr) {
        copy.reset(new char[std::strlen(text) + 1]);
        std::strcpy(copy.get(), text);
    }
    HostBlock host;
    std::memset(&host, GUARD, sizeof host);
    host.definition.addressText = copy.get();
    host.definition.reserved = HOST_RESERVED;
    host.definition.valueType = valueType;
    host.definition.count = count;
    host.definition.tag = HOST_VALUES;
    int32_t result = Call(function, &host.definition);
    EXPECT_EQ(host.definition.addressText, copy.get());
    EXPECT_EQ(host.definition.reserved, HOST_RESERVED);
    EXPECT_EQ(host.definition.valueType, valueType);
    EXPECT_EQ(host.definition.count, count);
    size_t untouched = 0;
    while (untouched < sizeof host.guard && host.guard[untouched] == GUARD) {
        ++untouched;
    }
    EXPECT_EQ(untouched, sizeof host.guard) << "written past the TagDefinition";
    if (copy) {
        EXPECT_STREQ(copy.get(), text) << "the host's text changed";
    }
    *tag = host.definition.tag;
    return result;
}

void ExpectFields(const TagAddress &tag, const Expected &expected) {
    EXPECT_EQ(tag.station, expected.station.value_or(HOST_VALUES.station)) << "station";
    EXPECT_EQ(tag.areaFlags, expected.areaFlags.value_or(HOST_VALUES.areaFlags)) << "areaFlags";
    EXPECT_EQ(tag.address, expected.address.value_or(HOST_VALUES.address)) << "address";
    EXPECT_EQ(tag.bit, expected.bit.value_or(HOST_VALUES.bit)) << "bit";
    EXPECT_EQ(tag.width, expected.width.value_or(HOST_VALUES.width)) << "width";
}

void AddressCheckTest::ExpectTable(int32_t function, const std::vector<CheckCase> &cases) {
    for (const CheckCase &c : cases) {
        for (int32_t valueType : c.valueTypes) {
            SCOPED_TRACE(::testing::Message() << "'" << c.text << "' valueType " << valueType << " count " << c.count);
            TagAddress tag{};
            EXPECT_EQ(Check(function, c.text, valueType, c.count, &tag), c.expected.result);
            ExpectFields(tag, c.expected);
        }
    }
}
