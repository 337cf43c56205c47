#include "sim/frame.h"

namespace finsim {

size_t BeginAnswer(const uint8_t *request, uint16_t endCode, uint8_t *answer, size_t capacity) {
    if (capacity < kAnswerDataOffset) {
        return 0;
    }
    answer[ICF] = kAnswerIcf;
    answer[RSV] = 0;
    answer[GCT] = request[GCT];
    answer[DNA] = request[SNA];
    answer[DA1] = request[SA1];
    answer[DA2] = request[SA2];
    answer[SNA] = request[DNA];
    answer[SA1] = request[DA1];
    answer[SA2] = request[DA2];
    answer[SID] = request[SID];
    answer[kCommandOffset] = request[kCommandOffset];
    answer[kCommandOffset + 1] = request[kCommandOffset + 1];
    PutU16(answer + kCommandOffset + 2, endCode);
    return kAnswerDataOffset;
}

} // namespace finsim
