// FINS over TCP: a connection made on the first send (and again on the
// send after it dropped), the node address exchange asking the server to
// assign a client node, then FINS frames in FINS/TCP messages. Connecting,
// the exchange and the rest of a send that did not fit at once are finished
// inside Receive, so they all end within the caller's receive time-out.
// Once connected the socket blocks in receives, bounded by its receive
// time-out, and sends never wait: a ready exchange costs one send and one
// receive call. A controller may close a connection while it stands idle
// (after a restart, or its own idle time-out); the frame that finds it closed
// before any byte of an answer came goes again, once, on a new connection.
#include <poll.h>
#include <sys/socket.h>
#include <sys/uio.h>

#include <cerrno>
#include <cstring>

#include "gateway/error_text.h"
#include "gateway/fins_tcp.h"
#include "gateway/socket.h"
#include "gateway/transport.h"

namespace finsgw {

namespace {

constexpr uint32_t LOWEST_NODE = 1;
constexpr uint32_t HIGHEST_NODE = 254;

enum class ReadResult { READ, TIMED_OUT, CLOSED, FAILED };

class TcpTransport final : public Transport {
  public:
    explicit TcpTransport(const TransportSetup &setup) : setup_(setup) {}

    int Send(uint8_t *frame, size_t length) override;
    Received Receive(uint8_t *buffer, size_t capacity, const Deadline &deadline) override;

  private:
    enum class State { CLOSED, CONNECTING, EXCHANGING_NODES, READY };

    bool StartConnect();
    bool FinishConnect(const Deadline &deadline);
    bool Connected();
    bool SendNodeRequest();
    bool FinishNodeExchange(const Deadline &deadline);
    bool TakeNodeAnswer(const TcpMessage &message);
    bool Flush(const Deadline *deadline);
    bool Deliver(const Deadline &deadline);
    void TakeFrame();
    bool ClosedWhileIdle(ReadResult result, int error) const;
    bool Resend(const Deadline &deadline);
    Received NextFrame(uint8_t *buffer, size_t capacity, const Deadline &deadline);
    ReadResult ReadMore(const Deadline &deadline);
    void Drop();
    bool DropAndFail(int error, const char *what);
    bool DropUnreadable(TcpMessageReader::Status status);
    bool DropAfterRead(ReadResult result, const char *when);

