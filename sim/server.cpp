#include "sim/server.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>
#include <unordered_map>
#include <vector>

#include "sim/commands.h"
#include "sim/end_codes.h"
#include "sim/faults.h"
#include "sim/frame.h"
#include "sim/sockets.h"
#include "sim/tcp_link.h"

namespace finsim {

using Clock = std::chrono::steady_clock;

struct Server::Shared {
    std::atomic<uint64_t> requests{0}, answered{0}, dropped{0}, busySent{0}, staleSent{0}, malformedSent{0},
        duplicatesSent{0}, notForUs{0}, unusable{0}, tcpAccepted{0}, tcpRefused{0};
    std::mutex faultsMutex;
    Faults faults;
    std::atomic<bool> faultsChanged{false};
};

namespace {

void Bump(std::atomic<uint64_t> &counter) {
    counter.fetch_add(1, std::memory_order_relaxed);
}

constexpr uint64_t kWakeId = 0;
constexpr uint64_t kUdpId = 1;
constexpr uint64_t kListenId = 2;
constexpr uint64_t kFirstConnectionId = 16;
constexpr size_t kMaxSockets = 128;      // connections held at once
constexpr size_t kMaxClients = 64;       // of them, clients past the handshake
constexpr size_t kMaxBacklog = 4u << 20; // unsent answers before a client counts as gone
constexpr size_t kUdpBuffer = 4096;      // anything longer than a frame reads as too long
constexpr int kUdpBatch = 16;            // datagrams one receive call takes
constexpr int kUdpBatches = 4;           // batches served before the loop looks at other sockets

// Where an answer goes: a UDP peer, or a FINS/TCP connection by id.
struct Peer {
    uint64_t connection = 0;
    sockaddr_storage address{};
    socklen_t addressLength = 0;
};

struct Pending {
    Clock::time_point due;
    Peer peer;
    std::vector<uint8_t> bytes;
};

struct Connection {
    Fd fd;
    std::vector<uint8_t> in = std::vector<uint8_t>(kTcpMaxMessage);
    size_t inLength = 0;
    std::vector<uint8_t> out;
    size_t outOffset = 0;
    bool writeArmed = false;
    bool handshaken = false;
    bool closeWhenFlushed = false;
    bool gone = false;
    uint32_t clientNode = 0;
};

} // namespace

class Server::Loop {
  public:
    Loop(NodeSet &nodes, Shared &shared, Fd udp, Fd listener) : nodes_(nodes), shared_(shared) {
        udp_ = std::move(udp);
        listener_ = std::move(listener);
        registry_.SetServerNode(nodes.At(0).Config().node);
    }
    ~Loop() {
        stopping_ = true;
        Wake();
        if (thread_.joinable()) {
            thread_.join();
        }
    }
    bool Begin(std::string *error) {
        epoll_.Reset(::epoll_create1(EPOLL_CLOEXEC));
        wake_.Reset(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC));
        if (!epoll_.Valid() || !wake_.Valid()) {
            *error = std::string("cannot set up the event loop: ") + std::strerror(errno);
            return false;
        }
        Watch(wake_.Get(), kWakeId, EPOLLIN);
        if (udp_.Valid()) {
            Watch(udp_.Get(), kUdpId, EPOLLIN);
        }
        if (listener_.Valid()) {
            Watch(listener_.Get(), kListenId, EPOLLIN);
        }
        thread_ = std::thread([this] { Run(); });
        return true;
    }
    uint16_t UdpPort() const { return udp_.Valid() ? BoundPort(udp_.Get()) : 0; }
    uint16_t TcpPort() const { return listener_.Valid() ? BoundPort(listener_.Get()) : 0; }
    void Wake() {
        const uint64_t one = 1;
        if (wake_.Valid()) {
            [[maybe_unused]] ssize_t n = ::write(wake_.Get(), &one, sizeof one);
        }
    }

  private:
    void Watch(int fd, uint64_t id, uint32_t events) {
        epoll_event event{};
        event.events = events;
        event.data.u64 = id;
        ::epoll_ctl(epoll_.Get(), EPOLL_CTL_ADD, fd, &event);
    }
    void Rearm(int fd, uint64_t id, uint32_t events) {
        epoll_event event{};
        event.events = events;
        event.data.u64 = id;
        ::epoll_ctl(epoll_.Get(), EPOLL_CTL_MOD, fd, &event);
    }

