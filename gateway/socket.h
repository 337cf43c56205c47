// A socket descriptor that closes itself, and name resolution for routes.
#pragma once

#include <netinet/in.h>

#include <cstdint>
#include <string>

namespace finsgw {

class Socket {
  public:
    Socket() = default;
    explicit Socket(int fd) : fd_(fd) {}
    Socket(const Socket &) = delete;
    Socket &operator=(const Socket &) = delete;
    Socket(Socket &&other) noexcept : fd_(other.Release()) {}
    Socket &operator=(Socket &&other) noexcept;
    ~Socket() { Reset(); }

    int Fd() const { return fd_; }
    bool IsOpen() const { return fd_ >= 0; }
    void Reset();
    int Release();

  private:
    int fd_ = -1;
};

// A close-on-exec socket of the given type, non-blocking unless asked
// otherwise; -1 in the Socket with errno set on failure.
Socket OpenSocket(int type, bool blocking = false);

// Lets receives on the socket wait (sends keep MSG_DONTWAIT); false with errno.
bool MakeBlocking(int fd);

// Resolves host (numeric IPv4 or a name) to an IPv4 address with port; on
// failure fails with a message naming label and host.
bool ResolvePeer(const std::string &host, uint16_t port, const std::string &label, sockaddr_in *peer);

// Takes the pending error of a socket (SO_ERROR), 0 when none.
int TakeSocketError(int fd);

// "LABEL: connection refused" for the given errno; returns -1.
int FailWithErrno(int error, const std::string &label);

} // namespace finsgw
