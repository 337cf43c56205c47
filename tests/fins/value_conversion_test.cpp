#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <random>

#include "fins/value_conversion.h"
#include "tests/fins/fins_fixture.h"

namespace {

using Bytes = std::vector<uint8_t>;

class ConversionTest : public FinsTest {};

constexpr uint8_t UNTOUCHED = 0xEE;

Bytes Text(const char *text) {
    return Bytes(text, text + std::strlen(text));
}

struct ReadCase {
    const char *name;
    int32_t areaFlags;
    int32_t address;
    int32_t count;
    Bytes data;   // response data after the end code
    Bytes values; // what the value area holds afterwards, from its start
};

TEST_F(ConversionTest, ReadFillsTheValueArea) {
    const ReadCase cases[] = {
        {"words", 1, 0, 3, {0x12, 0x34, 0x00, 0xFF, 0xAB, 0xCD}, CellBytes({0x1234, 0x00FF, 0xABCD})},
        {"TS status", 7, 0, 2, {0x01, 0x00}, CellBytes({1, 0})},
        {"TS status widens with zeros", 7, 0, 1, {0xFF}, CellBytes({0x00FF})},
        {"float", 0x201, 0, 1, {0x00, 0x00, 0x41, 0x20}, CellBytes({0x0000, 0x4120})},
        {"BCD", 0x101, 0, 1, {0x56, 0x78, 0x12, 0x34}, CellBytes({12345678 & 0xFFFF, 12345678 >> 16})},
        {"BCD up to the first nibble above 9", 0x101, 0, 1, {0xAB, 0x34, 0x00, 0x12}, CellBytes({12, 0})},
        {"BCD led by a nibble above 9 stays raw", 0x101, 0, 1, {0x00, 0x00, 0xA0, 0x00}, CellBytes({0x0000, 0xA000})},
        {"two BCD items",
         0x101,
         0,
         2,
         {0x00, 0x01, 0x00, 0x00, 0x99, 0x99, 0x99, 0x99},
         CellBytes({1, 0, 99999999 & 0xFFFF, 99999999 >> 16})},
        {"text uses the first L of 2L bytes", 0x401, 10 << 24, 1, Text("HELLOWORLDxxxxxxxxxx"), Text("HELLOWORLD")},
    };
    for (const ReadCase &c : cases) {
        SCOPED_TRACE(c.name);
        fakeGateway.Reset();
        fakeGateway.RespondWith(0, c.data);
        Bytes values(64, UNTOUCHED);
        IoRequest request = Request(CS1, c.areaFlags, c.address, c.count, values.data());
        ASSERT_EQ(Call(FN_READ_BLOCK, &request), RC_OK);
        EXPECT_EQ(Bytes(values.begin(), values.begin() + c.values.size()), c.values);
        EXPECT_EQ(values[c.values.size()], UNTOUCHED) << "nothing beyond the items";
    }
}

TEST_F(ConversionTest, FloatBitsReachTheHostUnchanged) {
    fakeGateway.RespondWith(0, {0x00, 0x00, 0x41, 0x20});
    float value = 0;
    IoRequest request = Request(CLASSIC, 0x201, 0, 1, &value);
    ASSERT_EQ(Call(FN_READ_BLOCK, &request), RC_OK);
    EXPECT_EQ(value, 10.0f);
}

struct WriteCase {
    const char *name;
    int32_t areaFlags;
    int32_t address;
    int32_t count;
    Bytes values;
    Bytes data; // after the eight command bytes
};

TEST_F(ConversionTest, WriteLaysOutTheData) {
    const WriteCase cases[] = {
        {"words", 1, 0, 2, CellBytes({0x1234, 0xABCD}), {0x12, 0x34, 0xAB, 0xCD}},
        {"TS status keeps the low byte", 7, 0, 3, CellBytes({1, 0, 0x1FF}), {0x01, 0x00, 0xFF}},
        {"float", 0x201, 0, 1, CellBytes({0x0000, 0x4120}), {0x00, 0x00, 0x41, 0x20}},
        {"BCD", 0x101, 0, 1, CellBytes({12345678 & 0xFFFF, 12345678 >> 16}), {0x56, 0x78, 0x12, 0x34}},
        {"BCD beyond eight digits keeps the first eight",
         0x101,
         0,
         1,
         CellBytes({123456789 & 0xFFFF, 123456789 >> 16}),
         {0x56, 0x78, 0x12, 0x34}},
        {"BCD of the largest value", 0x101, 0, 1, CellBytes({0xFFFF, 0xFFFF}), {0x96, 0x72, 0x42, 0x94}},
        {"BCD of 0", 0x101, 0, 1, CellBytes({0, 0}), {0, 0, 0, 0}},
        {"text", 0x401, 10 << 24, 1, Text("HELLOWORLD"), Text("HELLOWORLD")},
    };
    for (const WriteCase &c : cases) {
        SCOPED_TRACE(c.name);
        fakeGateway.Reset();
        fakeGateway.RespondWith(0, {}, 0x02);
        Bytes values = c.values;
        IoRequest request = Request(CLASSIC, c.areaFlags, c.address, c.count, values.data());
        ASSERT_EQ(Call(FN_WRITE_BLOCK, &request), RC_OK);
        Bytes sent = LastSent();
        ASSERT_EQ(sent.size(), 8 + c.data.size());
        EXPECT_EQ(Bytes(sent.begin() + 8, sent.end()), c.data);
        EXPECT_EQ(values, c.values) << "a write leaves the value area alone";
    }
}

// The controller's 8-digit BCD is exchanged through its text forms: the raw
// value printed in hexadecimal and read back as decimal, the host's value
// printed in decimal and read back as hexadecimal.
uint32_t ReadThroughText(uint32_t raw) {
    char text[16];
    std::snprintf(text, sizeof text, "%08x", raw);
    unsigned value = 0;
    return std::sscanf(text, "%8u", &value) == 1 ? value : raw;
}

uint32_t WriteThroughText(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "%08u", value);
    unsigned bcd = 0;
    std::sscanf(text, "%8x", &bcd);
    return bcd;
}

TEST(BcdConversion, AgreesWithTheTextForms) {
    std::vector<uint32_t> samples = {0,          1,          9,          10,         0x9,        0xA,
                                     0x99999999, 0x9999999A, 0xA0000000, 0x0000000F, 0x1234ABCD, 0xFFFFFFFF,
                                     99999999,   100000000,  999999999,  1000000000, 4294967295u};
    std::mt19937 random(20240611);
    for (int i = 0; i < 200000; ++i) {
        samples.push_back(static_cast<uint32_t>(random()));
    }
    // Every placement of one nibble above 9 among decimal ones.
    for (int position = 0; position < 8; ++position) {
        for (uint32_t nibble = 0; nibble < 16; ++nibble) {
            samples.push_back((0x12345678u & ~(0xFu << 4 * position)) | nibble << 4 * position);
        }
    }
    for (uint32_t sample : samples) {
        ASSERT_EQ(BcdToBinary(sample), ReadThroughText(sample)) << std::hex << sample;
        ASSERT_EQ(BinaryToBcd(sample), WriteThroughText(sample)) << sample;
    }
}

} // namespace