    void Run() {
        epoll_event events[64];
        while (!stopping_) {
            const int count = ::epoll_wait(epoll_.Get(), events, 64, NextTimeout());
            for (int i = 0; i < count && !stopping_; ++i) {
                Dispatch(events[i]);
            }
            SendDue();
            Reap();
        }
    }

    void Dispatch(const epoll_event &event) {
        switch (event.data.u64) {
        case kWakeId: {
            uint64_t value = 0;
            [[maybe_unused]] ssize_t n = ::read(wake_.Get(), &value, sizeof value);
            return;
        }
        case kUdpId:
            return ReadUdp();
        case kListenId:
            return Accept();
        default:
            return ConnectionEvent(event.data.u64, event.events);
        }
    }

    // ---- faults and answers, the same for both transports

    void TakeNewFaults() {
        if (shared_.faultsChanged.exchange(false)) {
            std::lock_guard<std::mutex> lock(shared_.faultsMutex);
            plan_.Set(shared_.faults);
        }
    }

    void ServeFrame(const Peer &peer, const uint8_t *frame, size_t length) {
        NodeMemory *node = nullptr;
        const Verdict verdict = Classify(nodes_, frame, length, &node);
        if (verdict == Verdict::Unusable || verdict == Verdict::NotForUs) {
            Bump(verdict == Verdict::Unusable ? shared_.unusable : shared_.notForUs);
            return;
        }
        Bump(shared_.requests);
        TakeNewFaults();
        const RequestFate fate = plan_.OnRequest();
        if (fate == RequestFate::Drop) {
            Bump(shared_.dropped);
            return;
        }
        if (fate == RequestFate::Busy) {
            if (verdict == Verdict::Answer) {
                Bump(shared_.busySent);
                Emit(peer, answer_, BeginAnswer(frame, END_BUSY, answer_, sizeof answer_));
            }
            return;
        }
        size_t written = 0;
        {
            std::lock_guard<std::mutex> lock(nodes_.Mutex());
            written = ExecuteCommand(*node, frame, length, answer_, sizeof answer_);
        }
        if (verdict == Verdict::Answer) {
            SendAnswer(peer, written);
        }
    }

    void SendAnswer(const Peer &peer, size_t length) {
        const AnswerPlan plan = plan_.OnAnswer();
        if (plan.malformation != Malformation::None) {
            Bump(shared_.malformedSent);
            Emit(peer, spoilt_, Malform(plan.malformation, answer_, length, spoilt_));
            return;
        }
        if (plan.stale) {
            Bump(shared_.staleSent);
            Emit(peer, spoilt_, MakeStale(answer_, length, spoilt_));
        }
        // Counted before sending, so that a client holding the answer sees the count.
        Bump(shared_.answered);
        if (plan.duplicate) {
            Bump(shared_.duplicatesSent);
        }
        Emit(peer, answer_, length);
        if (plan.duplicate) {
            Emit(peer, answer_, length);
        }
    }

    void Emit(const Peer &peer, const uint8_t *bytes, size_t length) {
        const int delay = plan_.Current().delayMs;
        if (delay > 0) {
            pending_.push_back(
                {Clock::now() + std::chrono::milliseconds(delay), peer, std::vector<uint8_t>(bytes, bytes + length)});
            return;
        }
        Transmit(peer, bytes, length);
    }

    void Transmit(const Peer &peer, const uint8_t *bytes, size_t length) {
        if (peer.connection == 0) {
            ::sendto(udp_.Get(), bytes, length, MSG_DONTWAIT | MSG_NOSIGNAL,
                     reinterpret_cast<const sockaddr *>(&peer.address), peer.addressLength);
            return;
        }
        const auto found = connections_.find(peer.connection);
        if (found == connections_.end() || found->second.gone) {
            return; // the client left while its answer waited
        }
        PutTcpHeader(envelope_, TCP_FRAME, TCP_OK, length);
        std::memcpy(envelope_ + kTcpHeaderBytes, bytes, length);
        Write(peer.connection, found->second, envelope_, kTcpHeaderBytes + length);
    }

