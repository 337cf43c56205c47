#include "tests/gateway/peers.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <stdexcept>

namespace {

constexpr int POLL_STEP_MS = 20;
constexpr auto CHUNK_PAUSE = std::chrono::milliseconds(30);

sockaddr_in Loopback(uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    return address;
}

int BoundSocket(int type, uint16_t *port) {
    int fd = socket(AF_INET, type | SOCK_CLOEXEC, 0);
    sockaddr_in address = Loopback(0);
    socklen_t size = sizeof address;
    if (fd < 0 || bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr *>(&address), &size) != 0) {
        throw std::runtime_error("cannot bind a loopback socket");
    }
    *port = ntohs(address.sin_port);
    return fd;
}

bool Readable(int fd) {
    pollfd entry{fd, POLLIN, 0};
    return poll(&entry, 1, POLL_STEP_MS) > 0;
}

uint32_t WordAt(const uint8_t *data) {
    return static_cast<uint32_t>(data[0]) << 24 | static_cast<uint32_t>(data[1]) << 16 |
           static_cast<uint32_t>(data[2]) << 8 | data[3];
}

} // namespace

uint16_t FreePort(int type) {
    uint16_t port = 0;
    close(BoundSocket(type, &port));
    return port;
}

UdpPeer::UdpPeer(Handler handler) : handler_(std::move(handler)) {
    fd_ = BoundSocket(SOCK_DGRAM, &port_);
    thread_ = std::thread([this] { Run(); });
}

UdpPeer::~UdpPeer() {
    stop_ = true;
    thread_.join();
    close(fd_);
}

std::vector<Bytes> UdpPeer::Requests() {
    std::lock_guard<std::mutex> guard(lock_);
    return requests_;
}

uint16_t UdpPeer::LastSourcePort() {
    std::lock_guard<std::mutex> guard(lock_);
    return lastSourcePort_;
}

void UdpPeer::Run() {
    uint8_t buffer[4096];
    while (!stop_) {
        if (!Readable(fd_)) {
            continue;
        }
        sockaddr_in from{};
        socklen_t size = sizeof from;
        ssize_t length = recvfrom(fd_, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr *>(&from), &size);
        if (length < 0) {
            continue;
        }
        Bytes request(buffer, buffer + length);
        size_t index;
        {
            std::lock_guard<std::mutex> guard(lock_);
            requests_.push_back(request);
            lastSourcePort_ = ntohs(from.sin_port);
            index = requests_.size() - 1;
        }
        for (const Bytes &reply : handler_(request, index)) {
            sendto(fd_, reply.data(), reply.size(), 0, reinterpret_cast<sockaddr *>(&from), size);
        }
    }
}

TcpPeer::TcpPeer(TcpScript script) : script_(std::move(script)) {
    listener_ = BoundSocket(SOCK_STREAM, &port_);
    listen(listener_, 4);
    thread_ = std::thread([this] { Run(); });
}

TcpPeer::~TcpPeer() {
    stop_ = true;
    thread_.join();
    close(listener_);
}

bool TcpPeer::WaitClosed(size_t count) const {
    for (int step = 0; step < 500 && closed_ < count; ++step) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return closed_ >= count;
}

std::vector<Bytes> TcpPeer::NodeRequests() {
    std::lock_guard<std::mutex> guard(lock_);
    return nodeRequests_;
}

std::vector<Bytes> TcpPeer::Frames() {
    std::lock_guard<std::mutex> guard(lock_);
    return frames_;
}

void TcpPeer::Run() {
    while (!stop_) {
        if (!Readable(listener_)) {
            continue;
        }
        int connection = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (connection < 0) {
            continue;
        }
        connections_++;
        Serve(connection);
        close(connection);
        closed_++;
    }
}

bool TcpPeer::WriteChunks(int connection, const std::vector<Bytes> &chunks) {
    for (size_t index = 0; index < chunks.size(); ++index) {
        if (index > 0) {
            std::this_thread::sleep_for(CHUNK_PAUSE);
        }
        if (send(connection, chunks[index].data(), chunks[index].size(), MSG_NOSIGNAL) < 0) {
            return false;
        }
    }
    return true;
}

// Reads whole FINS/TCP messages: the first is the node address request,
// the others carry frames.
void TcpPeer::Serve(int connection) {
    Bytes stream;
    size_t messages = 0;
    size_t connectionIndex = connections_ - 1;
    while (!stop_) {
        if (stream.size() >= 8 && stream.size() >= 8 + WordAt(stream.data() + 4)) {
            size_t total = 8 + WordAt(stream.data() + 4);
            Bytes message(stream.begin(), stream.begin() + static_cast<long>(total));
            stream.erase(stream.begin(), stream.begin() + static_cast<long>(total));
            std::vector<Bytes> answer;
            size_t frameIndex = 0;
            {
                std::lock_guard<std::mutex> guard(lock_);
                if (messages++ == 0) {
                    nodeRequests_.push_back(message);
                } else {
                    frames_.emplace_back(message.begin() + 16, message.end());
                    frameIndex = frames_.size() - 1;
                }
            }
            if (messages == 1) {
                answer = script_.onNodeRequest ? script_.onNodeRequest(message, connectionIndex) : answer;
            } else {
                answer = script_.onFrame(Bytes(message.begin() + 16, message.end()), frameIndex);
            }
            if (!WriteChunks(connection, answer) || (messages > 1 && script_.closeAfter(frameIndex))) {
                return;
            }
            continue;
        }
        if (!Readable(connection)) {
            continue;
        }
        uint8_t buffer[4096];
        ssize_t length = recv(connection, buffer, sizeof buffer, 0);
        if (length <= 0) {
            return;
        }
        stream.insert(stream.end(), buffer, buffer + length);
    }
}
