// A started-instance fixture for unit tests through KelMain: a fresh current
// directory for the station file, a zero-filled InstanceData, the fake
// gateway reset, and the log texts the host's sink receives.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "driver/call_blocks.h"
#include "tests/support/fake_gateway.h"
#include "tests/support/fake_pause.h"

struct LogEntry {
    int level;
    std::string text;
    bool operator==(const LogEntry &other) const { return level == other.level && text == other.text; }
};
void PrintTo(const LogEntry &entry, std::ostream *out);

class DriverTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Writes kelOMRnn.int into the fixture's current directory.
    void WriteStationFile(const std::string &contents, int instanceNumber = 1);
    // FN_START with enabled 1 and the given time-out (units of 10 ms).
    int32_t Start(int32_t timeout = 10, int instanceNumber = 1);
    // Writes the station file, starts, and forgets the start's log and calls.
    void StartWith(const std::string &stationFile, int32_t timeout = 10);
    int32_t Call(int32_t function, void *params, int instanceNumber = 1);
    std::vector<std::string> LogTexts() const;

    InstanceData *instance = nullptr;
    std::vector<LogEntry> log;

private:
    std::string directory_;
    std::string previousDirectory_;
};
