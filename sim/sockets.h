// Opening the listening sockets and a file descriptor that closes itself.
#pragma once

#include <sys/socket.h>

#include <cstdint>
#include <string>

namespace finsim {

class Fd {
  public:
    Fd() = default;
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() { Reset(); }
    Fd(Fd &&other) noexcept : fd_(other.Release()) {}
    Fd &operator=(Fd &&other) noexcept {
        if (this != &other) {
            Reset(other.Release());
        }
        return *this;
    }
    int Get() const { return fd_; }
    bool Valid() const { return fd_ >= 0; }
    int Release() {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }
    void Reset(int fd = -1);

  private:
    int fd_ = -1;
};

// A non-blocking socket of the type bound to host:port (port 0: a free one).
// On failure an invalid Fd and *error says why.
Fd OpenBound(const std::string &host, uint16_t port, int type, std::string *error);
uint16_t BoundPort(int fd);

} // namespace finsim
