#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "driver/call_blocks.h"

namespace {

DriverInfo Ask() {
    DriverInfo info;
    std::memset(&info, 0xEE, sizeof info);
    CallBlock block{nullptr, FN_DRIVER_INFO, 0, 0, &info};
    EXPECT_EQ(KelMain(&block), RC_OK);
    return info;
}

TEST(DriverInfo, RecordWithoutInstance) {
    DriverInfo info = Ask();
    EXPECT_EQ(info.driverId, 82);
    EXPECT_STREQ(info.description, "Omron General purpose");
    EXPECT_EQ(info.instanceSize, 6624);
    EXPECT_EQ(info.field16, 1);
    EXPECT_EQ(info.field28, 3);
    for (uint8_t byte : info.hostBytes) {
        EXPECT_EQ(byte, 0xEE) << "bytes +20 to +27 belong to the host";
    }
}

TEST(DriverInfo, BannerFrame) {
    const std::string banner = Ask().banner;
    ASSERT_EQ(banner.size(), 391u);
    ASSERT_EQ(banner.front(), '\n');
    std::vector<std::string> lines;
    for (size_t start = 1; start < banner.size();) {
        size_t end = banner.find('\n', start);
        ASSERT_NE(end, std::string::npos);
        lines.push_back(banner.substr(start, end - start));
        start = end + 1;
    }
    ASSERT_EQ(lines.size(), 6u);
    for (const std::string &line : lines) {
        EXPECT_EQ(line.size(), 64u) << line;
        EXPECT_EQ(line[0], ' ');
    }
    EXPECT_EQ(lines[0], " \xC9" + std::string(61, '\xCD') + "\xBB");
    EXPECT_EQ(lines[1], " \xBA " + std::string(5, '\xDB') + std::string(6, '\xB2') + std::string(6, '\xB1') +
                            std::string(6, '\xB0') + " K E L O M R " + std::string(6, '\xB0') +
                            std::string(6, '\xB1') + std::string(6, '\xB2') + std::string(5, '\xDB') + " \xBA");
    EXPECT_EQ(lines[2], " \xBA" + std::string(9, ' ') + "OMRON , General purpose ,driver Installed." +
                            std::string(10, ' ') + "\xBA");
    EXPECT_EQ(lines[3], " \xBA" + std::string(14, ' ') + "FinsGateway API's , General purpose" +
                            std::string(12, ' ') + "\xBA");
    EXPECT_EQ(lines[4].substr(0, 2), " \xBA");
    EXPECT_EQ(lines[4].back(), '\xBA');
    EXPECT_NE(lines[4].find("Version " KELOMR_VERSION " for Linux"), std::string::npos);
    EXPECT_EQ(lines[5], " \xC8" + std::string(61, '\xCD') + "\xBC");
}

TEST(DriverInfo, TextsStayTheSameAcrossCalls) {
    DriverInfo first = Ask();
    DriverInfo second = Ask();
    EXPECT_EQ(first.banner, second.banner);
    EXPECT_EQ(first.description, second.description);
}

} // namespace
