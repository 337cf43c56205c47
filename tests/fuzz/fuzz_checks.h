// What the driver's fuzz targets check besides crashes: a failed expectation
// ends the run with a message, so libFuzzer keeps the input that showed it.
#pragma once

#include <cstddef>
#include <cstdint>

void FuzzRequire(bool condition, const char *what);

// Lets every log level through, formatted, to a sink that requires each text
// to begin with the driver's tag, so a garbage argument that reaches a log
// text is formatted (and caught) on every run.
void WatchDriverLog();

// Bytes the driver must never write: a buffer on each side of a host record.
constexpr uint8_t GUARD_BYTE = 0xA5;
bool AllGuard(const uint8_t *bytes, size_t size);
