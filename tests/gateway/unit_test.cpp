// Unit handles, station texts, header composition and the checks every
// operation makes before it touches a unit.
#include <cerrno>
#include <cstring>
#include <functional>
#include <string>

#include "tests/gateway/gateway_fixture.h"

namespace {

using UnitTest = GatewayTest;

struct Operation {
    const char *name;
    std::function<int32_t(GwUnitHandle)> call;
};

const Operation OPERATIONS[] = {
    {"GwSend",
     [](GwUnitHandle unit) {
         uint8_t header[20] = {};
         return GwSend(unit, header, READ_DM100.data(), 8);
     }},
    {"GwReceive",
     [](GwUnitHandle unit) {
         uint8_t header[20];
         uint8_t response[64];
         return GwReceive(unit, header, response, sizeof response, 10);
     }},
    {"GwCloseUnit", [](GwUnitHandle unit) { return GwCloseUnit(unit); }},
    {"GwUnitCounters",
     [](GwUnitHandle unit) {
         GwCounters counters;
         return GwUnitCounters(unit, &counters);
     }},
};

TEST_F(UnitTest, ZeroUnknownAndClosedHandlesAreRefused) {
    UseRoutes(UdpRoute("0.1", 9600));
    GwUnitHandle closed = GwOpenUnit("0.1.0");
    ASSERT_NE(closed, 0u) << GwLastErrorText();
    ASSERT_EQ(GwCloseUnit(closed), 0);
    GwUnitHandle live = Open("0.1.0"); // takes the closed handle's slot again
    ASSERT_NE(live, 0u);
    EXPECT_NE(live, closed);
    for (GwUnitHandle handle : {0u, closed, 0x12345678u, live + 1, live ^ 0x10000u}) {
        for (const Operation &operation : OPERATIONS) {
            SCOPED_TRACE(std::string(operation.name) + " on " + std::to_string(handle));
            errno = 0;
            EXPECT_EQ(operation.call(handle), -1);
            EXPECT_EQ(errno, EBADF);
        }
    }
    EXPECT_EQ(Counters(live).sent, 0u) << "the live unit is untouched";
}

TEST_F(UnitTest, StationTextIsParsedStrictly) {
    UseRoutes(UdpRoute("0.1", 9600) + UdpRoute("255.255", 9600) + UdpRoute("7.1", 9600));
    for (const char *good : {"0.1.0", "0.1.255", "255.255.255", "007.1.0", "7.001.16"}) {
        EXPECT_NE(Open(good), 0u) << good << ": " << GwLastErrorText();
    }
    for (const char *bad : {"", "0.1", "0.1.0.0", "0.1.256", "1.300.0", " 0.1.0", "0.1.0 ", "+0.1.0", "0.-1.0", "0..1",
                            "0.1.", ".0.1", "a.b.c", "0.1.0x", "0x0.1.0", "0000.1.0", "0,1,0", "0.1.0\n"}) {
        SCOPED_TRACE(std::string("'") + bad + "'");
        errno = 0;
        EXPECT_EQ(Open(bad), 0u);
        EXPECT_EQ(errno, EINVAL);
        EXPECT_NE(std::string(GwLastErrorText()).find("bad station address"), std::string::npos);
    }
    errno = 0;
    EXPECT_EQ(GwOpenUnit(nullptr), 0u);
    EXPECT_EQ(errno, EINVAL);
}

TEST_F(UnitTest, ComposedHeaderCarriesDestinationLocalAddressAndServiceIds) {
    ASSERT_EQ(LoadRouting("local 3.44.5\n"), 0) << GwLastErrorText();
    const uint8_t destination[3] = {1, 0x2C, 0};
    uint8_t first[20];
    uint8_t second[20];
    std::memset(first, 0xEE, sizeof first);
    ASSERT_EQ(GwComposeHeader(first, 0, destination, -1), 0);
    ASSERT_EQ(GwComposeHeader(second, 0, destination, -1), 0);
    EXPECT_EQ(Hex(Bytes(first, first + 9)), "80 00 02 01 2C 00 03 2C 05");
    EXPECT_EQ(Hex(Bytes(first + 10, first + 20)), "00 00 00 00 00 00 00 00 00 00");
    EXPECT_EQ(static_cast<uint8_t>(second[9] - first[9]), 1) << "-1 takes the next service id";

    struct Given {
        int32_t serviceId;
        uint8_t sid;
    };
    for (Given given : {Given{0, 0x00}, Given{0x42, 0x42}, Given{0x1234, 0x34}, Given{-2, 0xFE}}) {
        ASSERT_EQ(GwComposeHeader(first, 0, destination, given.serviceId), 0);
        EXPECT_EQ(first[9], given.sid) << given.serviceId;
    }
}

TEST_F(UnitTest, ComposeWithoutBuffersOrRoutingFails) {
    UseRoutes("");
    uint8_t header[20];
    const uint8_t destination[3] = {0, 1, 0};
    errno = 0;
    EXPECT_EQ(GwComposeHeader(nullptr, 0, destination, -1), -1);
    EXPECT_EQ(errno, EFAULT);
    EXPECT_EQ(GwComposeHeader(header, 0, nullptr, -1), -1);
    setenv("FINSGW_CONFIG", (directory_ + "/absent.conf").c_str(), 1);
    ASSERT_EQ(GwOpenService(1, 0), -1);
    errno = 0;
    EXPECT_EQ(GwComposeHeader(header, 0, destination, -1), -1) << "no local address known";
    EXPECT_EQ(errno, ENOENT);
}

TEST_F(UnitTest, SendAndReceiveCheckTheirArguments) {
    UseRoutes(UdpRoute("0.1", 9600));
    GwUnitHandle unit = Open("0.1.0");
    ASSERT_NE(unit, 0u);
    uint8_t header[20] = {};
    uint8_t response[16];
    uint8_t big[2100] = {};
    struct Case {
        const char *name;
        std::function<int32_t()> call;
        int error;
    };
    const Case cases[] = {
        {"send without header", [&] { return GwSend(unit, nullptr, READ_DM100.data(), 8); }, EFAULT},
        {"send without command", [&] { return GwSend(unit, header, nullptr, 8); }, EFAULT},
        {"send of one byte", [&] { return GwSend(unit, header, READ_DM100.data(), 1); }, EINVAL},
        {"send of negative length", [&] { return GwSend(unit, header, READ_DM100.data(), -8); }, EINVAL},
        {"send beyond the largest frame", [&] { return GwSend(unit, header, big, 2003); }, EMSGSIZE},
        {"receive before any send", [&] { return GwReceive(unit, header, response, sizeof response, 10); }, EINVAL},
        {"receive without header", [&] { return GwReceive(unit, nullptr, response, sizeof response, 10); }, EFAULT},
        {"receive without buffer", [&] { return GwReceive(unit, header, nullptr, sizeof response, 10); }, EFAULT},
        {"receive with negative capacity", [&] { return GwReceive(unit, header, response, -1, 10); }, EINVAL},
        {"receive with negative time-out", [&] { return GwReceive(unit, header, response, 16, -1); }, EINVAL},
        {"counters without buffer", [&] { return GwUnitCounters(unit, nullptr); }, EFAULT},
    };
    for (const Case &check : cases) {
        SCOPED_TRACE(check.name);
        errno = 0;
        EXPECT_EQ(check.call(), -1);
        EXPECT_EQ(errno, check.error);
    }
    EXPECT_EQ(GwReceive(unit, header, response, sizeof response, 10), -1);
    EXPECT_EQ(std::string(GwLastErrorText()), "unit 0.1.0: no command awaits an answer");
    EXPECT_EQ(Counters(unit).sent, 0u);
}

} // namespace
