#include "tests/sim/fins_test_client.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>

namespace fins_test {
namespace {

sockaddr_in Loopback(uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

uint32_t U32(const uint8_t *p) {
    return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3];
}

void PutU32(Bytes &out, uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) {
        out.push_back(static_cast<uint8_t>(value >> shift));
    }
}

bool Readable(int fd, int waitMs) {
    pollfd entry{fd, POLLIN, 0};
    return ::poll(&entry, 1, waitMs) > 0;
}

} // namespace

Bytes Command(uint8_t mrc, uint8_t src, const Bytes &params, Address to, uint8_t sid, uint8_t sourceNode) {
    Bytes frame = {0x80, 0x00, 0x02, to.network, to.node, to.unit, 0x00, sourceNode, 0x00, sid, mrc, src};
    frame.insert(frame.end(), params.begin(), params.end());
    return frame;
}

Bytes AreaParams(uint8_t area, uint16_t address, uint8_t bit, uint16_t count) {
    return {area, static_cast<uint8_t>(address >> 8), static_cast<uint8_t>(address),
            bit,  static_cast<uint8_t>(count >> 8),   static_cast<uint8_t>(count)};
}

Bytes Words(const std::vector<uint16_t> &words) {
    Bytes bytes;
    for (uint16_t word : words) {
        bytes.push_back(static_cast<uint8_t>(word >> 8));
        bytes.push_back(static_cast<uint8_t>(word));
    }
    return bytes;
}

Bytes Concat(Bytes a, const Bytes &b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

uint16_t EndCode(const Bytes &answer) {
    return answer.size() < 14 ? 0xFFFF : static_cast<uint16_t>(answer[12] << 8 | answer[13]);
}

Bytes AnswerData(const Bytes &answer) {
    return answer.size() < 14 ? Bytes() : Bytes(answer.begin() + 14, answer.end());
}

std::vector<uint16_t> AnswerWords(const Bytes &answer) {
    const Bytes data = AnswerData(answer);
    std::vector<uint16_t> words;
    for (size_t i = 0; i + 1 < data.size(); i += 2) {
        words.push_back(static_cast<uint16_t>(data[i] << 8 | data[i + 1]));
    }
    return words;
}

UdpClient::UdpClient(uint16_t serverPort) : fd_(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0)) {
    const sockaddr_in server = Loopback(serverPort);
    ::connect(fd_, reinterpret_cast<const sockaddr *>(&server), sizeof server);
}

UdpClient::~UdpClient() {
    ::close(fd_);
}

void UdpClient::Send(const Bytes &frame) {
    ::send(fd_, frame.data(), frame.size(), 0);
}

Bytes UdpClient::Receive(int waitMs) {
    if (!Readable(fd_, waitMs)) {
        return {};
    }
    Bytes datagram(65536);
    const ssize_t got = ::recv(fd_, datagram.data(), datagram.size(), 0);
    datagram.resize(got < 0 ? 0 : static_cast<size_t>(got));
    return datagram;
}

TcpClient::TcpClient(uint16_t serverPort) : fd_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
    const sockaddr_in server = Loopback(serverPort);
    if (::connect(fd_, reinterpret_cast<const sockaddr *>(&server), sizeof server) != 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

TcpClient::~TcpClient() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

void TcpClient::SendRaw(const Bytes &bytes) {
    ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
}

Bytes TcpClient::Envelope(uint32_t command, uint32_t error, const Bytes &data) {
    Bytes message = {'F', 'I', 'N', 'S'};
    PutU32(message, static_cast<uint32_t>(8 + data.size()));
    PutU32(message, command);
    PutU32(message, error);
    message.insert(message.end(), data.begin(), data.end());
    return message;
}

bool TcpClient::Fill(size_t bytes, int waitMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    while (buffer_.size() < bytes) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || !Readable(fd_, static_cast<int>(left.count()))) {
            return false;
        }
        uint8_t chunk[8192];
        const ssize_t got = ::recv(fd_, chunk, sizeof chunk, 0);
        if (got <= 0) {
            return false;
        }
        buffer_.insert(buffer_.end(), chunk, chunk + got);
    }
    return true;
}

TcpMessage TcpClient::Receive(int waitMs) {
    TcpMessage message;
    if (!Fill(16, waitMs)) {
        return message;
    }
    const size_t total = 8 + U32(buffer_.data() + 4);
    if (total < 16 || !Fill(total, waitMs)) {
        return message;
    }
    message.command = U32(buffer_.data() + 8);
    message.error = U32(buffer_.data() + 12);
    message.data.assign(buffer_.begin() + 16, buffer_.begin() + static_cast<long>(total));
    buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<long>(total));
    message.ok = true;
    return message;
}

TcpMessage TcpClient::Handshake(uint32_t clientNode) {
    Bytes node;
    PutU32(node, clientNode);
    SendMessage(0, node);
    return Receive();
}

Bytes TcpClient::Exchange(const Bytes &frame) {
    SendMessage(2, frame);
    const TcpMessage message = Receive();
    return message.ok && message.command == 2 ? message.data : Bytes();
}

bool TcpClient::ClosedByServer(int waitMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    while (std::chrono::steady_clock::now() < deadline) {
        if (!Readable(fd_, waitMs)) {
            return false;
        }
        uint8_t chunk[8192];
        const ssize_t got = ::recv(fd_, chunk, sizeof chunk, 0);
        if (got <= 0) {
            return true;
        }
    }
    return false;
}

} // namespace fins_test
