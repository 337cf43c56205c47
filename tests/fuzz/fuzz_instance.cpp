#include "tests/fuzz/fuzz_instance.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "host/kelhost.h"

namespace {

InstanceData fuzzInstance;

} // namespace

InstanceData *StartFuzzInstance(const char *stationFile) {
    KelHostSetLogLevels(0);
    char pattern[] = "/tmp/kelomr-fuzz-XXXXXX";
    if (mkdtemp(pattern) == nullptr) {
        std::perror("mkdtemp");
        std::abort();
    }
    std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::current_path(pattern);
    std::ofstream("kelOMR01.int", std::ios::binary) << stationFile;
    StartParams params{};
    params.enabled = 1;
    params.timeout = 10;
    CallBlock block{&fuzzInstance, FN_START, 1, 0, &params};
    KelMain(&block);
    std::filesystem::current_path(previous);
    std::filesystem::remove_all(pattern);
    return &fuzzInstance;
}
