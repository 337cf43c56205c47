// A host's bad record gets a result code, never a crash or a write outside
// the records it handed over. Run under the sanitizers, which see any read
// or write past the exactly sized records.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "host/kelhost.h"
#include "tests/support/driver_fixture.h"

namespace {

constexpr uint8_t GUARD = 0xA5;
constexpr size_t GUARD_SIZE = 64;
constexpr size_t VALUE_AREA_SIZE = 4096;

// A record of the host with guard bytes on both sides.
template <typename Record> struct Guarded {
    uint8_t before[GUARD_SIZE];
    Record record;
    uint8_t after[GUARD_SIZE];

    explicit Guarded(const Record &value) : record(value) {
        std::memset(before, GUARD, sizeof before);
        std::memset(after, GUARD, sizeof after);
    }
    bool Intact() const {
        for (size_t i = 0; i < GUARD_SIZE; ++i) {
            if (before[i] != GUARD || after[i] != GUARD) {
                return false;
            }
        }
        return true;
    }
};

bool IsResultCode(int32_t result) {
    return result == RC_OK || result == RC_ITEM_ERROR || result == RC_LINK_ERROR;
}

class BadHostRecords : public DriverTest {
  protected:
    void SetUp() override {
        DriverTest::SetUp();
        StartWith("01=0.1.0\n02=0.2.0\n02=CS1\n");
        KelHostSetLogLevels(0);
    }
};

// Transfers: a sample of the product of garbage fields, every transfer code,
// with and without a complete answer from the controller.
TEST_F(BadHostRecords, TransfersWithGarbageFields) {
    const int32_t functions[] = {FN_READ_TAG, FN_READ_BLOCK, FN_WRITE_TAG, FN_WRITE_BLOCK};
    const int32_t stations[] = {0, 1, 2, 3, 99, 100, 200, -1, INT32_MAX};
    const int32_t areas[] = {0, 1, 7, 25, 26, 99, 0x201, 0x101, 0x401, 0x7FF, -1};
    const int32_t addresses[] = {0, 100, 65535, 70000, -1, 1 << 30, 200 | 80 << 24, 10 | 255 << 24};
    const int32_t bits[] = {NO_BIT, 0, 15, 16, 99, -1};
    const int32_t widths[] = {16, 32, 8, 0, -5};
    const int32_t counts[] = {-1, 0, 1, 10, 500, 1022, 1023, 100000, INT32_MIN};
    const std::string longText(300, 'T');
    const char *texts[] = {nullptr, "01DM00100", longText.c_str()};
    std::mt19937 pick(20261211);
    auto any = [&pick](const auto &choices) { return choices[pick() % std::size(choices)]; };

    std::vector<uint8_t> area(GUARD_SIZE + VALUE_AREA_SIZE + GUARD_SIZE);
    int seen[3] = {0, 0, 0};
    for (int run = 0; run < 4000; ++run) {
        IoRequest request{};
        request.tagText = any(texts);
        request.tag = {any(stations), any(areas), any(addresses), any(bits), any(widths)};
        request.count = any(counts);
        bool noValues = pick() % 8 == 0;
        request.values = noValues ? nullptr : area.data() + GUARD_SIZE;
        int32_t function = any(functions);
        std::fill(area.begin(), area.end(), GUARD);
        fakeGateway.Reset();
        if (pick() % 2 == 0) {
            fakeGateway.RespondWith(0, std::vector<uint8_t>(RESPONSE_SIZE - 4, 0x11));
            fakeGateway.RespondWith(0, std::vector<uint8_t>(RESPONSE_SIZE - 4, 0x22));
        }
        Guarded<IoRequest> host(request);
        int32_t result = Call(function, &host.record);
        SCOPED_TRACE("run " + std::to_string(run) + " function " + std::to_string(function) + " station " +
                     std::to_string(request.tag.station) + " area " + std::to_string(request.tag.areaFlags) +
                     " address " + std::to_string(request.tag.address) + " count " + std::to_string(request.count));
        ASSERT_TRUE(IsResultCode(result)) << result;
        ++seen[result];
        ASSERT_TRUE(host.Intact()) << "a write beside the IoRequest";
        for (size_t i = 0; i < GUARD_SIZE; ++i) {
            ASSERT_EQ(area[i], GUARD) << "a write before the value area";
            ASSERT_EQ(area[area.size() - 1 - i], GUARD) << "a write past the value area";
        }
        ASSERT_EQ(host.record.values, request.values) << "the value area reference handed back";
    }
    // The sample reaches every outcome, not only the refusals.
    EXPECT_GT(seen[RC_OK], 0);
    EXPECT_GT(seen[RC_ITEM_ERROR], 0);
    EXPECT_GT(seen[RC_LINK_ERROR], 0);
}

TEST_F(BadHostRecords, AddressChecksWithGarbageFields) {
    const std::string longText(5000, '1');
    const char *texts[] = {nullptr, "", "01DM00100", "99EF12345", "01DM00100S80", "\xff\xfe", longText.c_str()};
    for (const char *text : texts) {
        for (int32_t valueType : {INT32_MIN, -1, 0, 3, 4, 6, 7, 255, INT32_MAX}) {
            for (int32_t count : {INT32_MIN, -1, 0, 500, 100000}) {
                for (int32_t function : {FN_CHECK_TAG, FN_CHECK_BLOCK}) {
                    TagDefinition definition{};
                    definition.addressText = text;
                    definition.valueType = valueType;
                    definition.count = count;
                    Guarded<TagDefinition> host(definition);
                    int32_t result = Call(function, &host.record);
                    ASSERT_TRUE(result == RC_OK || result == RC_ITEM_ERROR) << result;
                    ASSERT_TRUE(host.Intact());
                }
            }
        }
    }
}

// Every code with a block of garbage bytes where its parameter block should
// be, and with a null one.
TEST_F(BadHostRecords, EveryFunctionCodeWithGarbageParameters) {
    for (int32_t function = -1; function <= 16; ++function) {
        SCOPED_TRACE(function);
        for (uint8_t fill : {0x00, 0x5A, 0xFF}) {
            if (function == FN_START || function == FN_READ_TAG || function == FN_READ_BLOCK ||
                function == FN_WRITE_TAG || function == FN_WRITE_BLOCK || function == FN_CHECK_TAG ||
                function == FN_CHECK_BLOCK) {
                continue; // their references come from the host: covered above with valid references
            }
            struct Garbage {
                uint8_t bytes[64];
            } garbage;
            std::memset(garbage.bytes, fill, sizeof garbage.bytes);
            Guarded<Garbage> host(garbage);
            fakeGateway.Reset();
            EXPECT_TRUE(IsResultCode(Call(function, &host.record)));
            EXPECT_TRUE(host.Intact());
        }
        EXPECT_TRUE(IsResultCode(Call(function, nullptr)));
        CallBlock noInstance{nullptr, function, 1, 0, nullptr};
        EXPECT_TRUE(IsResultCode(KelMain(&noInstance)));
    }
}

TEST_F(BadHostRecords, StartWithExtremeParameters) {
    for (int32_t enabled : {0, 1, -1, INT32_MIN}) {
        for (int32_t timeout : {INT32_MIN, -1, 0, 10, INT32_MAX}) {
            StartParams params{};
            params.enabled = enabled;
            params.timeout = timeout;
            Guarded<StartParams> host(params);
            EXPECT_EQ(Call(FN_START, &host.record, INT32_MIN), RC_OK);
            EXPECT_TRUE(host.Intact());
            EXPECT_GT(instance->receiveTimeout, 0);
        }
    }
}

} // namespace
