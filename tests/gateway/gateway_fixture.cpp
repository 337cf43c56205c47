#include "tests/gateway/gateway_fixture.h"

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>

const Bytes READ_DM100{0x01, 0x01, 0x82, 0x00, 0x64, 0x00, 0x00, 0x01};
const Bytes TO_0_1_0{0, 1, 0};
const Bytes WORD_1234{0x12, 0x34};

long MillisecondsSince(Clock::time_point start) {
    return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

void GatewayTest::SetUp() {
    char pattern[] = "/tmp/finsgw-test-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    directory_ = pattern;
}

void GatewayTest::TearDown() {
    for (GwUnitHandle unit : opened_) {
        GwCloseUnit(unit);
    }
    unsetenv("FINSGW_CONFIG");
    std::filesystem::remove_all(directory_);
}

void GatewayTest::WriteRouting(const std::string &contents) {
    std::ofstream(FilePath(), std::ios::binary) << contents;
}

int32_t GatewayTest::LoadRouting(const std::string &contents) {
    WriteRouting(contents);
    setenv("FINSGW_CONFIG", FilePath().c_str(), 1);
    return GwOpenService(1, 0);
}

void GatewayTest::UseRoutes(const std::string &routes) {
    ASSERT_EQ(LoadRouting("local 0.9.0\n" + routes), 0) << GwLastErrorText();
}

GwUnitHandle GatewayTest::Open(const char *station) {
    GwUnitHandle unit = GwOpenUnit(station);
    if (unit != 0) {
        opened_.push_back(unit);
    }
    return unit;
}

GwUnitHandle GatewayTest::OpenUnit010(const std::string &route) {
    UseRoutes(route);
    GwUnitHandle unit = Open("0.1.0");
    EXPECT_NE(unit, 0u) << GwLastErrorText();
    return unit;
}

void GatewayTest::ExpectWord(GwUnitHandle unit) {
    Exchange got = Run(unit, TO_0_1_0);
    ASSERT_EQ(got.result, 6) << got.errorText;
    EXPECT_EQ(Hex(got.response), "01 01 00 00 12 34");
}

Exchange GatewayTest::Run(GwUnitHandle unit, const Bytes &destination, const Bytes &command, int32_t timeoutMs) {
    uint8_t header[20];
    EXPECT_EQ(GwComposeHeader(header, 0, destination.data(), -1), 0) << GwLastErrorText();
    Exchange sent;
    sent.result = GwSend(unit, header, command.data(), static_cast<int32_t>(command.size()));
    if (sent.result < 0) {
        sent.error = errno;
        sent.errorText = GwLastErrorText();
        return sent;
    }
    return Receive(unit, timeoutMs);
}

Exchange GatewayTest::Receive(GwUnitHandle unit, int32_t timeoutMs) {
    uint8_t header[20] = {};
    uint8_t response[2048] = {};
    Exchange got;
    got.result = GwReceive(unit, header, response, sizeof response, timeoutMs);
    if (got.result < 0) {
        got.error = errno;
        got.errorText = GwLastErrorText();
        return got;
    }
    got.header.assign(header, header + 10);
    got.response.assign(response, response + got.result);
    return got;
}

GwCounters GatewayTest::Counters(GwUnitHandle unit) {
    GwCounters counters{};
    EXPECT_EQ(GwUnitCounters(unit, &counters), 0) << GwLastErrorText();
    return counters;
}

std::string UdpRoute(const std::string &node, uint16_t port) {
    return "route " + node + " udp 127.0.0.1:" + std::to_string(port) + "\n";
}

std::string TcpRoute(const std::string &node, uint16_t port) {
    return "route " + node + " tcp 127.0.0.1:" + std::to_string(port) + "\n";
}
