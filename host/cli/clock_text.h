// Time stamps for log lines and poll rows.
#pragma once

#include <chrono>
#include <string>

namespace kelomr {

using WallTime = std::chrono::system_clock::time_point;

// 12:34:56.789, local time.
std::string TimeOfDay(WallTime time);

// 2024-05-01T12:34:56.789+02:00, local time with its offset.
std::string IsoTime(WallTime time);

} // namespace kelomr
