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
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "fins/gateway.h"

namespace {

constexpr int32_t CAPACITY = 64;
constexpr uint8_t DESTINATION[3] = {0, 1, 0};
constexpr uint8_t COMMAND[8] = {0x01, 0x01, 0x82, 0x00, 0x64, 0x00, 0x00, 0x01};
constexpr size_t SID_IN_STREAM = 16 + 9; // after the FINS/TCP envelope

std::mutex lock;
std::vector<uint8_t> payload;
GwUnitHandle unit = 0;

void Check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

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
    char config[] = "/tmp/kelomr-fuzz-gw-XXXXXX";
    int file = mkstemp(config);
    std::string text = "local 0.250.0\nroute 0.1 tcp 127.0.0.1:" + std::to_string(ntohs(address.sin_port)) + "\n";
    Check(file >= 0 && write(file, text.data(), text.size()) == static_cast<ssize_t>(text.size()));
    close(file);
    setenv("FINSGW_CONFIG", config, 1);
    GwOpenService(1, 0);
    unit = GwOpenUnit("0.1.0");
    unlink(config);
    Check(unit != 0);
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
    uint8_t received[20];
    uint8_t response[CAPACITY + 16];
    std::memset(response, 0xA5, sizeof response);
    int32_t result = GwReceive(unit, received, response, CAPACITY, 20);
    Check(result <= CAPACITY);
    for (size_t i = CAPACITY; i < sizeof response; ++i) {
        Check(response[i] == 0xA5);
    }
    if (result >= 0) {
        Check(received[9] == header[9]);
        Check(result >= 2 && response[0] == 0x01 && response[1] == 0x01);
    }
    return 0;
}
