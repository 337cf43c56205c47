// FN_CHECK_BLOCK: the parse without value-type rules, then the block limits.
#include <gtest/gtest.h>

#include <climits>

#include "tests/address/address_check.h"

namespace {

using BlockCheckTest = AddressCheckTest;

TEST_F(BlockCheckTest, LimitsAndRules) {
    ExpectTable(FN_CHECK_BLOCK, {
                                    {"01DM00100", OTHER_TYPES, {RC_OK, 1, 1, 100, 255, 16}, 500},
                                    {"01DM00100", OTHER_TYPES, {RC_ITEM_ERROR, 1, 1, 100, 255, 16}, 501},
                                    {"01DM00100", OTHER_TYPES, {RC_OK, 1, 1, 100, 255, 16}, 0},
                                    {"01DM00100", FLOAT, {RC_OK, 1, 1, 100, 255, 16}, 300},
                                    {"01DM00100", BIT, {RC_OK, 1, 1, 100, 255, 16}, 10},
                                    {"01DM00100F", LONG, {RC_OK, 1, 0x201, 50, 255, 32}, 250},
                                    {"01DM00100F", FLOAT, {RC_ITEM_ERROR, 1, 0x201, 50, 255, 32}, 251},
                                    {"01DM00100B", ANY_TYPE, {RC_ITEM_ERROR, 1, 0x101, 50, 255, 32}, 300},
                                    {"01DM00101F", ANY_TYPE, {RC_ITEM_ERROR, 1, 0x201, 101, 255, 32}, 2},
                                    {"01DM0010005", BIT, {RC_ITEM_ERROR, 1, 1, 100, 255, 16}, 1},
                                    {"01DM00200S20", TEXT, {RC_ITEM_ERROR, 1, 0x401, WithLength(200, 20), 255, 8}, 1},
                                    {"01DM00200S20", OTHER_TYPES, {RC_ITEM_ERROR, 1, 1, 200, 255, 16}, 1},
                                    // count is signed: a negative count is no huge one.
                                    {"01DM00100", OTHER_TYPES, {RC_OK, 1, 1, 100, 255, 16}, -1},
                                    {"01DM00100B", ANY_TYPE, {RC_OK, 1, 0x101, 50, 255, 32}, INT_MIN},
                                    {"01DM00100B", BIT, {RC_OK, 1, 0x101, 50, 255, 32}, 250},
                                    {"01DM00100", OTHER_TYPES, {RC_ITEM_ERROR, 1, 1, 100, 255, 16}, INT_MAX},
                                    // The parse refuses here before any limit is looked at.
                                    {"02DM00100", ANY_TYPE, {RC_ITEM_ERROR, 2, 0, KEPT, 255, 16}, 1},
                                    {"01HR00100B", ANY_TYPE, {RC_ITEM_ERROR, 1, 4, 100, 255, 16}, 1},
                                    {"01DM00200S 3", TEXT, {RC_ITEM_ERROR, 1, 1, 200, 255, 16}, 1},
                                    {"01DM0010005", OTHER_TYPES, {RC_ITEM_ERROR, 1, 1, 100, 255, 16}, 1},
                                });
}

// A block check relaxes the value-type rules for its own parse only: a tag
// check afterwards applies them again, whatever the block check answered.
TEST_F(BlockCheckTest, TagCheckAfterABlockCheckKeepsItsRules) {
    struct Case {
        const char *blockText;
        int32_t count;
        int32_t blockResult;
    };
    const Case cases[] = {
        {"01DM00100", 1, RC_OK},
        {"01DM00101F", 1, RC_ITEM_ERROR},  // refused by the parse
        {"01DM00100", 501, RC_ITEM_ERROR}, // refused by a limit
        {"1DM", 1, RC_ITEM_ERROR},         // refused by the template
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.blockText);
        TagAddress tag{};
        ASSERT_EQ(Check(FN_CHECK_BLOCK, c.blockText, TYPE_FLOAT, c.count, &tag), c.blockResult);
        EXPECT_EQ(Check(FN_CHECK_TAG, "01DM00100", TYPE_FLOAT, 1, &tag), RC_ITEM_ERROR);
        EXPECT_EQ(Check(FN_CHECK_TAG, "01DM0010005", TYPE_BIT, 1, &tag), RC_OK);
        EXPECT_EQ(tag.bit, 5);
    }
}

} // namespace
