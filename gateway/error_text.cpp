#include "gateway/error_text.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace finsgw {

namespace {

constexpr unsigned ERROR_TEXT_SIZE = 256;

// Per thread, like errno: a host with several threads reads its own failure.
thread_local char lastError[ERROR_TEXT_SIZE];

} // namespace

int Fail(int error, const char *format, ...) {
    va_list arguments;
    va_start(arguments, format);
    vsnprintf(lastError, sizeof lastError, format, arguments);
    va_end(arguments);
    errno = error;
    return -1;
}

const char *LastErrorText() {
    return lastError;
}

const char *ErrorName(int error, char *buffer, unsigned size) {
    const char *text = strerror_r(error, buffer, size);
    if (text != buffer) {
        snprintf(buffer, size, "%s", text);
    }
    if (buffer[0] >= 'A' && buffer[0] <= 'Z') {
        buffer[0] = static_cast<char>(buffer[0] - 'A' + 'a');
    }
    return buffer;
}

} // namespace finsgw
