// Records the pauses the driver asks for instead of sleeping.
#pragma once

#include <cstdint>
#include <vector>

extern std::vector<int32_t> pausesTaken;
