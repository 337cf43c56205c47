#include "sim/tcp_link.h"

#include <cstring>

#include "sim/frame.h"

namespace finsim {
namespace {

constexpr uint8_t kMagic[4] = {'F', 'I', 'N', 'S'};
constexpr uint32_t kHighestNode = 254;

} // namespace

TcpParse ParseTcpMessage(const uint8_t *bytes, size_t available, TcpMessage *message, size_t *consumed) {
    const size_t magic = available < 4 ? available : 4;
    if (std::memcmp(bytes, kMagic, magic) != 0) {
        return TcpParse::NotFins;
    }
    if (available < kTcpHeaderBytes) {
        return TcpParse::NeedMore;
    }
    const uint32_t length = GetU32(bytes + 4);
    if (length < kTcpLengthCovers) {
        return TcpParse::NotFins;
    }
    if (length - kTcpLengthCovers > kTcpMaxData) {
        return TcpParse::TooLong;
    }
    const size_t total = 8 + size_t{length};
    if (available < total) {
        return TcpParse::NeedMore;
    }
    message->command = GetU32(bytes + 8);
    message->error = GetU32(bytes + 12);
    message->data = bytes + kTcpHeaderBytes;
    message->length = total - kTcpHeaderBytes;
    *consumed = total;
    return TcpParse::Message;
}

void PutTcpHeader(uint8_t *out, uint32_t command, uint32_t error, size_t dataLength) {
    std::memcpy(out, kMagic, 4);
    PutU32(out + 4, static_cast<uint32_t>(kTcpLengthCovers + dataLength));
    PutU32(out + 8, command);
    PutU32(out + 12, error);
}

uint32_t NodeRegistry::Claim(uint32_t requested, uint32_t *node) {
    if (requested == 0) {
        for (uint32_t candidate = 1; candidate <= kHighestNode; ++candidate) {
            if (candidate != serverNode_ && !taken_[candidate]) {
                taken_[candidate] = true;
                *node = candidate;
                return TCP_OK;
            }
        }
        return TCP_NO_NODE_LEFT;
    }
    if (requested > kHighestNode) {
        return TCP_NODE_RANGE;
    }
    if (requested == serverNode_) {
        return TCP_SAME_NODE;
    }
    if (taken_[requested]) {
        return TCP_NODE_CONNECTED;
    }
    taken_[requested] = true;
    *node = requested;
    return TCP_OK;
}

void NodeRegistry::Release(uint32_t node) {
    if (node > 0 && node <= kHighestNode) {
        taken_[node] = false;
    }
}

} // namespace finsim
