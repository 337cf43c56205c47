// What kelomr derives from a tag address before and after the driver's check:
// the value type it passes, the addresses of a block's items, the kind of the
// parsed address, the reason it gives for a refusal, and the code page 437
// banner as it is drawn.
#include <gtest/gtest.h>

#include "host/cli/cp437.h"
#include "host/cli/tag_diagnosis.h"
#include "host/cli/tag_kind.h"

namespace kelomr {
namespace {

TEST(ValueTypeForText, FollowsTheSuffix) {
    struct Case {
        const char *text;
        int valueType;
    } cases[] = {
        {"01DM00100", TYPE_PLAIN},  {"01DM00100F", TYPE_FLOAT},   {"01dm00100f", TYPE_FLOAT},
        {"01DM00100B", TYPE_LONG},  {"01DM00100S20", TYPE_TEXT},  {"01DM0010015", TYPE_BIT},
        {"01DM001001", TYPE_PLAIN}, {"01DM00100 12", TYPE_PLAIN}, {"", TYPE_PLAIN},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(ValueTypeForText(c.text), c.valueType) << c.text;
    }
}

TEST(ParseValueTypeName, NamesAndNumbers) {
    EXPECT_EQ(ParseValueTypeName("float"), TYPE_FLOAT);
    EXPECT_EQ(ParseValueTypeName("bit"), TYPE_BIT);
    EXPECT_EQ(ParseValueTypeName("word"), TYPE_PLAIN);
    EXPECT_EQ(ParseValueTypeName("12"), 12);
    EXPECT_FALSE(ParseValueTypeName("double"));
    EXPECT_FALSE(ParseValueTypeName("-3"));
    EXPECT_FALSE(ParseValueTypeName("1234567890"));
}

TEST(KindOf, DecidedInTheDriversOrder) {
    struct Case {
        TagAddress address;
        Kind kind;
    } cases[] = {
        {{1, 1, 100, NO_BIT, 16}, Kind::Word},
        {{1, 1, 100, 5, 16}, Kind::Bit},
        {{1, 7, 5, NO_BIT, 16}, Kind::TsStatus},
        {{1, 7, 5, 0, 16}, Kind::Bit},
        {{1, 1 | FMT_FLOAT32, 50, NO_BIT, 32}, Kind::Float},
        {{1, 1 | FMT_BCD32, 50, NO_BIT, 32}, Kind::Bcd},
        {{1, 4 | FMT_TEXT, 10 | 10 << 24, NO_BIT, 8}, Kind::Text},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(KindOf(c.address), c.kind) << c.address.areaFlags;
    }
    EXPECT_EQ(TextLength({1, 4 | FMT_TEXT, 10 | 80 << 24, NO_BIT, 8}), 80);
}

TEST(ItemTagText, StepsByTheItemsWidth) {
    EXPECT_EQ(ItemTagText("01DM00100", Kind::Word, 0), "01DM00100");
    EXPECT_EQ(ItemTagText("01DM00100", Kind::Word, 3), "01DM00103");
    EXPECT_EQ(ItemTagText("01dm00100f", Kind::Float, 2), "01dm00104f");
    EXPECT_EQ(ItemTagText("01DM99999", Kind::Word, 1), "01DM99999+1");
}

bool OnlyStationOneConfigured(int station) {
    return station == 1;
}

struct RefusalCase {
    const char *text;
    int valueType;
    bool block;
    int count;
    const char *reasonPart;
};

void PrintTo(const RefusalCase &c, std::ostream *out) {
    *out << c.text << (c.block ? " block" : "");
}

class ExplainRefusalTest : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(ExplainRefusalTest, NamesTheRuleThatFailed) {
    const RefusalCase &c = GetParam();
    RefusalContext context;
    context.valueType = c.valueType;
    context.block = c.block;
    context.count = c.count;
    context.stationConfigured = OnlyStationOneConfigured;
    context.stationFile = "kelOMR01.int";
    std::string reason = ExplainRefusal(c.text, context);
    EXPECT_NE(reason.find(c.reasonPart), std::string::npos) << c.text << ": " << reason;
}

INSTANTIATE_TEST_SUITE_P(Rules, ExplainRefusalTest,
                         ::testing::Values(RefusalCase{"01DM0010", TYPE_PLAIN, false, 0, "shorter than 9"},
                                           RefusalCase{"01DM00100S2000", TYPE_TEXT, false, 0, "longer than 12"},
                                           RefusalCase{"1XDM00100", TYPE_PLAIN, false, 0, "two digits"},
                                           RefusalCase{"01DX00100", TYPE_PLAIN, false, 0, "unknown area 'DX'"},
                                           RefusalCase{"01dq00100", TYPE_PLAIN, false, 0, "unknown area 'DQ'"},
                                           RefusalCase{"01DM0A100", TYPE_PLAIN, false, 0, "character 6"},
                                           RefusalCase{"01DM00100X", TYPE_PLAIN, false, 0, "unknown suffix 'X'"},
                                           RefusalCase{"00DM00100", TYPE_PLAIN, false, 0, "station 00"},
                                           RefusalCase{"02DM00100", TYPE_PLAIN, false, 0,
                                                       "station 02 is not configured in kelOMR01.int"},
                                           RefusalCase{"01HR00100F", TYPE_FLOAT, false, 0, "DM only"},
                                           RefusalCase{"01DM00101B", TYPE_LONG, false, 0, "even word address"},
                                           RefusalCase{"01DM00100S21", TYPE_TEXT, false, 0, "even, 2 to 80"},
                                           RefusalCase{"01DM00100S", TYPE_TEXT, false, 0, "even, 2 to 80"},
                                           RefusalCase{"01DM00100S82", TYPE_TEXT, false, 0, "even, 2 to 80"},
                                           RefusalCase{"01DM00100S20", TYPE_PLAIN, false, 0, "value type text"},
                                           RefusalCase{"01DM00100F", TYPE_LONG, false, 0, "value type float"},
                                           RefusalCase{"01DM00100", TYPE_FLOAT, false, 0, "suffix F"},
                                           RefusalCase{"01DM00100", TYPE_BIT, false, 0, "needs a bit number"},
                                           RefusalCase{"01DM0010005", TYPE_PLAIN, false, 0, "value type bit"},
                                           RefusalCase{"01DM0010016", TYPE_BIT, false, 0, "00 to 15"},
                                           RefusalCase{"01DM00100", TYPE_PLAIN, true, 501, "at most 500"},
                                           RefusalCase{"01DM00100F", TYPE_FLOAT, true, 251, "at most 250"},
                                           RefusalCase{"01DM0010005", TYPE_BIT, true, 2, "single bits"},
                                           RefusalCase{"01DM00100S20", TYPE_TEXT, true, 2, "texts cannot"}));

TEST(Cp437ToUtf8, DrawsTheBannersCharacters) {
    EXPECT_EQ(Cp437ToUtf8("\xC9\xCD\xBB\n"), "╔═╗\n");
    EXPECT_EQ(Cp437ToUtf8("\xBA \xDB\xB2\xB1\xB0 K"), "║ █▓▒░ K");
    EXPECT_EQ(Cp437ToUtf8("\xC8\xBC\x80\xFF"), "╚╝Ç\u00A0");
}

} // namespace
} // namespace kelomr
