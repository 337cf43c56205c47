// The FINS commands a simulated controller executes, on one node's memory.
#pragma once

#include <cstddef>
#include <cstdint>

#include "sim/memory.h"

namespace finsim {

// How a frame is to be treated, from its header alone.
enum class Verdict {
    Answer,   // a command for a simulated node that wants an answer
    Silent,   // a command for a simulated node that asked for no answer
    NotForUs, // a node or unit this simulator does not hold
    Unusable, // shorter than a header and command code, or itself an answer
};

// Which node the frame reaches (set for Answer and Silent).
Verdict Classify(NodeSet &nodes, const uint8_t *frame, size_t length, NodeMemory **target);

// Executes a command frame of at least 12 bytes on the node and writes the
// whole answer. Returns its length, or 0 if capacity cannot hold an end code.
size_t ExecuteCommand(NodeMemory &node, const uint8_t *frame, size_t length, uint8_t *answer, size_t capacity);

// Classify, then execute under the node set's lock: the answer's length, or 0.
size_t HandleFrame(NodeSet &nodes, const uint8_t *frame, size_t length, uint8_t *answer, size_t capacity);

} // namespace finsim
