// Values as the user types and reads them: parsing by kind with its limits,
// the decimal/hex/float/text forms, and where single items and blocks lie in
// the host's value area.
#include <gtest/gtest.h>

#include <cstring>

#include "host/cli/value_codec.h"
#include "host/cli/value_format.h"
#include "host/cli/value_parse.h"

namespace kelomr {
namespace {

uint32_t FloatBits(float number) {
    uint32_t bits = 0;
    std::memcpy(&bits, &number, sizeof bits);
    return bits;
}

struct ParseCase {
    Kind kind;
    const char *input;
    bool accepted;
    uint32_t bits;
    const char *reasonPart; // for refusals
};

void PrintTo(const ParseCase &c, std::ostream *out) {
    *out << KindName(c.kind) << " '" << c.input << "'";
}

class ParseValueTest : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParseValueTest, AcceptsWhatFitsAndSaysWhyNot) {
    const ParseCase &c = GetParam();
    Value value;
    std::string why;
    bool accepted = ParseValue(c.kind, c.input, 8, &value, &why);
    ASSERT_EQ(accepted, c.accepted) << c.input << ": " << why;
    if (c.accepted) {
        EXPECT_EQ(value.bits, c.bits) << c.input;
        EXPECT_EQ(value.kind, c.kind);
    } else {
        EXPECT_NE(why.find(c.reasonPart), std::string::npos) << why;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, ParseValueTest,
    ::testing::Values(
        ParseCase{Kind::Word, "1234", true, 1234, ""}, ParseCase{Kind::Word, "0xBEEF", true, 0xBEEF, ""},
        ParseCase{Kind::Word, "0Xbeef", true, 0xBEEF, ""}, ParseCase{Kind::Word, "-1", true, 0xFFFF, ""},
        ParseCase{Kind::Word, "-32768", true, 0x8000, ""}, ParseCase{Kind::Word, "65535", true, 0xFFFF, ""},
        ParseCase{Kind::Word, "65536", false, 0, "65535"}, ParseCase{Kind::Word, "-32769", false, 0, "-32768"},
        ParseCase{Kind::Word, "0x10000", false, 0, "0xFFFF"}, ParseCase{Kind::Word, "12a", false, 0, "whole number"},
        ParseCase{Kind::Word, "", false, 0, "whole number"}, ParseCase{Kind::Word, " 5", false, 0, "whole number"},
        ParseCase{Kind::Word, "99999999999999999999", false, 0, ""}, ParseCase{Kind::Bit, "1", true, 1, ""},
        ParseCase{Kind::Bit, "off", true, 0, ""}, ParseCase{Kind::Bit, "TRUE", true, 1, ""},
        ParseCase{Kind::Bit, "2", false, 0, "0 or 1"}, ParseCase{Kind::TsStatus, "255", true, 255, ""},
        ParseCase{Kind::TsStatus, "256", false, 0, "0 to 255"}, ParseCase{Kind::Float, "10", true, 0x41200000, ""},
        ParseCase{Kind::Float, "-1.5", true, 0xBFC00000, ""},
        ParseCase{Kind::Float, "1e-3", true, FloatBits(1e-3f), ""}, ParseCase{Kind::Float, "1e39", false, 0, "range"},
        ParseCase{Kind::Float, "nan", false, 0, "range"}, ParseCase{Kind::Float, "inf", false, 0, "range"},
        ParseCase{Kind::Float, "3,5", false, 0, "not a number"}, ParseCase{Kind::Float, "", false, 0, "not a number"},
        ParseCase{Kind::Bcd, "12345678", true, 12345678, ""}, ParseCase{Kind::Bcd, "0", true, 0, ""},
        ParseCase{Kind::Bcd, "99999999", true, 99999999, ""}, ParseCase{Kind::Bcd, "123456789", false, 0, "8 digits"},
        ParseCase{Kind::Bcd, "-1", false, 0, "digits"}, ParseCase{Kind::Bcd, "0x12", false, 0, "digits"}));

TEST(ParseText, FitsTheTagLengthOrIsRefused) {
    Value value;
    std::string why;
    EXPECT_TRUE(ParseValue(Kind::Text, "ABCD", 4, &value, &why));
    EXPECT_EQ(value.text, "ABCD");
    EXPECT_TRUE(ParseValue(Kind::Text, "A", 4, &value, &why));
    EXPECT_EQ(value.text, std::string("A\0\0\0", 4)) << "padded to the tag's length";
    EXPECT_FALSE(ParseValue(Kind::Text, "ABCDE", 4, &value, &why));
    EXPECT_NE(why.find("holds 4"), std::string::npos) << why;
}

struct FormatCase {
    Value value;
    const char *human;
    const char *plain;
    const char *json;
};

void PrintTo(const FormatCase &c, std::ostream *out) {
    *out << c.plain;
}

class FormatValueTest : public ::testing::TestWithParam<FormatCase> {};

TEST_P(FormatValueTest, ShowsEachKindInEachForm) {
    const FormatCase &c = GetParam();
    EXPECT_EQ(FormatHuman(c.value), c.human);
    EXPECT_EQ(FormatPlain(c.value), c.plain);
    EXPECT_EQ(FormatJson(c.value), c.json);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, FormatValueTest,
    ::testing::Values(FormatCase{{Kind::Word, 1234, ""}, "1234 (0x04D2)", "1234", "1234"},
                      FormatCase{{Kind::Word, 0xFFFB, ""}, "65531 (0xFFFB, -5)", "65531", "65531"},
                      FormatCase{{Kind::Bit, 1, ""}, "1", "1", "1"}, FormatCase{{Kind::TsStatus, 0, ""}, "0", "0", "0"},
                      FormatCase{{Kind::Float, 0x41200000, ""}, "10", "10", "10"},
                      FormatCase{{Kind::Float, FloatBits(3.14f), ""}, "3.14", "3.14", "3.14"},
                      FormatCase{{Kind::Float, FloatBits(1.0f / 3.0f), ""}, "0.33333334", "0.33333334", "0.33333334"},
                      FormatCase{{Kind::Float, 0x7FC00000, ""}, "nan", "nan", "\"nan\""},
                      FormatCase{{Kind::Float, 0xFF800000, ""}, "-inf", "-inf", "\"-inf\""},
                      FormatCase{{Kind::Bcd, 12345678, ""}, "12345678", "12345678", "12345678"},
                      FormatCase{{Kind::Text, 0, std::string("Hi\0\"\\\n\x80", 7)},
                                 "\"Hi\\0\\\"\\\\\\n\\x80\"",
                                 "Hi\\0\\\"\\\\\\n\\x80",
                                 "\"Hi\\u0000\\\"\\\\\\u000A\\u0080\""}));

TEST(CsvField, QuotesOnlyWhatNeedsIt) {
    EXPECT_EQ(CsvField("1 2 3"), "1 2 3");
    EXPECT_EQ(CsvField("a,b"), "\"a,b\"");
    EXPECT_EQ(CsvField("say \"x\""), "\"say \"\"x\"\"\"");
}

TEST(ValueArea, SixteenBitSingleItemsUseTheSecondCellAndLeaveTheFirst) {
    ValueArea area;
    area.bytes[0] = 0xAA;
    area.bytes[1] = 0xBB;
    EncodeSingle({Kind::Word, 0x1234, ""}, area, 0);
    EXPECT_EQ(area.bytes[0], 0xAA);
    EXPECT_EQ(area.bytes[1], 0xBB);
    EXPECT_EQ(area.bytes[2], 0x34);
    EXPECT_EQ(area.bytes[3], 0x12);
    EXPECT_EQ(DecodeSingle(Kind::Word, area, 0).bits, 0x1234u);
}

TEST(ValueArea, ThirtyTwoBitItemsTakeTwoCellsLowHalfFirst) {
    ValueArea area;
    EncodeSingle({Kind::Float, 0x41200000, ""}, area, 0);
    const uint8_t expected[] = {0x00, 0x00, 0x20, 0x41};
    EXPECT_EQ(std::memcmp(area.bytes, expected, 4), 0);
    EXPECT_EQ(DecodeSingle(Kind::Bcd, area, 0).bits, 0x41200000u);
}

TEST(ValueArea, TextIsExactlyItsLengthPaddedWithNul) {
    ValueArea area;
    std::memset(area.bytes, 'x', 8);
    EncodeSingle({Kind::Text, 0, "AB"}, area, 6);
    EXPECT_EQ(std::string(reinterpret_cast<char *>(area.bytes), 8), std::string("AB\0\0\0\0xx", 8));
    EXPECT_EQ(DecodeSingle(Kind::Text, area, 6).text, std::string("AB\0\0\0\0", 6));
}

TEST(ValueArea, BlocksStartAtTheFirstCell) {
    ValueArea area;
    EncodeBlock({{Kind::Float, 0x11112222, ""}, {Kind::Float, 0x33334444, ""}}, area);
    std::vector<Value> floats = DecodeBlock(Kind::Float, area, 2);
    ASSERT_EQ(floats.size(), 2u);
    EXPECT_EQ(area.bytes[0], 0x22);
    EXPECT_EQ(floats[1].bits, 0x33334444u);

    EncodeBlock({{Kind::TsStatus, 1, ""}, {Kind::TsStatus, 0, ""}, {Kind::TsStatus, 1, ""}}, area);
    std::vector<Value> flags = DecodeBlock(Kind::TsStatus, area, 3);
    ASSERT_EQ(flags.size(), 3u);
    EXPECT_EQ(flags[0].bits, 1u);
    EXPECT_EQ(area.bytes[2], 0); // one cell per flag
    EXPECT_EQ(flags[2].bits, 1u);
}

TEST(ValueArea, ABlockLargerThanTheAreaStopsAtItsEnd) {
    ValueArea area;
    EXPECT_EQ(DecodeBlock(Kind::Float, area, 100000).size(), ValueArea::SIZE / 4);
    std::vector<Value> many(5000, Value{Kind::Word, 7, ""});
    EncodeBlock(many, area); // must not write past the area
    EXPECT_EQ(DecodeBlock(Kind::Word, area, 2048).back().bits, 7u);
}

} // namespace
} // namespace kelomr
