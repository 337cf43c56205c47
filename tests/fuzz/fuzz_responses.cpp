// Hands arbitrary gateway results and response bytes to the transfers of a
// started instance through KelMain: FN_READ_BLOCK, FN_WRITE_BLOCK,
// FN_READ_TAG and FN_WRITE_TAG for every item kind.
//
// Input: byte 0 picks the function (bits 0-1) and the item kind (bits 2-4);
// byte 1 the count, bit number or text length; then up to six scripted
// receives, each a length byte, a signed 16-bit result and that many
// response bytes.
//
// Beyond crashes, each run aborts when the driver writes past the value area
// the request describes, writes the value area of a failed read or of any
// write, or hands the request back changed where it must not.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "driver/call_blocks.h"
#include "tests/fuzz/fuzz_instance.h"
#include "tests/support/fake_gateway.h"
#include "tests/support/fake_pause.h"

namespace {

constexpr int32_t FUNCTIONS[] = {FN_READ_BLOCK, FN_WRITE_BLOCK, FN_READ_TAG, FN_WRITE_TAG};

enum Kind { WORD, BIT, STATUS, FLOAT, BCD, TEXT, KIND_COUNT };

constexpr size_t AREA_SIZE = 4096;
constexpr uint8_t FILL = 0x5A;

InstanceData *instance = nullptr;

void Check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

struct Item {
    TagAddress tag;
    int32_t count;
    size_t areaBytes; // what the host's value area holds for this request
};

Item ItemOf(Kind kind, uint8_t parameter, bool single) {
    int32_t count = single ? 1 : 1 + parameter % 64;
    switch (kind) {
    case BIT:
        return {{1, 1, 100, parameter % 16, 16}, 1, 4};
    case STATUS:
        return {{2, 7, 5, NO_BIT, 16}, count, single ? 4u : 2u * count};
    case FLOAT:
        return {{1, 0x201, 50, NO_BIT, 32}, count, 4u * count};
    case BCD:
        return {{2, 0x101, 50, NO_BIT, 32}, count, 4u * count};
    case TEXT: {
        int32_t length = 2 + 2 * (parameter % 40);
        return {{1, 0x401, 200 | (length << 24), NO_BIT, 8}, 1, static_cast<size_t>(length)};
    }
    default:
        return {{1, 1, 100, NO_BIT, 16}, count, single ? 4u : 2u * count};
    }
}

void ScriptReceives(const uint8_t *data, size_t size) {
    for (int receive = 0; receive < 6 && size >= 3; ++receive) {
        size_t length = data[0];
        int32_t result = static_cast<int16_t>(data[1] | data[2] << 8);
        data += 3;
        size -= 3;
        length = length < size ? length : size;
        fakeGateway.receives.push_back({result, 110, std::vector<uint8_t>(data, data + length)});
        data += length;
        size -= length;
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    instance = StartFuzzInstance("01=0.1.0\n02=0.2.0\n02=CS1\n");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 2) {
        return 0;
    }
    fakeGateway.Reset();
    pausesTaken.clear();
    int32_t function = FUNCTIONS[data[0] & 3];
    Kind kind = static_cast<Kind>(((data[0] >> 2) & 7) % KIND_COUNT);
    bool single = function == FN_READ_TAG || function == FN_WRITE_TAG;
    if (kind == BIT && !single) {
        kind = WORD; // bits are single items only
    }
    Item item = ItemOf(kind, data[1], single);
    ScriptReceives(data + 2, size - 2);

    static uint8_t values[AREA_SIZE];
    std::memset(values, FILL, sizeof values);
    IoRequest request{};
    request.tagText = "FUZZ";
    request.tag = item.tag;
    request.count = item.count;
    request.values = values;
    const IoRequest given = request;
    CallBlock block{instance, function, 1, 0, &request};
    int32_t result = KelMain(&block);

    Check(result == RC_OK || result == RC_ITEM_ERROR || result == RC_LINK_ERROR);
    for (size_t i = item.areaBytes; i < AREA_SIZE; ++i) {
        Check(values[i] == FILL);
    }
    bool reads = function == FN_READ_BLOCK || function == FN_READ_TAG;
    if (!reads || result != RC_OK) {
        for (size_t i = 0; i < item.areaBytes; ++i) {
            Check(values[i] == FILL);
        }
    }
    if (single && item.tag.width == 16) {
        Check(values[0] == FILL && values[1] == FILL); // the first cell is the host's
    }
    Check(request.values == given.values && request.tag.bit == given.tag.bit);
    Check(request.tag.station == given.tag.station && request.tag.areaFlags == given.tag.areaFlags);
    return 0;
}
