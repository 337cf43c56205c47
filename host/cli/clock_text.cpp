#include "host/cli/clock_text.h"

#include <cstdio>
#include <ctime>

namespace kelomr {

namespace {

struct Broken {
    std::tm local{};
    int milliseconds = 0;
};

Broken Break(WallTime time) {
    Broken broken;
    auto sinceEpoch = time.time_since_epoch();
    auto seconds = std::chrono::duration_cast<std::chrono::seconds>(sinceEpoch);
    broken.milliseconds =
        static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(sinceEpoch - seconds).count());
    if (broken.milliseconds < 0) { // before 1970: keep the fraction positive
        broken.milliseconds += 1000;
        seconds -= std::chrono::seconds(1);
    }
    std::time_t whole = static_cast<std::time_t>(seconds.count());
    localtime_r(&whole, &broken.local);
    return broken;
}

} // namespace

std::string TimeOfDay(WallTime time) {
    Broken b = Break(time);
    char text[64];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d.%03d", b.local.tm_hour, b.local.tm_min, b.local.tm_sec,
                  b.milliseconds);
    return text;
}

std::string IsoTime(WallTime time) {
    Broken b = Break(time);
    long offset = b.local.tm_gmtoff / 60;
    char sign = offset < 0 ? '-' : '+';
    if (offset < 0) {
        offset = -offset;
    }
    char text[96];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03d%c%02ld:%02ld", b.local.tm_year + 1900,
                  b.local.tm_mon + 1, b.local.tm_mday, b.local.tm_hour, b.local.tm_min, b.local.tm_sec, b.milliseconds,
                  sign, offset / 60, offset % 60);
    return text;
}

} // namespace kelomr
