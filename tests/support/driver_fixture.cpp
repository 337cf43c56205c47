#include "tests/support/driver_fixture.h"

#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "host/kelhost.h"

namespace {

void CaptureLog(void *context, int level, const char *text) {
    static_cast<std::vector<LogEntry> *>(context)->push_back({level, text});
}

} // namespace

void PrintTo(const LogEntry &entry, std::ostream *out) { *out << "{" << entry.level << ", \"" << entry.text << "\"}"; }

void DriverTest::SetUp() {
    previousDirectory_ = std::filesystem::current_path().string();
    char pattern[] = "/tmp/kelomr-test-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    directory_ = pattern;
    std::filesystem::current_path(directory_);
    instance = static_cast<InstanceData *>(std::calloc(1, sizeof(InstanceData)));
    fakeGateway.Reset();
    pausesTaken.clear();
    KelHostSetLogSink(CaptureLog, &log);
    KelHostSetLogLevels(-1);
}

void DriverTest::TearDown() {
    KelHostSetLogSink(nullptr, nullptr);
    std::free(instance);
    std::filesystem::current_path(previousDirectory_);
    std::filesystem::remove_all(directory_);
}

void DriverTest::WriteStationFile(const std::string &contents, int instanceNumber) {
    char name[32];
    std::snprintf(name, sizeof name, "kelOMR%.2d.int", instanceNumber);
    std::ofstream(name, std::ios::binary) << contents;
}

int32_t DriverTest::Call(int32_t function, void *params, int instanceNumber) {
    CallBlock block{instance, function, instanceNumber, 0, params};
    return KelMain(&block);
}

int32_t DriverTest::Start(int32_t timeout, int instanceNumber) {
    StartParams params{};
    params.enabled = 1;
    params.timeout = timeout;
    return Call(FN_START, &params, instanceNumber);
}

void DriverTest::StartWith(const std::string &stationFile, int32_t timeout) {
    WriteStationFile(stationFile);
    ASSERT_EQ(Start(timeout), RC_OK);
    log.clear();
    fakeGateway.calls.clear();
}

std::vector<std::string> DriverTest::LogTexts() const {
    std::vector<std::string> texts;
    for (const LogEntry &entry : log) {
        texts.push_back(entry.text);
    }
    return texts;
}
