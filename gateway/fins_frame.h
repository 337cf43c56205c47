// Sizes and fields of a FINS frame: a 10-byte header, then the command
// (MRC, SRC, parameters) or the response (MRC, SRC, MRES, SRES, data).
#pragma once

#include <cstddef>

namespace finsgw {

constexpr size_t FINS_HEADER_SIZE = 10;
// Header, command code and 2000 bytes of parameters or data.
constexpr size_t MAX_FINS_FRAME = 2012;
constexpr size_t MIN_COMMAND = 2;  // MRC SRC
constexpr size_t MIN_RESPONSE = 4; // MRC SRC MRES SRES

enum FrameField : size_t {
    ICF = 0,
    RSV = 1,
    GCT = 2,
    DNA = 3,
    DA1 = 4,
    DA2 = 5,
    SNA = 6,
    SA1 = 7,
    SA2 = 8,
    SID = 9,
    MRC = 10,
    SRC = 11,
};

constexpr unsigned char ICF_COMMAND = 0x80;  // gateway use, command, response required
constexpr unsigned char ICF_RESPONSE = 0x40; // set in every response
constexpr unsigned char GCT_DEFAULT = 0x02;

} // namespace finsgw
