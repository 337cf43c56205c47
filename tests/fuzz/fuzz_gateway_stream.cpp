// The gateway's receive path on a FINS/TCP unit, fed arbitrary byte streams
// by a loopback peer that completes the node address handshake and answers
// each command with the fuzz input.
//
// Input: byte 0 holds flags (bit 0: the peer puts the command's service id at
// the frame's service id place); the rest is what the peer sends.
//
// Beyond crashes, each run aborts when GwReceive hands back more than its
// capacity, or takes a frame that is not the answer to the command sent.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tests/fuzz/gateway_unit.h"

namespace {

using namespace gateway_fuzz;

constexpr size_t SID_IN_STREAM = 16 + 9; // after the FINS/TCP envelope

std::mutex lock;
std::vector<uint8_t> payload;
GwUnitHandle unit = 0;

// Answers every command of every connection with the current payload.
void Serve(int listener) {
    for (;;) {
        int client = accept(listener, nullptr, nullptr);
        if (client < 0) {
            continue;
        }
        uint8_t request[256];
        if (recv(client, request, 20, MSG_WAITALL) == 20) {
            const uint8_t welcome[24] = {'F', 'I', 'N', 'S', 0, 0, 0, 16, 0, 0, 0, 1,
                                         0,   0,   0,   0,   0, 0, 0, 7,  0, 0, 0, 1};
            send(client, welcome, sizeof welcome, MSG_NOSIGNAL);
            for (;;) {
                ssize_t length = recv(client, request, sizeof request, 0);
                if (length <= 0) {
                    break;
                }
                std::vector<uint8_t> answer;
                {
                    std::lock_guard<std::mutex> guard(lock);
                    answer = payload;
                }
                if (!answer.empty() && (answer[0] & 1) != 0 && answer.size() > SID_IN_STREAM + 1 &&
                    length > static_cast<ssize_t>(SID_IN_STREAM)) {
                    answer[SID_IN_STREAM + 1] = request[SID_IN_STREAM];
                }
                if (answer.size() > 1) {
                    send(client, answer.data() + 1, answer.size() - 1, MSG_NOSIGNAL);
                }
            }
        }
        close(client);
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    int listener = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    Check(bind(listener, reinterpret_cast<sockaddr *>(&address), size) == 0 && listen(listener, 8) == 0 &&
          getsockname(listener, reinterpret_cast<sockaddr *>(&address), &size) == 0);
    std::thread(Serve, listener).detach();
    unit = OpenUnitTo("tcp", ntohs(address.sin_port));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    {
        std::lock_guard<std::mutex> guard(lock);
        payload.assign(data, data + size);
    }
    uint8_t header[20];
    Check(GwComposeHeader(header, 0, DESTINATION, -1) >= 0);
    if (GwSend(unit, header, COMMAND, sizeof COMMAND) < 0) {
        return 0;
    }
    ReceiveAndCheck(unit, header, 20);
    return 0;
}
