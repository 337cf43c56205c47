#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>

#include "serial/posix_serial.h"

namespace {

constexpr char WINDOWS_DEVICE_PREFIX[] = "\\\\.\\";
constexpr long HIGHEST_COM_PORT = 256;

bool IsPath(const char *name) {
    return name[0] == '/' || strncmp(name, "./", 2) == 0 || strncmp(name, "../", 3) == 0;
}

// COM1 is the first serial port, /dev/ttyS0. Only digits may follow, without
// a leading zero.
long ComPortNumber(const char *name) {
    if (strncasecmp(name, "COM", 3) != 0 || name[3] < '1' || name[3] > '9') {
        return 0;
    }
    char *end = nullptr;
    long number = strtol(name + 3, &end, 10);
    return *end == '\0' && number <= HIGHEST_COM_PORT ? number : 0;
}

bool Written(int length, size_t size) {
    if (length < 0 || static_cast<size_t>(length) >= size) {
        errno = ENAMETOOLONG;
        return false;
    }
    return true;
}

} // namespace

bool ResolveSerialDeviceName(const char *name, char *path, size_t size) {
    if (name == nullptr) {
        errno = ENOENT;
        return false;
    }
    if (strncmp(name, WINDOWS_DEVICE_PREFIX, strlen(WINDOWS_DEVICE_PREFIX)) == 0) {
        name += strlen(WINDOWS_DEVICE_PREFIX);
    }
    if (name[0] == '\0') {
        errno = ENOENT;
        return false;
    }
    if (strcasecmp(name, "NUL") == 0) {
        return Written(snprintf(path, size, "/dev/null"), size);
    }
    if (IsPath(name)) {
        return Written(snprintf(path, size, "%s", name), size);
    }
    long port = ComPortNumber(name);
    if (port != 0) {
        return Written(snprintf(path, size, "/dev/ttyS%ld", port - 1), size);
    }
    return Written(snprintf(path, size, "/dev/%s", name), size);
}
