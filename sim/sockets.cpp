#include "sim/sockets.h"

#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace finsim {

void Fd::Reset(int fd) {
    if (fd_ >= 0) {
        ::close(fd_);
    }
    fd_ = fd;
}

namespace {

bool Resolve(const std::string &host, uint16_t port, int type, sockaddr_storage *address, socklen_t *length,
             std::string *error) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = type;
    hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
    addrinfo *found = nullptr;
    const std::string service = std::to_string(port);
    const int rc = ::getaddrinfo(host.c_str(), service.c_str(), &hints, &found);
    if (rc != 0 || found == nullptr) {
        *error = "cannot resolve host " + host + ": " + ::gai_strerror(rc);
        return false;
    }
    std::memcpy(address, found->ai_addr, found->ai_addrlen);
    *length = found->ai_addrlen;
    ::freeaddrinfo(found);
    return true;
}

} // namespace

Fd OpenBound(const std::string &host, uint16_t port, int type, std::string *error) {
    sockaddr_storage address{};
    socklen_t length = 0;
    if (!Resolve(host, port, type, &address, &length, error)) {
        return Fd();
    }
    const char *what = type == SOCK_STREAM ? "tcp" : "udp";
    Fd fd(::socket(address.ss_family, type | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (!fd.Valid()) {
        *error = std::string("cannot open ") + what + " socket: " + std::strerror(errno);
        return Fd();
    }
    const int on = 1;
    if (type == SOCK_STREAM) {
        ::setsockopt(fd.Get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    }
    if (::bind(fd.Get(), reinterpret_cast<sockaddr *>(&address), length) != 0) {
        *error =
            std::string("cannot bind ") + what + " " + host + ":" + std::to_string(port) + ": " + std::strerror(errno);
        return Fd();
    }
    if (type == SOCK_STREAM && ::listen(fd.Get(), 64) != 0) {
        *error = std::string("cannot listen on tcp: ") + std::strerror(errno);
        return Fd();
    }
    return fd;
}

uint16_t BoundPort(int fd) {
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    if (::getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length) != 0) {
        return 0;
    }
    if (address.ss_family == AF_INET6) {
        return ntohs(reinterpret_cast<sockaddr_in6 *>(&address)->sin6_port);
    }
    return ntohs(reinterpret_cast<sockaddr_in *>(&address)->sin_port);
}

} // namespace finsim
