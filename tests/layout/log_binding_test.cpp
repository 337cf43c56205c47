// The C library's err(3) prints and ends the process. The driver's err must
// bind to the host runtime's, even in a process that defines none itself.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "driver/call_blocks.h"

namespace {

using KelMainFunction = int32_t (*)(CallBlock *);
using SetSinkFunction = void (*)(void (*)(void *, int, const char *), void *);

struct LoadedDriver {
    void *library = nullptr;
    KelMainFunction kelMain = nullptr;
    SetSinkFunction setSink = nullptr;
};

LoadedDriver Load() {
    const char *path = std::getenv("KELOMR_DRIVER");
    EXPECT_NE(path, nullptr) << "KELOMR_DRIVER names the library to load";
    LoadedDriver driver;
    driver.library = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    EXPECT_NE(driver.library, nullptr) << dlerror();
    driver.kelMain = reinterpret_cast<KelMainFunction>(dlsym(driver.library, "KelMain"));
    driver.setSink = reinterpret_cast<SetSinkFunction>(dlsym(driver.library, "KelHostSetLogSink"));
    return driver;
}

// A start in a folder without a station file logs the not-found text.
int32_t StartWithoutStationFile(KelMainFunction kelMain) {
    char folder[] = "/tmp/kelomr-binding-XXXXXX";
    if (mkdtemp(folder) == nullptr || chdir(folder) != 0) {
        return -1;
    }
    auto *instance = static_cast<InstanceData *>(std::calloc(1, sizeof(InstanceData)));
    StartParams params{};
    params.enabled = 1;
    CallBlock block{instance, FN_START, 1, 0, &params};
    int32_t result = kelMain(&block);
    std::free(instance);
    rmdir(folder);
    return result;
}

void Collect(void *context, int level, const char *text) {
    static_cast<std::vector<std::pair<int, std::string>> *>(context)->emplace_back(level, text);
}

TEST(LogBinding, DriverTextReachesTheSinkAndTheProcessLivesOn) {
    LoadedDriver driver = Load();
    ASSERT_NE(driver.kelMain, nullptr);
    ASSERT_NE(driver.setSink, nullptr) << "the host runtime comes with the driver";
    std::vector<std::pair<int, std::string>> texts;
    driver.setSink(Collect, &texts);
    EXPECT_EQ(StartWithoutStationFile(driver.kelMain), RC_OK);
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0].first, LOG_DRIVER);
    EXPECT_EQ(texts[0].second, "KelOMR: File KelOMRnn.int not found !");
    driver.setSink(nullptr, nullptr);
}

TEST(LogBinding, WithoutSinkTheTextGoesToStandardErrorAndTheProcessLivesOn) {
    EXPECT_EXIT(
        {
            LoadedDriver driver = Load();
            int32_t result = StartWithoutStationFile(driver.kelMain);
            std::fprintf(stderr, "still alive after result %d\n", result);
            std::exit(result == RC_OK ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "KelOMR: File KelOMRnn.int not found !\n(.|\n)*still alive after result 0");
}

} // namespace