    int NextTimeout() const {
        if (pending_.empty()) {
            return -1;
        }
        const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(pending_.front().due - Clock::now());
        return wait.count() < 0 ? 0 : static_cast<int>(wait.count()) + 1;
    }

    void SendDue() {
        const Clock::time_point now = Clock::now();
        while (!pending_.empty() && pending_.front().due <= now) {
            const Pending &next = pending_.front();
            Transmit(next.peer, next.bytes.data(), next.bytes.size());
            pending_.pop_front();
        }
    }

    // ---- UDP

    // One call takes all the datagrams waiting, up to a batch, so a lone
    // request costs one receive; the level-triggered loop comes back for more.
    void ReadUdp() {
        for (int batch = 0; batch < kUdpBatches; ++batch) {
            Peer peers[kUdpBatch];
            iovec parts[kUdpBatch];
            mmsghdr messages[kUdpBatch] = {};
            for (int i = 0; i < kUdpBatch; ++i) {
                parts[i] = {datagrams_[i], kUdpBuffer};
                messages[i].msg_hdr.msg_name = &peers[i].address;
                messages[i].msg_hdr.msg_namelen = sizeof peers[i].address;
                messages[i].msg_hdr.msg_iov = &parts[i];
                messages[i].msg_hdr.msg_iovlen = 1;
            }
            // MSG_TRUNC makes each length the datagram's own, even when cut.
            const int count = ::recvmmsg(udp_.Get(), messages, kUdpBatch, MSG_DONTWAIT | MSG_TRUNC, nullptr);
            for (int i = 0; i < count; ++i) {
                peers[i].addressLength = messages[i].msg_hdr.msg_namelen;
                // A datagram cut at the buffer is longer than any frame and still reads as too long.
                const size_t length = messages[i].msg_len < kUdpBuffer ? messages[i].msg_len : kUdpBuffer;
                ServeFrame(peers[i], datagrams_[i], length);
            }
            if (count < kUdpBatch) {
                return;
            }
        }
    }

    // ---- FINS/TCP

