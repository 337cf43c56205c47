#include "gateway/response_match.h"

#include <cstring>

#include "gateway/fins_frame.h"

namespace finsgw {

bool IsResponseTo(const uint8_t *sent, const uint8_t *received, size_t length) {
    return length >= FINS_HEADER_SIZE + MIN_RESPONSE && (received[ICF] & ICF_RESPONSE) != 0 &&
           received[SID] == sent[SID] && std::memcmp(received + SNA, sent + DNA, 3) == 0 &&
           received[MRC] == sent[MRC] && received[SRC] == sent[SRC];
}

} // namespace finsgw
