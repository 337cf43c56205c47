#include "sim/commands.h"

#include <algorithm>
#include <cstring>

#include "sim/end_codes.h"
#include "sim/frame.h"

namespace finsim {
namespace {

constexpr size_t kAreaParams = 6;   // area, address (2), bit, count (2)
constexpr size_t kFillParams = 8;   // the same and one word
constexpr size_t kMultipleItem = 4; // area, address (2), bit
constexpr size_t kMaxMultipleItems = 167;
constexpr size_t kNameBytes = 20;
constexpr size_t kSystemBytes = 40;
constexpr size_t kAreaDataBytes = 12;
constexpr size_t kBusUnitBytes = 64; // CPU bus unit configuration: none fitted
constexpr size_t kUnitInfoBytes = 2; // SYSMAC BUS masters, racks
constexpr size_t kStatusBytes = 26;

// The answer's data part; handlers append to it and never write past room.
struct Reply {
    uint8_t *data;
    size_t room;
    size_t length = 0;
    bool Fits(size_t bytes) const { return bytes <= room - length; }
    void Byte(uint8_t value) { data[length++] = value; }
    void Word(uint16_t value) {
        PutU16(data + length, value);
        length += 2;
    }
    void Text(const char *text, size_t width) {
        const size_t used = std::min(std::strlen(text), width);
        std::memcpy(data + length, text, used);
        std::memset(data + length + used, ' ', width - used);
        length += width;
    }
    void Zeros(size_t count) {
        std::memset(data + length, 0, count);
        length += count;
    }
};

struct AreaRange {
    const AreaInfo *area;
    uint32_t first;
    uint32_t count;
};

// The six area/address/bit/count bytes every memory area command begins with.
uint16_t ParseRange(const NodeMemory &node, const uint8_t *params, AreaRange *range) {
    range->area = FindArea(node.Layout(), params[0]);
    if (range->area == nullptr) {
        return END_NO_SUCH_AREA;
    }
    range->count = GetU16(params + 4);
    return Locate(*range->area, GetU16(params + 1), params[3], range->count, &range->first);
}

uint16_t MemoryAreaRead(NodeMemory &node, const uint8_t *params, size_t length, Reply &reply) {
    if (length != kAreaParams) {
        return length < kAreaParams ? END_TOO_SHORT : END_TOO_LONG;
    }
    AreaRange range;
    if (const uint16_t code = ParseRange(node, params, &range)) {
        return code;
    }
    const size_t size = ElementBytes(*range.area);
    if (!reply.Fits(size_t{range.count} * size)) {
        return END_RESPONSE_TOO_LONG;
    }
    // Word areas are a plain run of the region: copied without a lookup a word.
    if (range.area->kind == AreaKind::Word) {
        const uint16_t *words = node.Region(range.area->region).data() + range.first;
        for (uint32_t i = 0; i < range.count; ++i) {
            reply.Word(words[i]);
        }
        return END_NORMAL;
    }
    for (uint32_t i = 0; i < range.count; ++i) {
        const uint16_t value = ReadElement(node, *range.area, range.first + i);
        size == 2 ? reply.Word(value) : reply.Byte(static_cast<uint8_t>(value));
    }
    return END_NORMAL;
}

uint16_t MemoryAreaWrite(NodeMemory &node, const uint8_t *params, size_t length, Reply &) {
    if (length < kAreaParams) {
        return END_TOO_SHORT;
    }
    AreaRange range;
    if (const uint16_t code = ParseRange(node, params, &range)) {
        return code;
    }
    const size_t size = ElementBytes(*range.area);
    const uint8_t *data = params + kAreaParams;
    if (length - kAreaParams != size_t{range.count} * size) {
        return END_DATA_MISMATCH;
    }
    if (size == 1 && std::any_of(data, data + range.count, [](uint8_t b) { return b > 1; })) {
        return END_PARAMETER;
    }
    for (uint32_t i = 0; i < range.count; ++i) {
        const uint16_t value = size == 2 ? GetU16(data + 2 * i) : data[i];
        WriteElement(node, *range.area, range.first + i, value);
    }
    return END_NORMAL;
}

// Fill works on word areas only; flags and bit views have no word to repeat.
uint16_t MemoryAreaFill(NodeMemory &node, const uint8_t *params, size_t length, Reply &) {
    if (length != kFillParams) {
        return length < kFillParams ? END_TOO_SHORT : END_TOO_LONG;
    }
    AreaRange range;
    const uint16_t code = ParseRange(node, params, &range);
    if (range.area != nullptr && range.area->kind != AreaKind::Word) {
        return END_NO_SUCH_AREA;
    }
    if (code != END_NORMAL) {
        return code;
    }
    const uint16_t value = GetU16(params + kAreaParams);
    for (uint32_t i = 0; i < range.count; ++i) {
        WriteElement(node, *range.area, range.first + i, value);
    }
    return END_NORMAL;
}

uint16_t MultipleMemoryAreaRead(NodeMemory &node, const uint8_t *params, size_t length, Reply &reply) {
    if (length == 0 || length % kMultipleItem != 0) {
        return END_TOO_SHORT;
    }
    if (length / kMultipleItem > kMaxMultipleItems) {
        return END_TOO_LONG;
    }
    for (const uint8_t *item = params; item < params + length; item += kMultipleItem) {
        const AreaInfo *area = FindArea(node.Layout(), item[0]);
        if (area == nullptr) {
            return END_NO_SUCH_AREA;
        }
        uint32_t first = 0;
        if (const uint16_t code = Locate(*area, GetU16(item + 1), item[3], 1, &first)) {
            return code;
        }
        const size_t size = ElementBytes(*area);
        if (!reply.Fits(1 + size)) {
            return END_RESPONSE_TOO_LONG;
        }
        reply.Byte(area->code);
        const uint16_t value = ReadElement(node, *area, first);
        size == 2 ? reply.Word(value) : reply.Byte(static_cast<uint8_t>(value));
    }
    return END_NORMAL;
}

void PutUnitNames(const NodeMemory &node, Reply &reply) {
    reply.Text(node.Layout().model, kNameBytes);
    reply.Text(node.Layout().version, kNameBytes);
    reply.Zeros(kSystemBytes);
}

void PutAreaData(const NodeMemory &node, Reply &reply) {
    reply.Word(250);   // program area, K steps
    reply.Byte(23);    // I/O memory, KB
    reply.Word(32768); // DM words
    reply.Byte(8);     // timer/counter area, KB
    reply.Byte(node.Layout().emBanks);
    reply.Byte(0); // no memory card
    reply.Word(0); // memory card size
    reply.Zeros(2);
}

// No parameter: everything; 00: the unit's names; 01: the area and unit data.
uint16_t ControllerDataRead(NodeMemory &node, const uint8_t *params, size_t length, Reply &reply) {
    if (length > 1) {
        return END_TOO_LONG;
    }
    if (length == 1 && params[0] > 1) {
        return END_PARAMETER;
    }
    if (!reply.Fits(kNameBytes * 2 + kSystemBytes + kAreaDataBytes + kBusUnitBytes + kUnitInfoBytes)) {
        return END_RESPONSE_TOO_LONG;
    }
    if (length == 0 || params[0] == 0) {
        PutUnitNames(node, reply);
    }
    if (length == 0 || params[0] == 1) {
        PutAreaData(node, reply);
        reply.Zeros(kBusUnitBytes + kUnitInfoBytes);
    }
    return END_NORMAL;
}

// Running in monitor mode, no errors, no messages.
uint16_t ControllerStatusRead(NodeMemory &, const uint8_t *, size_t length, Reply &reply) {
    if (length != 0) {
        return END_TOO_LONG;
    }
    if (!reply.Fits(kStatusBytes)) {
        return END_RESPONSE_TOO_LONG;
    }
    reply.Byte(0x01); // run
    reply.Byte(0x02); // monitor mode
    reply.Zeros(8);   // fatal, non-fatal error data, message flags, FAL/FALS number
    reply.Text("", 16);
    return END_NORMAL;
}

using Handler = uint16_t (*)(NodeMemory &, const uint8_t *, size_t, Reply &);

struct CommandEntry {
    uint8_t mrc;
    uint8_t src;
    Handler handler;
};

constexpr CommandEntry kCommands[] = {
    {0x01, 0x01, MemoryAreaRead},         {0x01, 0x02, MemoryAreaWrite},    {0x01, 0x03, MemoryAreaFill},
    {0x01, 0x04, MultipleMemoryAreaRead}, {0x05, 0x01, ControllerDataRead}, {0x06, 0x01, ControllerStatusRead},
};

Handler FindHandler(uint8_t mrc, uint8_t src) {
    for (const CommandEntry &entry : kCommands) {
        if (entry.mrc == mrc && entry.src == src) {
            return entry.handler;
        }
    }
    return nullptr;
}

uint16_t Execute(NodeMemory &node, const uint8_t *frame, size_t length, Reply &reply) {
    const Handler handler = FindHandler(frame[kCommandOffset], frame[kCommandOffset + 1]);
    if (handler == nullptr) {
        return END_UNDEFINED_COMMAND;
    }
    if (length > kMaxFrame) {
        return END_TOO_LONG;
    }
    return handler(node, frame + kParamsOffset, length - kParamsOffset, reply);
}

} // namespace

Verdict Classify(NodeSet &nodes, const uint8_t *frame, size_t length, NodeMemory **target) {
    if (length < kParamsOffset || (frame[ICF] & kIcfResponse) != 0) {
        return Verdict::Unusable;
    }
    *target = frame[DA2] == 0 ? nodes.Route(frame[DNA], frame[DA1]) : nullptr;
    if (*target == nullptr) {
        return Verdict::NotForUs;
    }
    return (frame[ICF] & kIcfNoResponse) != 0 ? Verdict::Silent : Verdict::Answer;
}

size_t ExecuteCommand(NodeMemory &node, const uint8_t *frame, size_t length, uint8_t *answer, size_t capacity) {
    if (capacity < kAnswerDataOffset) {
        return 0;
    }
    Reply reply{answer + kAnswerDataOffset, std::min(capacity, kMaxFrame) - kAnswerDataOffset};
    const uint16_t code = Execute(node, frame, length, reply);
    BeginAnswer(frame, code, answer, capacity);
    return kAnswerDataOffset + (code == END_NORMAL ? reply.length : 0);
}

size_t HandleFrame(NodeSet &nodes, const uint8_t *frame, size_t length, uint8_t *answer, size_t capacity) {
    NodeMemory *node = nullptr;
    const Verdict verdict = Classify(nodes, frame, length, &node);
    if (verdict != Verdict::Answer && verdict != Verdict::Silent) {
        return 0;
    }
    std::lock_guard<std::mutex> lock(nodes.Mutex());
    const size_t written = ExecuteCommand(*node, frame, length, answer, capacity);
    return verdict == Verdict::Answer ? written : 0;
}

} // namespace finsim