    void Accept() {
        while (true) {
            Fd fd(::accept4(listener_.Get(), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC));
            if (!fd.Valid()) {
                return;
            }
            if (connections_.size() >= kMaxSockets) {
                Bump(shared_.tcpRefused);
                continue;
            }
            const int on = 1;
            ::setsockopt(fd.Get(), IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
            const uint64_t id = nextId_++;
            Watch(fd.Get(), id, EPOLLIN | EPOLLRDHUP);
            connections_[id].fd = std::move(fd);
        }
    }

    void ConnectionEvent(uint64_t id, uint32_t events) {
        const auto found = connections_.find(id);
        if (found == connections_.end() || found->second.gone) {
            return;
        }
        Connection &connection = found->second;
        if (events & EPOLLOUT) {
            Flush(id, connection);
        }
        if (events & (EPOLLIN | EPOLLRDHUP | EPOLLHUP | EPOLLERR)) {
            Receive(id, connection);
        }
    }

    void Receive(uint64_t id, Connection &connection) {
        while (!connection.gone && !connection.closeWhenFlushed) {
            const ssize_t got = ::recv(connection.fd.Get(), connection.in.data() + connection.inLength,
                                       connection.in.size() - connection.inLength, 0);
            if (got == 0 || (got < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) {
                connection.gone = true;
                return;
            }
            if (got < 0) {
                return;
            }
            const bool drained = static_cast<size_t>(got) < connection.in.size() - connection.inLength;
            connection.inLength += static_cast<size_t>(got);
            TakeMessages(id, connection);
            // Less than there was room for: nothing more is waiting now, and
            // the level-triggered loop reports whatever comes next.
            if (drained) {
                return;
            }
        }
    }

    void TakeMessages(uint64_t id, Connection &connection) {
        size_t start = 0;
        while (!connection.closeWhenFlushed && !connection.gone) {
            TcpMessage message{};
            size_t consumed = 0;
            const TcpParse parse =
                ParseTcpMessage(connection.in.data() + start, connection.inLength - start, &message, &consumed);
            if (parse == TcpParse::NeedMore) {
                break;
            }
            if (parse != TcpParse::Message) {
                Refuse(id, connection, TCP_FRAME_ERROR, parse == TcpParse::TooLong ? TCP_TOO_LONG : TCP_NOT_FINS);
                break;
            }
            OnMessage(id, connection, message);
            start += consumed;
        }
        std::memmove(connection.in.data(), connection.in.data() + start, connection.inLength - start);
        connection.inLength -= start;
    }

    void OnMessage(uint64_t id, Connection &connection, const TcpMessage &message) {
        if (!connection.handshaken) {
            return Handshake(id, connection, message);
        }
        if (message.command == TCP_FRAME) {
            Peer peer;
            peer.connection = id;
            return ServeFrame(peer, message.data, message.length);
        }
        uint8_t notice[kTcpHeaderBytes];
        PutTcpHeader(notice, TCP_FRAME_ERROR, TCP_UNSUPPORTED, 0);
        Write(id, connection, notice, sizeof notice);
    }

    void Handshake(uint64_t id, Connection &connection, const TcpMessage &message) {
        if (message.command != TCP_NODE_REQUEST) {
            return Refuse(id, connection, TCP_FRAME_ERROR, TCP_UNSUPPORTED);
        }
        if (message.length != 4) {
            return Refuse(id, connection, TCP_NODE_ANSWER, TCP_TOO_LONG);
        }
        const uint32_t requested = GetU32(message.data);
        uint32_t node = 0;
        const uint32_t error = clients_ >= kMaxClients ? uint32_t{TCP_ALL_IN_USE} : registry_.Claim(requested, &node);
        uint8_t answer[kTcpHeaderBytes + 8];
        PutTcpHeader(answer, TCP_NODE_ANSWER, error, 8);
        PutU32(answer + kTcpHeaderBytes, error == TCP_OK ? node : requested);
        PutU32(answer + kTcpHeaderBytes + 4, registry_.ServerNode());
        if (error != TCP_OK) {
            return Refuse(id, connection, answer, sizeof answer);
        }
        connection.handshaken = true;
        connection.clientNode = node;
        ++clients_;
        Bump(shared_.tcpAccepted);
        Write(id, connection, answer, sizeof answer);
    }

    void Refuse(uint64_t id, Connection &connection, uint32_t command, uint32_t error) {
        uint8_t notice[kTcpHeaderBytes];
        PutTcpHeader(notice, command, error, 0);
        Refuse(id, connection, notice, sizeof notice);
    }

    // Says why, then closes once the words are out.
    void Refuse(uint64_t id, Connection &connection, const uint8_t *bytes, size_t length) {
        Bump(shared_.tcpRefused);
        Write(id, connection, bytes, length);
        connection.closeWhenFlushed = true;
        if (connection.outOffset == connection.out.size()) {
            connection.gone = true;
        }
    }

    void Write(uint64_t id, Connection &connection, const uint8_t *bytes, size_t length) {
        if (connection.outOffset == connection.out.size()) {
            connection.out.clear();
            connection.outOffset = 0;
            const ssize_t sent = ::send(connection.fd.Get(), bytes, length, MSG_DONTWAIT | MSG_NOSIGNAL);
            if (sent < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
                connection.gone = true;
                return;
            }
            const size_t done = sent < 0 ? 0 : static_cast<size_t>(sent);
            bytes += done;
            length -= done;
            if (length == 0) {
                return;
            }
        }
        if (connection.out.size() - connection.outOffset + length > kMaxBacklog) {
            connection.gone = true; // the client stopped reading its answers
            return;
        }
        connection.out.insert(connection.out.end(), bytes, bytes + length);
        if (!connection.writeArmed) {
            connection.writeArmed = true;
            Rearm(connection.fd.Get(), id, EPOLLIN | EPOLLRDHUP | EPOLLOUT);
        }
    }

    void Flush(uint64_t id, Connection &connection) {
        while (connection.outOffset < connection.out.size()) {
            const ssize_t sent = ::send(connection.fd.Get(), connection.out.data() + connection.outOffset,
                                        connection.out.size() - connection.outOffset, MSG_DONTWAIT | MSG_NOSIGNAL);
            if (sent < 0) {
                if (errno != EAGAIN && errno != EWOULDBLOCK) {
                    connection.gone = true;
                }
                return;
            }
            connection.outOffset += static_cast<size_t>(sent);
        }
        connection.writeArmed = false;
        Rearm(connection.fd.Get(), id, EPOLLIN | EPOLLRDHUP);
        if (connection.closeWhenFlushed) {
            connection.gone = true;
        }
    }

    // Closes the connections marked gone, outside any walk over their buffers.
    void Reap() {
        for (auto it = connections_.begin(); it != connections_.end();) {
            if (!it->second.gone) {
                ++it;
                continue;
            }
            if (it->second.handshaken) {
                registry_.Release(it->second.clientNode);
                --clients_;
            }
            ::epoll_ctl(epoll_.Get(), EPOLL_CTL_DEL, it->second.fd.Get(), nullptr);
            it = connections_.erase(it);
        }
    }

    NodeSet &nodes_;
    Shared &shared_;
    Fd udp_, listener_, epoll_, wake_;
    std::thread thread_;
    std::atomic<bool> stopping_{false};
    FaultPlan plan_;
    NodeRegistry registry_;
    std::unordered_map<uint64_t, Connection> connections_;
    uint64_t nextId_ = kFirstConnectionId;
    size_t clients_ = 0;
    std::deque<Pending> pending_;
    uint8_t datagrams_[kUdpBatch][kUdpBuffer];
    uint8_t answer_[kMaxFrame];
    uint8_t spoilt_[kMaxFrame];
    uint8_t envelope_[kTcpHeaderBytes + kMaxFrame];
};

Server::Server(NodeSet &nodes) : nodes_(nodes), shared_(std::make_unique<Shared>()) {}

Server::~Server() {
    Stop();
}

bool Server::Start(const std::string &host, uint16_t udpPort, uint16_t tcpPort, bool udp, bool tcp,
                   std::string *error) {
    if (loop_) {
        *error = "already running";
        return false;
    }
    Fd udpFd, tcpFd;
    if (udp && !(udpFd = OpenBound(host, udpPort, SOCK_DGRAM, error)).Valid()) {
        return false;
    }
    if (tcp && !(tcpFd = OpenBound(host, tcpPort, SOCK_STREAM, error)).Valid()) {
        return false;
    }
    shared_->faultsChanged = true; // the loop starts with the faults set so far
    auto loop = std::make_unique<Loop>(nodes_, *shared_, std::move(udpFd), std::move(tcpFd));
    if (!loop->Begin(error)) {
        return false;
    }
    loop_ = std::move(loop);
    return true;
}

void Server::Stop() {
    loop_.reset();
}

uint16_t Server::UdpPort() const {
    return loop_ ? loop_->UdpPort() : 0;
}
uint16_t Server::TcpPort() const {
    return loop_ ? loop_->TcpPort() : 0;
}

void Server::SetFaults(const Faults &faults) {
    {
        std::lock_guard<std::mutex> lock(shared_->faultsMutex);
        shared_->faults = faults;
    }
    shared_->faultsChanged = true;
    if (loop_) {
        loop_->Wake();
    }
}

Counters Server::GetCounters() const {
    const Shared &s = *shared_;
    Counters c;
    c.requests = s.requests;
    c.answered = s.answered;
    c.dropped = s.dropped;
    c.busySent = s.busySent;
    c.staleSent = s.staleSent;
    c.malformedSent = s.malformedSent;
    c.duplicatesSent = s.duplicatesSent;
    c.notForUs = s.notForUs;
    c.unusable = s.unusable;
    c.tcpAccepted = s.tcpAccepted;
    c.tcpRefused = s.tcpRefused;
    return c;
}

void Server::ResetCounters() {
    Shared &s = *shared_;
    for (std::atomic<uint64_t> *counter :
         {&s.requests, &s.answered, &s.dropped, &s.busySent, &s.staleSent, &s.malformedSent, &s.duplicatesSent,
          &s.notForUs, &s.unusable, &s.tcpAccepted, &s.tcpRefused}) {
        *counter = 0;
    }
}

} // namespace finsim
