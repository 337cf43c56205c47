#include "gateway/fins_tcp.h"

#include <cstring>

namespace finsgw {

namespace {

void PutWord(uint8_t *out, uint32_t value) {
    out[0] = static_cast<uint8_t>(value >> 24);
    out[1] = static_cast<uint8_t>(value >> 16);
    out[2] = static_cast<uint8_t>(value >> 8);
    out[3] = static_cast<uint8_t>(value);
}

uint32_t GetWord(const uint8_t *in) {
    return static_cast<uint32_t>(in[0]) << 24 | static_cast<uint32_t>(in[1]) << 16 | static_cast<uint32_t>(in[2]) << 8 |
           in[3];
}

struct ErrorMeaning {
    uint32_t code;
    const char *text;
};

constexpr ErrorMeaning ERROR_MEANINGS[] = {
    {0x01, "the message did not start with FINS"},
    {0x02, "the message was too long"},
    {0x03, "command not supported"},
    {0x20, "all connections are in use"},
    {0x21, "the node is already connected"},
    {0x22, "protected node, this address is not allowed"},
    {0x23, "client node out of range"},
    {0x24, "client and server have the same node"},
    {0x25, "no node address left to assign"},
};

} // namespace

void PutTcpHeader(uint8_t *out, uint32_t command, size_t dataLength) {
    std::memcpy(out, "FINS", 4);
    PutWord(out + 4, static_cast<uint32_t>(TCP_LENGTH_COUNTED_FROM + dataLength));
    PutWord(out + 8, command);
    PutWord(out + 12, 0);
}

void PutNodeRequest(uint8_t out[NODE_REQUEST_SIZE]) {
    PutTcpHeader(out, TCP_NODE_REQUEST, 4);
    PutWord(out + TCP_HEADER_SIZE, 0);
}

const char *TcpErrorMeaning(uint32_t code) {
    for (const ErrorMeaning &meaning : ERROR_MEANINGS) {
        if (meaning.code == code) {
            return meaning.text;
        }
    }
    return nullptr;
}

uint8_t *TcpMessageReader::Space() {
    // Room for one whole message always exists once consumed bytes are moved out.
    if (begin_ > 0 && buffer_.size() - end_ < TCP_HEADER_SIZE + MAX_FINS_FRAME) {
        std::memmove(buffer_.data(), buffer_.data() + begin_, end_ - begin_);
        end_ -= begin_;
        begin_ = 0;
    }
    return buffer_.data() + end_;
}

size_t TcpMessageReader::SpaceSize() const {
    return buffer_.size() - end_;
}

void TcpMessageReader::Added(size_t count) {
    end_ += count;
}

TcpMessageReader::Status TcpMessageReader::Next(TcpMessage *message) {
    size_t available = end_ - begin_;
    const uint8_t *at = buffer_.data() + begin_;
    if (available >= 4 && std::memcmp(at, "FINS", 4) != 0) {
        return Status::BAD_MARK;
    }
    if (available < TCP_LENGTH_COUNTED_FROM) {
        return Status::NEED_MORE;
    }
    // Judged as soon as it is in: a bad length is never waited for.
    uint32_t length = GetWord(at + 4);
    if (length < TCP_HEADER_SIZE - TCP_LENGTH_COUNTED_FROM || length > MAX_TCP_LENGTH) {
        refusedLength_ = length;
        return Status::BAD_LENGTH;
    }
    size_t total = TCP_LENGTH_COUNTED_FROM + length;
    if (available < total) {
        return Status::NEED_MORE;
    }
    message->command = GetWord(at + 8);
    message->error = GetWord(at + 12);
    message->data = at + TCP_HEADER_SIZE;
    message->dataLength = total - TCP_HEADER_SIZE;
    begin_ += total;
    if (begin_ == end_) {
        begin_ = end_ = 0;
    }
    return Status::MESSAGE;
}

void TcpMessageReader::Clear() {
    begin_ = end_ = 0;
}

} // namespace finsgw
