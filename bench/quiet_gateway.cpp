// A gateway that answers at once and keeps no record, so an instruction
// count of a driver call holds the driver's own work and little else: every
// receive hands over a normal completion with as many data bytes as the
// command last sent asked words for.
#include <cstring>

#include "fins/gateway.h"

namespace {

constexpr int32_t HEAD = 4; // MRC SRC MRES SRES
constexpr int32_t MAX_DATA = 2000;

uint8_t answer[HEAD + MAX_DATA];
int32_t answerLength = HEAD;

} // namespace

extern "C" int32_t GwOpenService(int32_t, int32_t) {
    return 0;
}

extern "C" GwUnitHandle GwOpenUnit(const char *) {
    return 1;
}

extern "C" int32_t GwCloseUnit(GwUnitHandle) {
    return 0;
}

extern "C" int32_t GwComposeHeader(uint8_t *header, int32_t, const uint8_t *destination, int32_t serviceId) {
    const uint8_t composed[10] = {
        0x80, 0, 2, destination[0], destination[1], destination[2], 0, 100, 0, static_cast<uint8_t>(serviceId)};
    std::memcpy(header, composed, sizeof composed);
    return 0;
}

extern "C" int32_t GwSend(GwUnitHandle, const uint8_t *, const uint8_t *command, int32_t length) {
    int32_t words = command[0] == 0x01 && command[1] == 0x01 ? command[6] << 8 | command[7] : 0;
    int32_t data = 2 * words < MAX_DATA ? 2 * words : MAX_DATA;
    answer[0] = command[0];
    answer[1] = command[1];
    answerLength = HEAD + data;
    return length;
}

extern "C" int32_t GwReceive(GwUnitHandle, uint8_t *, uint8_t *response, int32_t capacity, int32_t) {
    int32_t length = answerLength < capacity ? answerLength : capacity;
    std::memcpy(response, answer, static_cast<size_t>(length));
    return length;
}
