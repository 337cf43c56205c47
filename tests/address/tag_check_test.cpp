// FN_CHECK_TAG: accepted and refused texts with every field they leave.
#include <gtest/gtest.h>

#include <cstdio>

#include "tests/address/address_check.h"

namespace {

// Far beyond every block limit: a tag check that looked at count would
// refuse every row.
constexpr int32_t UNREAD_COUNT = 100000;

class TagCheckTest : public AddressCheckTest {
  protected:
    void ExpectTagTable(std::vector<CheckCase> cases) {
        for (CheckCase &c : cases) {
            c.count = UNREAD_COUNT;
        }
        ExpectTable(FN_CHECK_TAG, cases);
    }
};

TEST_F(TagCheckTest, AcceptedTexts) {
    ExpectTagTable({
        {"01DM00100", OTHER_TYPES, {RC_OK, 1, 1, 100, 255, 16}},
        {"01dm00100", OTHER_TYPES, {RC_OK, 1, 1, 100, 255, 16}},
        {"01DM00100 12", OTHER_TYPES, {RC_OK, 1, 1, 100, 255, 16}},
        {"01HR00010", LONG, {RC_OK, 1, 4, 10, 255, 16}},
        {"01DM00100", TEXT, {RC_OK, 1, 1, 100, 255, 16}},
        {"01EM00000", OTHER_TYPES, {RC_OK, 1, 9, 0, 255, 16}},
        {"01TS00007", OTHER_TYPES, {RC_OK, 1, 7, 7, 255, 16}},
        {"01EC00001", OTHER_TYPES, {RC_OK, 1, 22, 1, 255, 16}},
        {"99EF12345", OTHER_TYPES, {RC_OK, 99, 25, 12345, 255, 16}},
        {"01DM00100F", FLOAT, {RC_OK, 1, 0x201, 50, 255, 32}},
        {"01DM99998F", FLOAT, {RC_OK, 1, 0x201, 49999, 255, 32}},
        {"01DM00100B", LONG, {RC_OK, 1, 0x101, 50, 255, 32}},
        {"01DM0010005", BIT, {RC_OK, 1, 1, 100, 5, 16}},
        {"01IR0000115", BIT, {RC_OK, 1, 2, 1, 15, 16}},
        {"01DM00100159", BIT, {RC_OK, 1, 1, 100, 15, 16}},
        {"01DM00200S20", TEXT, {RC_OK, 1, 0x401, WithLength(200, 20), 255, 8}},
        {"01DM00200S 4", TEXT, {RC_OK, 1, 0x401, WithLength(200, 4), 255, 8}},
        {"01DM00200S4", TEXT, {RC_OK, 1, 0x401, WithLength(200, 4), 255, 8}},
        {"01HR00010S10", TEXT, {RC_OK, 1, 0x404, WithLength(10, 10), 255, 8}},
        // Further edges: the one-digit length before a space, the bounds of
        // the length, bit 0 as opposed to no bit, folding of every suffix,
        // trailing spaces, and no bound on the word address of its own.
        {"01DM00200S4 ", TEXT, {RC_OK, 1, 0x401, WithLength(200, 4), 255, 8}},
        {"01DM00200S02", TEXT, {RC_OK, 1, 0x401, WithLength(200, 2), 255, 8}},
        {"01EF99999S80", TEXT, {RC_OK, 1, 0x419, WithLength(99999, 80), 255, 8}},
        {"01DM0010000", BIT, {RC_OK, 1, 1, 100, 0, 16}},
        {"01dm00100f", FLOAT, {RC_OK, 1, 0x201, 50, 255, 32}},
        {"01dm00100b", LONG, {RC_OK, 1, 0x101, 50, 255, 32}},
        {"01hr00010s10", TEXT, {RC_OK, 1, 0x404, WithLength(10, 10), 255, 8}},
        {"01DM00100   ", OTHER_TYPES, {RC_OK, 1, 1, 100, 255, 16}},
        {"01DM00100F99", FLOAT, {RC_OK, 1, 0x201, 50, 255, 32}},
        {"01DM70000", OTHER_TYPES, {RC_OK, 1, 1, 70000, 255, 16}},
    });
}

TEST_F(TagCheckTest, RefusedTexts) {
    ExpectTagTable({
        {"1DM00100", ANY_TYPE, {RC_ITEM_ERROR, KEPT, KEPT, KEPT, KEPT, KEPT}},
        {"01DX00100", ANY_TYPE, {RC_ITEM_ERROR, KEPT, KEPT, KEPT, KEPT, KEPT}},
        {"01DM0010", ANY_TYPE, {RC_ITEM_ERROR, KEPT, KEPT, KEPT, KEPT, KEPT}},
        {"01DM00100X", ANY_TYPE, {RC_ITEM_ERROR, KEPT, KEPT, KEPT, KEPT, KEPT}},
        {"00DM00100", ANY_TYPE, {RC_ITEM_ERROR, 0, 0, KEPT, 255, 16}},
        {"02DM00100", ANY_TYPE, {RC_ITEM_ERROR, 2, 0, KEPT, 255, 16}},
        {"01IM00100", ANY_TYPE, {RC_ITEM_ERROR, 1, 0, 100, 255, 16}},
        {"01HR00100F", FLOAT, {RC_ITEM_ERROR, 1, 4, 100, 255, 16}},
        {"01DM00101F", FLOAT, {RC_ITEM_ERROR, 1, 0x201, 101, 255, 32}},
        {"01DM00100F", LONG, {RC_ITEM_ERROR, 1, 0x201, 50, 255, 32}},
        {"01DM00100B", FLOAT, {RC_ITEM_ERROR, 1, 0x101, 50, 255, 32}},
        {"01DM00100", FLOAT, {RC_ITEM_ERROR, 1, 1, 100, 255, 16}},
        {"01DM00100", BIT, {RC_ITEM_ERROR, 1, 1, 100, 255, 16}},
        {"01DM001001", BIT, {RC_ITEM_ERROR, 1, 1, 100, 255, 16}},
        {"01DM0010016", BIT, {RC_ITEM_ERROR, 1, 1, 100, 16, 16}},
        {"01DM0010005", OTHER_TYPES, {RC_ITEM_ERROR, 1, 1, 100, 255, 16}},
        {"01DM00100S20", OTHER_TYPES, {RC_ITEM_ERROR, 1, 1, 100, 255, 16}},
        {"01DM00100S81", TEXT, {RC_ITEM_ERROR, 1, 1, 100, 255, 16}},
        {"01DM00100S 3", TEXT, {RC_ITEM_ERROR, 1, 1, 100, 255, 16}},
        {"01DM00100S00", TEXT, {RC_ITEM_ERROR, 1, 1, 100, 255, 16}},
        {"01DM00100S", TEXT, {RC_ITEM_ERROR, 1, 1, 100, 255, 16}},
        // Further edges: the template admits these area pairs, the suffix
        // rules against the other value types, and a bit of 19.
        {"01DR00100", ANY_TYPE, {RC_ITEM_ERROR, 1, 0, 100, 255, 16}},
        {"01TC00100", ANY_TYPE, {RC_ITEM_ERROR, 1, 0, 100, 255, 16}},
        {"01HR00100B", LONG, {RC_ITEM_ERROR, 1, 4, 100, 255, 16}},
        {"01DM00100F", BIT, {RC_ITEM_ERROR, 1, 0x201, 50, 255, 32}},
        {"01DM00100S20", BIT, {RC_ITEM_ERROR, 1, 1, 100, 255, 16}},
        {"01DM00100S3", TEXT, {RC_ITEM_ERROR, 1, 1, 100, 255, 16}},
        {"01DM00100 1", BIT, {RC_ITEM_ERROR, 1, 1, 100, 255, 16}},
        {"01DM0010019", BIT, {RC_ITEM_ERROR, 1, 1, 100, 19, 16}},
    });
}

// Index i of the area table is the area index of name i; the FINS area
// codes rely on this order.
TEST_F(TagCheckTest, EveryAreaNameGivesItsIndex) {
    const char *const names[] = {"DM", "IR", "LR", "HR", "AR", "IO", "TS", "TV", "EM", "E0", "E1", "E2", "E3",
                                 "E4", "E5", "E6", "E7", "E8", "E9", "EA", "EB", "EC", "ED", "EE", "EF"};
    int32_t index = 1;
    for (const char *name : names) {
        SCOPED_TRACE(name);
        std::string text = std::string("99") + name + "00010";
        TagAddress tag{};
        EXPECT_EQ(Check(FN_CHECK_TAG, text.c_str(), 0, 1, &tag), RC_OK);
        ExpectFields(tag, {RC_OK, 99, index, 10, 255, 16});
        ++index;
    }
}

// Only the configured stations 01 and 99 pass; every two-digit number is
// looked up in the station table without leaving it.
TEST_F(TagCheckTest, OnlyConfiguredStationsPass) {
    for (int station = 0; station <= 99; ++station) {
        SCOPED_TRACE(station);
        char text[16];
        std::snprintf(text, sizeof text, "%02dDM00100", station);
        bool configured = station == 1 || station == 99;
        TagAddress tag{};
        EXPECT_EQ(Check(FN_CHECK_TAG, text, 0, 1, &tag), configured ? RC_OK : RC_ITEM_ERROR);
        EXPECT_EQ(tag.station, station);
    }
}

} // namespace
