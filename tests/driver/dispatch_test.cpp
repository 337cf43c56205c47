#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "tests/support/driver_fixture.h"

namespace {

class DispatchTest : public DriverTest {};

// Function codes without a handler are refused and leave every record as the
// host gave it.
TEST_F(DispatchTest, CodesWithoutHandlerAreRefusedAndTouchNothing) {
    for (int32_t function : {0, 8, 9, 16, -1, 1000, INT32_MIN, INT32_MAX}) {
        SCOPED_TRACE(function);
        std::memset(instance, 0x5A, sizeof *instance);
        std::vector<uint8_t> before(reinterpret_cast<uint8_t *>(instance),
                                    reinterpret_cast<uint8_t *>(instance) + sizeof *instance);
        uint8_t params[64];
        std::memset(params, 0x33, sizeof params);
        EXPECT_EQ(Call(function, params), RC_ITEM_ERROR);
        EXPECT_EQ(0, std::memcmp(before.data(), instance, sizeof *instance));
        for (uint8_t byte : params) {
            ASSERT_EQ(byte, 0x33);
        }
    }
    EXPECT_TRUE(fakeGateway.calls.empty());
    EXPECT_TRUE(log.empty());
}

TEST_F(DispatchTest, NullCallBlockIsRefused) { EXPECT_EQ(KelMain(nullptr), RC_ITEM_ERROR); }

// A null reference where the code needs one is refused before any handler
// runs; FN_NOP and FN_DRIVER_INFO need no instance.
TEST_F(DispatchTest, NullReferencesWhereNeededAreRefused) {
    struct Case {
        int32_t function;
        bool needsInstance;
        bool needsParams;
    };
    const Case cases[] = {
        {FN_START, true, true},       {FN_CHECK_TAG, true, true},   {FN_CHECK_BLOCK, true, true},
        {FN_READ_TAG, true, true},    {FN_READ_BLOCK, true, true},  {FN_WRITE_TAG, true, true},
        {FN_WRITE_BLOCK, true, true}, {FN_STOP, true, false},       {FN_CLOSE_PORT, true, false},
        {FN_OPEN_PORT, true, false},  {FN_DRIVER_INFO, false, true}, {FN_SET_PORT, true, true},
    };
    uint8_t params[64] = {};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.function);
        if (c.needsInstance) {
            CallBlock block{nullptr, c.function, 1, 0, params};
            EXPECT_EQ(KelMain(&block), RC_ITEM_ERROR);
        }
        if (c.needsParams) {
            CallBlock block{instance, c.function, 1, 0, nullptr};
            EXPECT_EQ(KelMain(&block), RC_ITEM_ERROR);
        }
    }
    EXPECT_TRUE(fakeGateway.calls.empty());
}

TEST_F(DispatchTest, NoOperationNeedsNothingAndChangesNothing) {
    CallBlock empty{nullptr, FN_NOP, 0, 0, nullptr};
    EXPECT_EQ(KelMain(&empty), RC_OK);
    std::memset(instance, 0x77, sizeof *instance);
    uint8_t params[16];
    std::memset(params, 0x11, sizeof params);
    EXPECT_EQ(Call(FN_NOP, params), RC_OK);
    for (size_t i = 0; i < sizeof *instance; ++i) {
        ASSERT_EQ(reinterpret_cast<uint8_t *>(instance)[i], 0x77);
    }
    EXPECT_EQ(params[0], 0x11);
}

} // namespace
