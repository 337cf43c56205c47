// FINS over UDP: one datagram is one frame. The socket is connected to the
// controller, so the kernel drops datagrams from other addresses and reports
// a closed port at once (ECONNREFUSED) instead of letting the wait run out.
// It is a blocking socket whose receive time-out bounds the wait: an exchange
// costs one send and one receive call.
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
        ssize_t sent = SendOnce(frame, length);
        // A refusal left over from an earlier datagram says nothing about
        // this one, and reporting it has cleared it; the answer to this one tells.
        if (sent < 0 && errno == ECONNREFUSED) {
            sent = SendOnce(frame, length);
        }
        if (sent != static_cast<ssize_t>(length)) {
            return FailWithErrno(sent < 0 ? errno : EMSGSIZE, setup_.label);
        }
        setup_.counters->sent++;
        return 0;
    }

    Received Receive(uint8_t *buffer, size_t capacity, const Deadline &deadline) override {
        // MSG_TRUNC gives a datagram's real length, so one too long for a
        // FINS frame is seen and dropped rather than cut short.
        ssize_t length = ReceiveBefore(socket_.Fd(), buffer, capacity, MSG_TRUNC, deadline, &armedMs_);
        if (length >= 0) {
            if (static_cast<size_t>(length) > capacity) {
                setup_.counters->discarded++;
                return {Arrival::DISCARDED, 0};
            }
            return {Arrival::FRAME, static_cast<size_t>(length)};
        }
        if (errno == EAGAIN || errno == EWOULDBLOCK) {
            return {Arrival::TIMED_OUT, 0};
        }
        FailWithErrno(errno, setup_.label);
        return {Arrival::FAILED, 0};
    }

  private:
    ssize_t SendOnce(const uint8_t *frame, size_t length) {
        return send(socket_.Fd(), frame, length, MSG_NOSIGNAL | MSG_DONTWAIT);
    }

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
    int armedMs_ = -1; // the socket's receive time-out as set last
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
    Socket socket = OpenSocket(SOCK_DGRAM, true);
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
