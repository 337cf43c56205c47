#include "gateway/socket.h"

#include <netdb.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "gateway/error_text.h"

namespace finsgw {

Socket &Socket::operator=(Socket &&other) noexcept {
    if (this != &other) {
        Reset();
        fd_ = other.Release();
    }
    return *this;
}

void Socket::Reset() {
    if (fd_ >= 0) {
        close(fd_);
        fd_ = -1;
    }
}

int Socket::Release() {
    int fd = fd_;
    fd_ = -1;
    return fd;
}

Socket OpenSocket(int type, bool blocking) {
    return Socket(socket(AF_INET, type | (blocking ? 0 : SOCK_NONBLOCK) | SOCK_CLOEXEC, 0));
}

bool MakeBlocking(int fd) {
    int off = 0;
    return ioctl(fd, FIONBIO, &off) == 0;
}

bool ResolvePeer(const std::string &host, uint16_t port, const std::string &label, sockaddr_in *peer) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo *found = nullptr;
    int status = getaddrinfo(host.c_str(), nullptr, &hints, &found);
    if (status != 0 || found == nullptr) {
        int error = status == EAI_SYSTEM ? errno : EHOSTUNREACH;
        Fail(error, "%s: cannot resolve host '%s': %s", label.c_str(), host.c_str(), gai_strerror(status));
        return false;
    }
    std::memcpy(peer, found->ai_addr, sizeof *peer);
    peer->sin_port = htons(port);
    freeaddrinfo(found);
    return true;
}

int TakeSocketError(int fd) {
    int error = 0;
    socklen_t size = sizeof error;
    if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) != 0) {
        return errno;
    }
    return error;
}

int FailWithErrno(int error, const std::string &label) {
    char reason[128];
    return Fail(error, "%s: %s", label.c_str(), ErrorName(error, reason, sizeof reason));
}

} // namespace finsgw
