// FINS over UDP: one datagram is one frame. The socket is connected to the
// controller, so the kernel drops datagrams from other addresses and reports
// a closed port at once (ECONNREFUSED) instead of letting the wait run out.
#include <poll.h>
#include <sys/socket.h>

#include <cerrno>

#include "gateway/error_text.h"
#include "gateway/socket.h"
#include "gateway/transport.h"

namespace finsgw {

namespace {

class UdpTransport final : public Transport {
  public:
    UdpTransport(const TransportSetup &setup, Socket socket) : setup_(setup), socket_(std::move(socket)) {}

    int Send(uint8_t *frame, size_t length) override {
        if (!connected_ && !Connect()) {
            return -1;
        }
        // A refusal left over from an earlier datagram says nothing about
        // this one; the answer to this one tells.
        TakeSocketError(socket_.Fd());
        if (send(socket_.Fd(), frame, length, MSG_NOSIGNAL) != static_cast<ssize_t>(length)) {
            return FailWithErrno(errno, setup_.label);
        }
        setup_.counters->sent++;
        return 0;
    }

    Received Receive(uint8_t *buffer, size_t capacity, const Deadline &deadline) override {
        for (;;) {
            // MSG_TRUNC gives a datagram's real length, so one too long for a
            // FINS frame is seen and dropped rather than cut short.
            ssize_t length = recv(socket_.Fd(), buffer, capacity, MSG_TRUNC);
            if (length >= 0) {
                if (static_cast<size_t>(length) > capacity) {
                    setup_.counters->discarded++;
                    return {Arrival::DISCARDED, 0};
                }
                return {Arrival::FRAME, static_cast<size_t>(length)};
            }
            if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
                FailWithErrno(errno, setup_.label);
                return {Arrival::FAILED, 0};
            }
            WaitResult wait = WaitFor(socket_.Fd(), POLLIN, deadline);
            if (wait == WaitResult::TIMED_OUT) {
                return {Arrival::TIMED_OUT, 0};
            }
            if (wait == WaitResult::FAILED) {
                FailWithErrno(errno, setup_.label);
                return {Arrival::FAILED, 0};
            }
        }
    }

  private:
    bool Connect() {
        if (connect(socket_.Fd(), reinterpret_cast<const sockaddr *>(&setup_.peer), sizeof setup_.peer) != 0) {
            FailWithErrno(errno, setup_.label);
            return false;
        }
        connected_ = true;
        return true;
    }

    TransportSetup setup_;
    Socket socket_;
    bool connected_ = false;
};

// Several units may send from the same bound port (one per controller).
bool BindLocalPort(int fd, uint16_t port, const std::string &label) {
    int yes = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(INADDR_ANY);
    local.sin_port = htons(port);
    if (bind(fd, reinterpret_cast<const sockaddr *>(&local), sizeof local) != 0) {
        char reason[128];
        int error = errno;
        Fail(error, "%s: cannot bind local UDP port %u: %s", label.c_str(), port,
             ErrorName(error, reason, sizeof reason));
        return false;
    }
    return true;
}

} // namespace

std::unique_ptr<Transport> MakeUdpTransport(const TransportSetup &setup) {
    Socket socket = OpenSocket(SOCK_DGRAM);
    if (!socket.IsOpen()) {
        FailWithErrno(errno, setup.label);
        return nullptr;
    }
    if (setup.bindPort != 0 && !BindLocalPort(socket.Fd(), setup.bindPort, setup.label)) {
        return nullptr;
    }
    return std::make_unique<UdpTransport>(setup, std::move(socket));
}

} // namespace finsgw