    TransportSetup setup_;
    Socket socket_;
    State state_ = State::CLOSED;
    uint8_t clientNode_ = 0;
    uint8_t serverNode_ = 0;
    TcpMessageReader reader_;
    // The frame on its way: its FINS/TCP header, and how much of the two went out.
    uint8_t *pending_ = nullptr;
    size_t pendingLength_ = 0;
    size_t pendingSent_ = 0;
    // The frame of the last Send, and whether it may go again: it went out
    // on a connection made before it, and no answer byte has come since.
    uint8_t *frame_ = nullptr;
    size_t frameLength_ = 0;
    bool resendable_ = false;
    uint8_t prefix_[TCP_HEADER_SIZE] = {};
    int armedMs_ = -1; // the socket's receive time-out as set last
};

int TcpTransport::Send(uint8_t *frame, size_t length) {
    // Half a message on the wire leaves the stream out of step: start afresh.
    if (state_ == State::READY && pendingSent_ > 0) {
        Drop();
    }
    frame_ = frame;
    frameLength_ = length;
    resendable_ = state_ == State::READY;
    if (state_ == State::CLOSED && !StartConnect()) {
        return -1;
    }
    TakeFrame();
    if (state_ != State::READY || Flush(nullptr)) {
        return 0;
    }
    // A reset that came while the connection stood idle: a new one takes the frame.
    if (!resendable_ || (errno != EPIPE && errno != ECONNRESET)) {
        return -1;
    }
    resendable_ = false;
    if (!StartConnect()) {
        return -1;
    }
    TakeFrame();
    return state_ != State::READY || Flush(nullptr) ? 0 : -1;
}

Received TcpTransport::Receive(uint8_t *buffer, size_t capacity, const Deadline &deadline) {
    if (state_ == State::CLOSED) {
        FailWithErrno(ENOTCONN, setup_.label);
        return {Arrival::FAILED, 0};
    }
    if (!Deliver(deadline)) {
        return {Arrival::FAILED, 0};
    }
    return NextFrame(buffer, capacity, deadline);
}

// Finishes the connection, the node exchange and the frame that Send began.
bool TcpTransport::Deliver(const Deadline &deadline) {
    return !((state_ == State::CONNECTING && !FinishConnect(deadline)) ||
             (state_ == State::EXCHANGING_NODES && !FinishNodeExchange(deadline)) ||
             (pending_ != nullptr && !Flush(&deadline)));
}

void TcpTransport::TakeFrame() {
    pending_ = frame_;
    pendingLength_ = frameLength_;
    pendingSent_ = 0;
}

bool TcpTransport::ClosedWhileIdle(ReadResult result, int error) const {
    bool closed =
        result == ReadResult::CLOSED || (result == ReadResult::FAILED && (error == ECONNRESET || error == EPIPE));
    return closed && resendable_ && reader_.Buffered() == 0;
}

bool TcpTransport::Resend(const Deadline &deadline) {
    resendable_ = false;
    Drop();
    if (!StartConnect()) {
        return false;
    }
    TakeFrame();
    return Deliver(deadline);
}

bool TcpTransport::StartConnect() {
    socket_ = OpenSocket(SOCK_STREAM);
    armedMs_ = -1;
    if (!socket_.IsOpen()) {
        return DropAndFail(errno, nullptr);
    }
    if (connect(socket_.Fd(), reinterpret_cast<const sockaddr *>(&setup_.peer), sizeof setup_.peer) == 0) {
        return Connected();
    }
    if (errno != EINPROGRESS) {
        return DropAndFail(errno, nullptr);
    }
    state_ = State::CONNECTING;
    return true;
}

bool TcpTransport::FinishConnect(const Deadline &deadline) {
    WaitResult wait = WaitFor(socket_.Fd(), POLLOUT, deadline);
    if (wait == WaitResult::TIMED_OUT) {
        Drop();
        Fail(ETIMEDOUT, "%s: no connection within %d ms", setup_.label.c_str(), deadline.timeoutMs);
        return false;
    }
    int error = wait == WaitResult::FAILED ? errno : TakeSocketError(socket_.Fd());
    if (error != 0) {
        return DropAndFail(error, nullptr);
    }
    return Connected();
}

// The connection is made without waiting; from here on receives wait.
bool TcpTransport::Connected() {
    if (!MakeBlocking(socket_.Fd())) {
        return DropAndFail(errno, nullptr);
    }
    return SendNodeRequest();
}

// Asks for node 0, an assigned one: a fixed node would be refused as still
// connected after a drop the server has not noticed yet.
bool TcpTransport::SendNodeRequest() {
    uint8_t request[NODE_REQUEST_SIZE];
    PutNodeRequest(request);
    ssize_t written = send(socket_.Fd(), request, sizeof request, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (written != static_cast<ssize_t>(sizeof request)) {
        return DropAndFail(written < 0 ? errno : EAGAIN, "sending the node address request");
    }
    state_ = State::EXCHANGING_NODES;
    return true;
}

bool TcpTransport::FinishNodeExchange(const Deadline &deadline) {
    for (;;) {
        TcpMessage message;
        TcpMessageReader::Status status = reader_.Next(&message);
        if (status == TcpMessageReader::Status::MESSAGE) {
            return TakeNodeAnswer(message);
        }
        if (status != TcpMessageReader::Status::NEED_MORE) {
            return DropUnreadable(status);
        }
        ReadResult result = ReadMore(deadline);
        if (result == ReadResult::TIMED_OUT) {
            Drop();
            Fail(ETIMEDOUT, "%s: no answer to the node address request within %d ms", setup_.label.c_str(),
                 deadline.timeoutMs);
            return false;
        }
        if (result != ReadResult::READ) {
            return DropAfterRead(result, " during the node address exchange");
        }
    }
}

uint32_t WordAt(const uint8_t *data) {
    return static_cast<uint32_t>(data[0]) << 24 | static_cast<uint32_t>(data[1]) << 16 |
           static_cast<uint32_t>(data[2]) << 8 | data[3];
}

bool InNodeRange(uint32_t node) {
    return node >= LOWEST_NODE && node <= HIGHEST_NODE;
}

bool TcpTransport::TakeNodeAnswer(const TcpMessage &message) {
    const char *label = setup_.label.c_str();
    if (message.error != 0) {
        const char *meaning = TcpErrorMeaning(message.error);
        Drop();
        Fail(ECONNREFUSED, "%s: the controller refused the connection: %s (FINS/TCP error 0x%X)", label,
             meaning != nullptr ? meaning : "unknown error", message.error);
        return false;
    }
    if (message.command != TCP_NODE_ANSWER || message.dataLength < 8) {
        Drop();
        Fail(EPROTO, "%s: unexpected answer to the node address request (command %u, %zu data bytes)", label,
             message.command, message.dataLength);
        return false;
    }
    uint32_t client = WordAt(message.data);
    uint32_t server = WordAt(message.data + 4);
    if (!InNodeRange(client) || !InNodeRange(server)) {
        Drop();
        Fail(EPROTO, "%s: node address answer out of range (client node %u, server node %u)", label, client, server);
        return false;
    }
    clientNode_ = static_cast<uint8_t>(client);
    serverNode_ = static_cast<uint8_t>(server);
    state_ = State::READY;
    return true;
}

// Without a deadline, sends what fits now and leaves the rest to Receive.
bool TcpTransport::Flush(const Deadline *deadline) {
    if (pendingSent_ == 0) {
        // The server routes answers by the client node it assigned; on the
        // local network the controller is the server's own node.
        pending_[SA1] = clientNode_;
        if (pending_[DNA] == 0) {
            pending_[DA1] = serverNode_;
        }
        PutTcpHeader(prefix_, TCP_FRAME, pendingLength_);
    }
    while (pendingSent_ < TCP_HEADER_SIZE + pendingLength_) {
        size_t inPrefix = pendingSent_ < TCP_HEADER_SIZE ? TCP_HEADER_SIZE - pendingSent_ : 0;
        size_t inFrame = pendingSent_ - (TCP_HEADER_SIZE - inPrefix);
        iovec parts[2] = {{prefix_ + TCP_HEADER_SIZE - inPrefix, inPrefix},
                          {pending_ + inFrame, pendingLength_ - inFrame}};
        msghdr message{};
        message.msg_iov = parts;
        message.msg_iovlen = 2;
        ssize_t written = sendmsg(socket_.Fd(), &message, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (written > 0) {
            pendingSent_ += static_cast<size_t>(written);
            continue;
        }
        if (written < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
            return DropAndFail(errno, nullptr);
        }
        if (deadline == nullptr) {
            return true;
        }
        WaitResult wait = WaitFor(socket_.Fd(), POLLOUT, *deadline);
        if (wait != WaitResult::READY) {
            return DropAndFail(wait == WaitResult::TIMED_OUT ? ETIMEDOUT : errno, "sending the frame");
        }
    }
    pending_ = nullptr;
    pendingSent_ = 0;
    setup_.counters->sent++;
    return true;
}

Received TcpTransport::NextFrame(uint8_t *buffer, size_t capacity, const Deadline &deadline) {
    for (;;) {
        TcpMessage message;
        TcpMessageReader::Status status = reader_.Next(&message);
        if (status == TcpMessageReader::Status::MESSAGE) {
            if (message.error != 0) {
                const char *meaning = TcpErrorMeaning(message.error);
                Drop();
                Fail(EPROTO, "%s: the controller reported FINS/TCP error 0x%X (%s), connection dropped",
                     setup_.label.c_str(), message.error, meaning != nullptr ? meaning : "unknown error");
                return {Arrival::FAILED, 0};
            }
            if (message.command != TCP_FRAME || message.dataLength > capacity) {
                setup_.counters->discarded++;
                return {Arrival::DISCARDED, 0};
            }
            std::memcpy(buffer, message.data, message.dataLength);
            return {Arrival::FRAME, message.dataLength};
        }
        if (status != TcpMessageReader::Status::NEED_MORE) {
            DropUnreadable(status);
            return {Arrival::FAILED, 0};
        }
        ReadResult result = ReadMore(deadline);
        if (result == ReadResult::TIMED_OUT) {
            return {Arrival::TIMED_OUT, 0};
        }
        if (result == ReadResult::READ) {
            resendable_ = false;
            continue;
        }
        if (ClosedWhileIdle(result, errno)) {
            if (!Resend(deadline)) {
                return {Arrival::FAILED, 0};
            }
            continue;
        }
        DropAfterRead(result, "");
        return {Arrival::FAILED, 0};
    }
}

ReadResult TcpTransport::ReadMore(const Deadline &deadline) {
    // Space() makes room first, so the size must be asked after it: a full
    // buffer would otherwise read nothing and look like a closed connection.
    uint8_t *space = reader_.Space();
    ssize_t count = ReceiveBefore(socket_.Fd(), space, reader_.SpaceSize(), 0, deadline, &armedMs_);
    if (count > 0) {
        reader_.Added(static_cast<size_t>(count));
        return ReadResult::READ;
    }
    if (count == 0) {
        return ReadResult::CLOSED;
    }
    return errno == EAGAIN || errno == EWOULDBLOCK ? ReadResult::TIMED_OUT : ReadResult::FAILED;
}

void TcpTransport::Drop() {
    socket_.Reset();
    state_ = State::CLOSED;
    reader_.Clear();
    pending_ = nullptr;
    pendingSent_ = 0;
}

// Always false, for `return DropAndFail(...)` in the steps above.
bool TcpTransport::DropAndFail(int error, const char *what) {
    Drop();
    char reason[128];
    ErrorName(error, reason, sizeof reason);
    if (what != nullptr) {
        Fail(error, "%s: %s: %s", setup_.label.c_str(), what, reason);
    } else {
        Fail(error, "%s: %s", setup_.label.c_str(), reason);
    }
    return false;
}

// A stream we cannot read on from: its bytes are counted as discarded.
bool TcpTransport::DropUnreadable(TcpMessageReader::Status status) {
    uint32_t length = reader_.RefusedLength();
    Drop();
    setup_.counters->discarded++;
    if (status == TcpMessageReader::Status::BAD_MARK) {
        Fail(EPROTO, "%s: message without the FINS mark, connection dropped", setup_.label.c_str());
    } else {
        Fail(EPROTO, "%s: message length %u outside 8 to %u, connection dropped", setup_.label.c_str(), length,
             static_cast<unsigned>(MAX_TCP_LENGTH));
    }
    return false;
}

bool TcpTransport::DropAfterRead(ReadResult result, const char *when) {
    int error = errno;
    Drop();
    if (result == ReadResult::CLOSED) {
        Fail(ECONNRESET, "%s: connection closed by the controller%s", setup_.label.c_str(), when);
        return false;
    }
    char reason[128];
    Fail(error, "%s: %s%s", setup_.label.c_str(), ErrorName(error, reason, sizeof reason), when);
    return false;
}

} // namespace

std::unique_ptr<Transport> MakeTcpTransport(const TransportSetup &setup) {
    return std::make_unique<TcpTransport>(setup);
}

} // namespace finsgw
