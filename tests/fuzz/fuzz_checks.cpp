#include "tests/fuzz/fuzz_checks.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "host/kelhost.h"

namespace {

constexpr const char *DRIVER_TAGS[] = {"KelOMR: ", "KelOMR : ", "KelOMR; ", "KELOMR: "};

void RequireDriverTag(void *, int level, const char *text) {
    FuzzRequire(level == 8 || level == 32, "a log text with an unknown level");
    for (const char *tag : DRIVER_TAGS) {
        if (std::strncmp(text, tag, std::strlen(tag)) == 0) {
            return;
        }
    }
    std::fprintf(stderr, "log text without the driver's tag: %s\n", text);
    std::abort();
}

} // namespace

void FuzzRequire(bool condition, const char *what) {
    if (!condition) {
        std::fprintf(stderr, "fuzz check failed: %s\n", what);
        std::abort();
    }
}

void WatchDriverLog() {
    KelHostSetLogLevels(-1);
    KelHostSetLogSink(RequireDriverTag, nullptr);
}

bool AllGuard(const uint8_t *bytes, size_t size) {
    for (size_t i = 0; i < size; ++i) {
        if (bytes[i] != GUARD_BYTE) {
            return false;
        }
    }
    return true;
}
