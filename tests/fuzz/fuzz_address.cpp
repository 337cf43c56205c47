// Drives FN_CHECK_TAG and FN_CHECK_BLOCK through KelMain with arbitrary
// texts, value types and counts against an instance with stations 01 and 99.
//
// Input: byte 0 picks the check (bit 0: block check) and a null text (bit 7);
// bytes 1-4 are the value type and bytes 5-8 the count, little-endian; the
// rest is the text, which ends at its first NUL as a host's text would.
//
// Beyond crashes, each run aborts on a result that no sound check gives: an
// accepted address outside its encodings or the block limits, an input field
// or a byte after the TagDefinition changed, or a text whose case or
// trailing spaces change the answer.
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "driver/call_blocks.h"
#include "tests/fuzz/fuzz_instance.h"

namespace {

InstanceData *instance = nullptr;

constexpr TagAddress HOST_VALUES = {-11, -22, -33, -44, -55};
constexpr uint8_t GUARD = 0xA5;
constexpr size_t HEADER_SIZE = 9;

struct HostBlock {
    TagDefinition definition;
    uint8_t guard[32];
};

struct Request {
    int32_t function;
    bool nullText;
    int32_t valueType;
    int32_t count;
    std::string text;
};

struct Outcome {
    int32_t result;
    TagAddress tag;
};

void Require(bool condition, const char *what) {
    if (!condition) {
        std::fprintf(stderr, "address check: %s\n", what);
        std::abort();
    }
}

int32_t ReadInt32(const uint8_t *bytes) {
    uint32_t value = static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
                     static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
    return static_cast<int32_t>(value);
}

Request Decode(const uint8_t *data, size_t size) {
    uint8_t header[HEADER_SIZE] = {};
    std::memcpy(header, data, size < HEADER_SIZE ? size : HEADER_SIZE);
    Request request;
    request.function = (header[0] & 1) != 0 ? FN_CHECK_BLOCK : FN_CHECK_TAG;
    request.nullText = (header[0] & 0x80) != 0;
    request.valueType = ReadInt32(header + 1);
    request.count = ReadInt32(header + 5);
    if (size > HEADER_SIZE) {
        const char *text = reinterpret_cast<const char *>(data + HEADER_SIZE);
        request.text.assign(text, strnlen(text, size - HEADER_SIZE));
    }
    return request;
}

// The text goes over in a buffer of exactly its size, so a read past its
// terminator is caught.
Outcome Run(const Request &request) {
    std::unique_ptr<char[]> text;
    if (!request.nullText) {
        text.reset(new char[request.text.size() + 1]);
        std::memcpy(text.get(), request.text.c_str(), request.text.size() + 1);
    }
    HostBlock host;
    std::memset(&host, GUARD, sizeof host);
    host.definition.addressText = text.get();
    host.definition.reserved = 0;
    host.definition.valueType = request.valueType;
    host.definition.count = request.count;
    host.definition.tag = HOST_VALUES;
    CallBlock block{instance, request.function, 1, 0, &host.definition};
    Outcome outcome{KelMain(&block), host.definition.tag};
    Require(host.definition.addressText == text.get() && host.definition.reserved == 0 &&
                host.definition.valueType == request.valueType && host.definition.count == request.count,
            "an input field changed");
    for (uint8_t byte : host.guard) {
        Require(byte == GUARD, "written past the TagDefinition");
    }
    Require(!text || std::strcmp(text.get(), request.text.c_str()) == 0, "the host's text changed");
    return outcome;
}

void RequireAcceptedWide(const Request &request, const TagAddress &tag, int32_t format) {
    Require((tag.areaFlags & AREA_INDEX_MASK) == 1, "a 32-bit item outside DM");
    Require(tag.width == 32 && tag.bit == NO_BIT, "32-bit item: width or bit");
    Require(tag.address >= 0 && tag.address <= 49999, "32-bit item: address");
    if (request.function == FN_CHECK_TAG) {
        Require(request.valueType == (format == FMT_FLOAT32 ? TYPE_FLOAT : TYPE_LONG), "32-bit item: value type");
    }
}

void RequireAcceptedText(const Request &request, const TagAddress &tag) {
    uint32_t length = static_cast<uint32_t>(tag.address) >> 24;
    Require(request.function == FN_CHECK_TAG && request.valueType == TYPE_TEXT, "text item: check or value type");
    Require(tag.width == 8 && tag.bit == NO_BIT, "text item: width or bit");
    Require(length >= 2 && length <= 80 && length % 2 == 0, "text item: length");
    Require((tag.address & 0xFFFFFF) <= 99999, "text item: address");
}

void RequireAcceptedWord(const Request &request, const TagAddress &tag) {
    bool singleBit = request.function == FN_CHECK_TAG && request.valueType == TYPE_BIT;
    Require(tag.width == 16 && tag.address >= 0 && tag.address <= 99999, "word item: width or address");
    Require(singleBit ? tag.bit >= 0 && tag.bit <= 15 : tag.bit == NO_BIT, "word item: bit");
    Require(request.function == FN_CHECK_BLOCK || request.valueType != TYPE_FLOAT, "word item: value type");
}

void RequireAccepted(const Request &request, const TagAddress &tag) {
    Require(!request.nullText && request.text.size() >= 9 && request.text.size() <= 12, "accepted text length");
    Require(tag.station == 1 || tag.station == 99, "accepted station");
    int32_t area = tag.areaFlags & AREA_INDEX_MASK;
    int32_t format = tag.areaFlags & ~AREA_INDEX_MASK;
    Require(area >= 1 && area <= 25, "accepted area index");
    if (format == FMT_FLOAT32 || format == FMT_BCD32) {
        RequireAcceptedWide(request, tag, format);
    } else if (format == FMT_TEXT) {
        RequireAcceptedText(request, tag);
    } else {
        Require(format == 0, "accepted format flags");
        RequireAcceptedWord(request, tag);
    }
    if (request.function == FN_CHECK_BLOCK) {
        Require(request.count <= (tag.width == 32 ? 250 : 500), "block limit");
    }
}

void RequireRefused(const TagAddress &tag) {
    if (tag.station == HOST_VALUES.station) {
        Require(std::memcmp(&tag, &HOST_VALUES, sizeof tag) == 0, "refused by the template, yet written");
        return;
    }
    Require(tag.station >= 0 && tag.station <= 99, "refused: station");
    Require(tag.width == 16 || tag.width == 32 || tag.width == 8, "refused: width");
    Require(tag.bit == NO_BIT || (tag.bit >= 0 && tag.bit <= 19), "refused: bit");
}

bool SameOutcome(const Outcome &a, const Outcome &b) {
    return a.result == b.result && std::memcmp(&a.tag, &b.tag, sizeof a.tag) == 0;
}

// Lower case and trailing spaces up to twelve characters are the same address.
void RequireEquivalentTexts(const Request &request, const Outcome &outcome) {
    if (request.nullText) {
        return;
    }
    Request variant = request;
    for (char &character : variant.text) {
        character = static_cast<char>(std::toupper(static_cast<unsigned char>(character)));
    }
    if (variant.text != request.text) {
        Require(SameOutcome(Run(variant), outcome), "case changed the answer");
    }
    if (request.text.size() < 12) {
        variant.text = request.text + std::string(12 - request.text.size(), ' ');
        Require(SameOutcome(Run(variant), outcome), "trailing spaces changed the answer");
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    instance = StartFuzzInstance("01=0.1.0\n99=0.99.0\n");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    Request request = Decode(data, size);
    Outcome outcome = Run(request);
    Require(outcome.result == RC_OK || outcome.result == RC_ITEM_ERROR, "result code");
    if (outcome.result == RC_OK) {
        RequireAccepted(request, outcome.tag);
    } else {
        RequireRefused(outcome.tag);
    }
    RequireEquivalentTexts(request, outcome);
    return 0;
}
