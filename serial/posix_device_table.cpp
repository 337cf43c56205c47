// Open, close and the table of open devices. A handle names an entry and the
// open that filled it, so a handle kept after its close never reaches the
// device that a later open put in the same entry.
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include "serial/posix_serial.h"

namespace {

constexpr uint32_t DEVICE_SLOTS = 64;

SerialDevice devices[DEVICE_SLOTS];
uint32_t opens = 0;

SerialDevice *EntryOf(SerialHandle handle) {
    if (handle == 0) {
        return nullptr;
    }
    SerialDevice &entry = devices[(handle - 1) % DEVICE_SLOTS];
    return entry.handle == handle ? &entry : nullptr;
}

// A free entry first; else one whose close failed, which has no descriptor
// left to lose.
SerialDevice *UnusedEntry() {
    for (SerialDevice &entry : devices) {
        if (entry.handle == 0) {
            return &entry;
        }
    }
    for (SerialDevice &entry : devices) {
        if (entry.fd < 0) {
            return &entry;
        }
    }
    return nullptr;
}

SerialHandle NextHandleFor(const SerialDevice *entry) {
    opens = (opens + 1) % (UINT32_MAX / DEVICE_SLOTS);
    return opens * DEVICE_SLOTS + static_cast<uint32_t>(entry - devices) + 1;
}

// Exclusive even for root: TIOCEXCL keeps other users' opens out, but root
// passes it, so an flock on the device decides between holders. Only
// terminals are locked: the null device is shared by nature.
bool TakeExclusive(int fd) {
    if (!isatty(fd)) {
        return true;
    }
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        errno = errno == EWOULDBLOCK ? EBUSY : errno;
        return false;
    }
    return ioctl(fd, TIOCEXCL) == 0;
}

// Opened without waiting for a carrier, then blocking so that the line's
// read timer governs reads.
bool MakeBlocking(int fd) {
    int flags = fcntl(fd, F_GETFL);
    return flags >= 0 && fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == 0;
}

void CloseKeepingErrno(int fd) {
    int error = errno;
    close(fd);
    errno = error;
}

} // namespace

SerialDevice *FindSerialDevice(SerialHandle handle) {
    SerialDevice *entry = EntryOf(handle);
    if (entry == nullptr || entry->fd < 0) {
        errno = EBADF;
        return nullptr;
    }
    return entry;
}

SerialHandle SerialOpenDevice(const char *name) {
    char path[PATH_MAX];
    if (!ResolveSerialDeviceName(name, path, sizeof path)) {
        return 0;
    }
    SerialDevice *entry = UnusedEntry();
    if (entry == nullptr) {
        errno = EMFILE;
        return 0;
    }
    int fd = open(path, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return 0;
    }
    if (!TakeExclusive(fd) || !MakeBlocking(fd)) {
        CloseKeepingErrno(fd);
        return 0;
    }
    *entry = SerialDevice{NextHandleFor(entry), fd, {}};
    return entry->handle;
}

// Linux releases the descriptor even when close reports an error, and an
// interrupted close has closed it too. A failure is still reported, and the
// retry of the same handle then only frees the entry.
bool SerialCloseDevice(SerialHandle handle) {
    SerialDevice *entry = EntryOf(handle);
    if (entry == nullptr) {
        errno = EBADF;
        return false;
    }
    if (entry->fd >= 0) {
        // The exclusive mark outlives the descriptor on a terminal that stays
        // open elsewhere, such as a pseudo-terminal's other side.
        ioctl(entry->fd, TIOCNXCL);
        int closed = close(entry->fd);
        entry->fd = -1;
        if (closed != 0 && errno != EINTR) {
            return false;
        }
    }
    *entry = SerialDevice{0, -1, {}};
    return true;
}

// The kernel sizes a terminal's buffers itself; any request is met.
bool SerialSetupBuffers(SerialHandle handle, uint32_t, uint32_t) {
    return FindSerialDevice(handle) != nullptr;
}
