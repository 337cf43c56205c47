#include "bench/bare_client.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace bench {

namespace {

constexpr size_t SID = 9;
constexpr size_t DNA = 3;
constexpr size_t DA1 = 4;
constexpr size_t SA1 = 7;
constexpr size_t END_CODE = FINS_HEADER + 2;
constexpr size_t TCP_HEADER = 16;

void Put16(uint8_t *out, uint32_t value) {
    out[0] = static_cast<uint8_t>(value >> 8);
    out[1] = static_cast<uint8_t>(value);
}

void Put32(uint8_t *out, uint32_t value) {
    Put16(out, value >> 16);
    Put16(out + 2, value);
}

uint32_t Get32(const uint8_t *in) {
    return static_cast<uint32_t>(in[0]) << 24 | static_cast<uint32_t>(in[1]) << 16 | static_cast<uint32_t>(in[2]) << 8 |
           in[3];
}

bool Answered(const uint8_t *answer, size_t length, uint8_t sid) {
    return length >= END_CODE + 2 && answer[SID] == sid && answer[END_CODE] == 0 && answer[END_CODE + 1] == 0;
}

int ConnectedSocket(int type, uint16_t port, std::string *error) {
    int fd = socket(AF_INET, type | SOCK_CLOEXEC, 0);
    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    peer.sin_port = htons(port);
    peer.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd < 0 || connect(fd, reinterpret_cast<const sockaddr *>(&peer), sizeof peer) != 0) {
        *error = std::string("bare client: ") + std::strerror(errno);
        if (fd >= 0) {
            close(fd);
        }
        return -1;
    }
    return fd;
}

class BareUdp final : public BareClient {
  public:
    explicit BareUdp(int fd) : fd_(fd) {}
    ~BareUdp() override { close(fd_); }

    bool Exchange(uint8_t *frame, size_t length) override {
        frame[SID] = ++sid_;
        if (send(fd_, frame, length, 0) != static_cast<ssize_t>(length)) {
            return false;
        }
        for (;;) {
            ssize_t got = recv(fd_, answer_, sizeof answer_, 0);
            if (got < 0) {
                return false;
            }
            if (static_cast<size_t>(got) > SID && answer_[SID] == sid_) {
                return Answered(answer_, static_cast<size_t>(got), sid_);
            }
        }
    }

  private:
    int fd_;
    uint8_t answer_[MAX_FRAME];
};

class BareTcp final : public BareClient {
  public:
    explicit BareTcp(int fd) : fd_(fd) {}
    ~BareTcp() override { close(fd_); }

    // The server assigns this client's node and names its own.
    bool Handshake(std::string *error) {
        uint8_t request[TCP_HEADER + 4] = {'F', 'I', 'N', 'S'};
        Put32(request + 4, 12);
        if (send(fd_, request, sizeof request, 0) != static_cast<ssize_t>(sizeof request) || !ReadMessage() ||
            Get32(message_ + 8) != 1 || Get32(message_ + 12) != 0) {
            *error = "bare client: the FINS/TCP node address exchange failed";
            return false;
        }
        clientNode_ = static_cast<uint8_t>(Get32(message_ + TCP_HEADER));
        serverNode_ = static_cast<uint8_t>(Get32(message_ + TCP_HEADER + 4));
        return true;
    }

    // The node addresses are those the link needs, as the gateway sends them.
    bool Exchange(uint8_t *frame, size_t length) override {
        frame[SID] = ++sid_;
        frame[SA1] = clientNode_;
        if (frame[DNA] == 0) {
            frame[DA1] = serverNode_;
        }
        std::memcpy(out_, "FINS", 4);
        Put32(out_ + 4, static_cast<uint32_t>(8 + length));
        Put32(out_ + 8, 2);
        Put32(out_ + 12, 0);
        std::memcpy(out_ + TCP_HEADER, frame, length);
        size_t total = TCP_HEADER + length;
        if (send(fd_, out_, total, MSG_NOSIGNAL) != static_cast<ssize_t>(total) || !ReadMessage()) {
            return false;
        }
        return Answered(message_ + TCP_HEADER, messageLength_ - TCP_HEADER, sid_);
    }

  private:
    // One whole message into message_, however the stream splits it.
    bool ReadMessage() {
        size_t have = 0;
        size_t want = TCP_HEADER;
        while (have < want) {
            ssize_t got = recv(fd_, message_ + have, sizeof message_ - have, 0);
            if (got <= 0) {
                return false;
            }
            have += static_cast<size_t>(got);
            if (have >= TCP_HEADER) {
                want = 8 + Get32(message_ + 4);
                if (want > sizeof message_ || want < TCP_HEADER) {
                    return false;
                }
            }
        }
        messageLength_ = want;
        return true;
    }

    int fd_;
    uint8_t clientNode_ = 0;
    uint8_t serverNode_ = 0;
    uint8_t out_[TCP_HEADER + MAX_FRAME];
    uint8_t message_[TCP_HEADER + MAX_FRAME];
    size_t messageLength_ = 0;
};

} // namespace

size_t ComposeAreaRead(const AreaRead &read, uint8_t sid, uint8_t *frame) {
    const uint8_t header[FINS_HEADER] = {
        0x80, 0x00, 0x02, read.destination[0], read.destination[1], read.destination[2], 0, 100, 0, sid};
    std::memcpy(frame, header, sizeof header);
    uint8_t *command = frame + FINS_HEADER;
    command[0] = 0x01;
    command[1] = 0x01;
    command[2] = read.area;
    Put16(command + 3, read.address);
    command[5] = 0;
    Put16(command + 6, read.count);
    return FINS_HEADER + READ_COMMAND;
}

std::unique_ptr<BareClient> MakeBareUdp(uint16_t port, std::string *error) {
    int fd = ConnectedSocket(SOCK_DGRAM, port, error);
    return fd < 0 ? nullptr : std::make_unique<BareUdp>(fd);
}

std::unique_ptr<BareClient> MakeBareTcp(uint16_t port, std::string *error) {
    int fd = ConnectedSocket(SOCK_STREAM, port, error);
    if (fd < 0) {
        return nullptr;
    }
    auto client = std::make_unique<BareTcp>(fd);
    return client->Handshake(error) ? std::move(client) : nullptr;
}

} // namespace bench
