#include "host/kelhost.h"

#include <cstdarg>
#include <cstdio>

namespace {

// A text longer than this is cut: the runtime formats on the stack so that
// logging allocates nothing.
constexpr int LOG_TEXT_CAPACITY = 1024;

// The driver calls err() for one request at a time, on the host's thread;
// the host installs its sink before it starts an instance.
KelHostLogSink currentSink = nullptr;
void *currentContext = nullptr;
int levelMask = -1;

void WriteToStandardError(int level, const char *text) {
    std::fprintf(stderr, "[%d] %s\n", level, text);
}

} // namespace

extern "C" void KelHostSetLogSink(KelHostLogSink sink, void *context) {
    currentSink = sink;
    currentContext = sink != nullptr ? context : nullptr;
}

extern "C" void KelHostSetLogLevels(int mask) { levelMask = mask; }

extern "C" int err(int level, const char *format, ...) {
    if ((level & levelMask) == 0 || format == nullptr) {
        return 0;
    }
    char text[LOG_TEXT_CAPACITY];
    va_list arguments;
    va_start(arguments, format);
    int length = std::vsnprintf(text, sizeof text, format, arguments);
    va_end(arguments);
    if (length < 0) {
        return 0;
    }
    if (currentSink != nullptr) {
        currentSink(currentContext, level, text);
    } else {
        WriteToStandardError(level, text);
    }
    return length;
}
