// Texts outside the address syntax: whatever a host hands over is refused
// with nothing written, and never read or copied beyond its terminator or
// beyond the twelve positions of an address.
#include <gtest/gtest.h>

#include <string>

#include "tests/address/address_check.h"

namespace {

using AddressTextTest = AddressCheckTest;

const Expected UNTOUCHED = {RC_ITEM_ERROR, KEPT, KEPT, KEPT, KEPT, KEPT};

TEST_F(AddressTextTest, TextsOutsideTheSyntaxWriteNothing) {
    const std::string longText = "01DM00100" + std::string(4096, ' ');
    const std::string text13 = "01DM00100 12 ";
    const std::string longValid = "01DM0010005" + std::string(100, '9');
    for (int32_t function : {FN_CHECK_TAG, FN_CHECK_BLOCK}) {
        SCOPED_TRACE(function);
        ExpectTable(function, {
                                  {"", ANY_TYPE, UNTOUCHED},
                                  {"01DM00100\t", ANY_TYPE, UNTOUCHED},
                                  {"01DM00100S\t4", ANY_TYPE, UNTOUCHED},
                                  {"01DM0010\xE9", ANY_TYPE, UNTOUCHED},
                                  {"\xF0\x31"
                                   "1DM00100",
                                   ANY_TYPE, UNTOUCHED},
                                  {"01DM-0100", ANY_TYPE, UNTOUCHED},
                                  {"01DM+0100", ANY_TYPE, UNTOUCHED},
                                  {"01DM00100S-2", ANY_TYPE, UNTOUCHED},
                                  {"01DM00100 9X", ANY_TYPE, UNTOUCHED},
                                  // Longer than the twelve positions: refused, not judged by a
                                  // prefix that would make a valid address.
                                  {text13.c_str(), ANY_TYPE, UNTOUCHED},
                                  {longText.c_str(), ANY_TYPE, UNTOUCHED},
                                  {longValid.c_str(), ANY_TYPE, UNTOUCHED},
                              });
    }
}

TEST_F(AddressTextTest, NullTextIsRefused) {
    for (int32_t function : {FN_CHECK_TAG, FN_CHECK_BLOCK}) {
        TagAddress tag{};
        EXPECT_EQ(Check(function, nullptr, 0, 1, &tag), RC_ITEM_ERROR);
        ExpectFields(tag, UNTOUCHED);
    }
}

// Each check starts from its own text: nothing of a longer text before it
// stays in the positions a shorter one leaves empty.
TEST_F(AddressTextTest, ChecksDoNotInheritTheTextBefore) {
    struct Case {
        const char *before;
        int32_t beforeType;
        const char *text;
        int32_t valueType;
        Expected expected;
    };
    const Case cases[] = {
        {"01DM00200S20", TYPE_TEXT, "01DM00100", TYPE_TEXT, {RC_OK, 1, 1, 100, 255, 16}},
        {"01DM0010005", TYPE_BIT, "01DM00100", TYPE_BIT, {RC_ITEM_ERROR, 1, 1, 100, 255, 16}},
        {"01DM00100F", TYPE_FLOAT, "01DM00100", TYPE_FLOAT, {RC_ITEM_ERROR, 1, 1, 100, 255, 16}},
        {"01DM00200S4", TYPE_TEXT, "01DM00200S", TYPE_TEXT, {RC_ITEM_ERROR, 1, 1, 200, 255, 16}},
        {"01DM00100", 0, nullptr, 0, UNTOUCHED},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.before);
        TagAddress tag{};
        Check(FN_CHECK_TAG, c.before, c.beforeType, 1, &tag);
        EXPECT_EQ(Check(FN_CHECK_TAG, c.text, c.valueType, 1, &tag), c.expected.result);
        ExpectFields(tag, c.expected);
    }
}

} // namespace
