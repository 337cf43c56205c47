// Hands arbitrary gateway results and response bytes to the transfers of a
// started instance through KelMain: FN_READ_BLOCK, FN_WRITE_BLOCK,
// FN_READ_TAG and FN_WRITE_TAG for every item kind, on a classic and a CS1
// station.
//
// Input: byte 0 picks the function (bits 0-1), the item kind (bits 2-4), the
// CS1 station (bit 5) and a null tag text (bit 6); byte 1 the count, bit
// number or text length; byte 2 the area; byte 3 the tag text's length, then
// the tag text. The rest scripts the attempts in turn, each a record whose
// first byte says what happens (bits 0-1: 0 a receive of the bytes given,
// 1 a failed receive, 2 a failed send, 3 a receive of the bytes given that
// claims another result; bits 2-7 the errno): then, for 0 and 3, a 16-bit
// length and that many response bytes, and for 3 the claimed 16-bit result.
// Attempts beyond the script are sent and time out.
//
// Beyond crashes, each run aborts when the result code, the number of
// attempts or the busy pause differ from the attempt and end-code rules;
// when a read reported RC_OK holds other values than the response's data
// converted, when anything else writes the value area or a byte beside it;
// when a write sends other data than the host's values; or when the request
// or the instance outside its transfer buffers are handed back changed.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "driver/call_blocks.h"
#include "tests/fuzz/fuzz_checks.h"
#include "tests/fuzz/fuzz_instance.h"
#include "tests/support/fake_gateway.h"
#include "tests/support/fake_pause.h"

namespace {

constexpr int32_t FUNCTIONS[] = {FN_READ_BLOCK, FN_WRITE_BLOCK, FN_READ_TAG, FN_WRITE_TAG};
constexpr int ATTEMPTS = 6;
constexpr size_t HEAD = 4; // MRC SRC MRES SRES
constexpr size_t MAX_RECORDS = 16;
constexpr size_t MAX_RESPONSE = 1100; // above what the largest request here needs
constexpr int32_t MAX_BLOCK = 100;
constexpr int32_t BUSY_PAUSE = 1000;

enum Kind { WORD, BIT, STATUS, FLOAT, BCD, TEXT, KINDS };

InstanceData *instance = nullptr;

// ---- the request

struct Request {
    int32_t function;
    Kind kind;
    bool single;
    bool reads;
    TagAddress tag;
    int32_t count;    // as the host gives it
    int32_t items;    // what the transfer moves: count, 1, or the text length
    size_t areaBytes; // the host's value area for the request
};

// Each kind's TagAddress as the address checks make it.
Request RequestOf(const uint8_t *head) {
    Request r{};
    r.function = FUNCTIONS[head[0] & 3];
    r.kind = static_cast<Kind>(((head[0] >> 2) & 7) % KINDS);
    r.single = r.function == FN_READ_TAG || r.function == FN_WRITE_TAG;
    r.reads = r.function == FN_READ_TAG || r.function == FN_READ_BLOCK;
    int32_t station = (head[0] & 0x20) != 0 ? 2 : 1;
    int32_t area = 1 + head[2] % 25;
    int32_t parameter = head[1];
    r.count = r.single ? parameter : parameter % (MAX_BLOCK + 1);
    r.items = r.single ? 1 : r.count;
    switch (r.kind) {
    case BIT:
        r.tag = {station, area, 100, parameter % 16, 16};
        break;
    case STATUS:
        r.tag = {station, 7, 5, NO_BIT, 16};
        break;
    case FLOAT:
        r.tag = {station, 1 | FMT_FLOAT32, 50, NO_BIT, 32};
        break;
    case BCD:
        r.tag = {station, 1 | FMT_BCD32, 50, NO_BIT, 32};
        break;
    case TEXT:
        r.items = 2 + 2 * (parameter % 40);
        r.tag = {station, area | FMT_TEXT, 200 | r.items << 24, NO_BIT, 8};
        break;
    default:
        r.tag = {station, area, 100, NO_BIT, 16};
    }
    return r;
}

bool IsStatus(const Request &r) {
    return (r.tag.areaFlags & 0x7FF) == 7;
}

// Only a single item has a bit of its own; a block moves whole words.
bool IsBitItem(const Request &r) {
    return r.single && r.kind == BIT;
}

// FINS data bytes of one item, and host bytes of one item in a block.
size_t DataBytes(const Request &r) {
    if (r.kind == TEXT) {
        return 1;
    }
    if (r.kind == FLOAT || r.kind == BCD) {
        return 4;
    }
    return IsStatus(r) ? 1 : 2;
}

size_t AreaBytes(const Request &r) {
    if (r.kind == TEXT) {
        return static_cast<size_t>(r.items);
    }
    if (r.single) {
        return 4;
    }
    return static_cast<size_t>(r.items) * (r.kind == FLOAT || r.kind == BCD ? 4 : 2);
}

// ---- the script of attempts, and what the driver must make of it

enum RecordType { RECEIVED, RECEIVE_FAILS, SEND_FAILS, RECEIVED_CLAIMING };

struct Record {
    RecordType type;
    int error;
    int32_t result;
    std::vector<uint8_t> bytes;
};

std::vector<Record> ScriptOf(const uint8_t *data, size_t size) {
    std::vector<Record> records;
    size_t at = 0;
    while (at < size && records.size() < MAX_RECORDS) {
        Record record{static_cast<RecordType>(data[at] & 3), data[at] >> 2, -1, {}};
        ++at;
        if (record.type == RECEIVED || record.type == RECEIVED_CLAIMING) {
            size_t length = at + 2 <= size ? (data[at] << 8 | data[at + 1]) % (MAX_RESPONSE + 1) : 0;
            at = at + 2 <= size ? at + 2 : size;
            length = length < size - at ? length : size - at;
            record.bytes.assign(data + at, data + at + length);
            at += length;
            record.result = static_cast<int32_t>(length);
        }
        if (record.type == RECEIVED_CLAIMING) {
            record.result = at + 2 <= size ? static_cast<int16_t>(data[at] << 8 | data[at + 1]) : 0;
            at = at + 2 <= size ? at + 2 : size;
        }
        records.push_back(record);
    }
    return records;
}

void LoadScript(const std::vector<Record> &records) {
    for (const Record &record : records) {
        if (record.type == SEND_FAILS) {
            fakeGateway.FailSend(-1, record.error);
            continue;
        }
        fakeGateway.sends.push_back({0, 0, {}});
        if (record.type == RECEIVE_FAILS) {
            fakeGateway.FailReceive(-1, record.error);
        } else {
            fakeGateway.receives.push_back({record.result, record.error, record.bytes});
        }
    }
}

struct Expected {
    int32_t result = RC_OK;
    size_t sends = 0;
    size_t receives = 0;
    size_t pauses = 0;
    size_t firstWriteSend = 0;     // the attempts before it read the word of a bit write
    std::vector<uint8_t> response; // the response buffer after the transfer
};

uint16_t Masked(const std::vector<uint8_t> &response) {
    return static_cast<uint16_t>((response[2] << 8 | response[3]) & 0x7FBF);
}

int32_t ClassOf(uint16_t code, size_t *pauses) {
    if (code == 0) {
        return RC_OK;
    }
    if (code == 0x0204) {
        ++*pauses;
        return RC_ITEM_ERROR;
    }
    return code < 0x0400 || (code >> 8) == 0x05 ? RC_LINK_ERROR : RC_ITEM_ERROR;
}

// Up to six attempts: a failed send or receive, or a response too short for
// its end code or, on completion, for the data wanted, is tried again.
void Transfer(const std::vector<Record> &records, size_t *next, size_t needed, Expected *e) {
    e->response.assign(2048, 0);
    for (int attempt = 0; attempt < ATTEMPTS; ++attempt) {
        Record record = *next < records.size() ? records[(*next)++] : Record{RECEIVE_FAILS, 110, -1, {}};
        ++e->sends;
        if (record.type == SEND_FAILS) {
            continue;
        }
        ++e->receives;
        if (record.result < 0) {
            continue;
        }
        std::copy(record.bytes.begin(), record.bytes.end(), e->response.begin());
        if (record.result < static_cast<int32_t>(HEAD) ||
            (Masked(e->response) == 0 && record.result < static_cast<int32_t>(needed))) {
            continue;
        }
        e->result = ClassOf(Masked(e->response), &e->pauses);
        return;
    }
    e->result = RC_LINK_ERROR;
}

// A bit write reads its word first and writes only after a good read.
Expected ExpectedOf(const Request &r, const std::vector<Record> &records, std::vector<uint8_t> *readResponse) {
    Expected e;
    size_t next = 0;
    size_t wanted = HEAD + static_cast<size_t>(r.items) * DataBytes(r);
    if (r.reads) {
        Transfer(records, &next, wanted, &e);
        return e;
    }
    if (IsBitItem(r)) {
        Transfer(records, &next, wanted, &e);
        *readResponse = e.response;
        e.firstWriteSend = e.sends;
        if (e.result != RC_OK) {
            return e;
        }
    }
    Transfer(records, &next, HEAD, &e);
    return e;
}

// ---- the values, converted the way the host's value area lays them out

uint16_t Cell(const uint8_t *values, size_t index) {
    return static_cast<uint16_t>(values[2 * index] | values[2 * index + 1] << 8);
}
void PutCell(uint8_t *values, size_t index, uint16_t cell) {
    values[2 * index] = static_cast<uint8_t>(cell);
    values[2 * index + 1] = static_cast<uint8_t>(cell >> 8);
}
uint16_t PlcWord(const uint8_t *data) {
    return static_cast<uint16_t>(data[0] << 8 | data[1]);
}

// 8-digit BCD through its text forms: printed as hex, scanned as decimal.
uint32_t BcdRead(uint32_t raw) {
    char text[16];
    std::snprintf(text, sizeof text, "%08x", raw);
    unsigned scanned = 0;
    return std::sscanf(text, "%8u", &scanned) == 1 ? scanned : raw;
}
uint32_t BcdWritten(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "%08u", value);
    text[8] = '\0';
    unsigned scanned = 0;
    std::sscanf(text, "%8x", &scanned);
    return scanned;
}

// What a good read leaves in the value area, from the response data.
std::vector<uint8_t> ReadInto(const Request &r, const uint8_t *data, const std::vector<uint8_t> &before) {
    std::vector<uint8_t> values = before;
    uint8_t *place = values.data() + (r.single && r.tag.width == 16 ? 2 : 0);
    for (int32_t i = 0; i < r.items; ++i) {
        if (r.kind == TEXT) {
            place[i] = data[i];
        } else if (r.kind == FLOAT || r.kind == BCD) {
            uint32_t pair = PlcWord(data + 4 * i) | static_cast<uint32_t>(PlcWord(data + 4 * i + 2)) << 16;
            pair = r.kind == BCD ? BcdRead(pair) : pair;
            PutCell(place, 2 * i, static_cast<uint16_t>(pair));
            PutCell(place, 2 * i + 1, static_cast<uint16_t>(pair >> 16));
        } else {
            uint16_t cell = IsStatus(r) ? data[i] : PlcWord(data + 2 * i);
            PutCell(place, i, IsBitItem(r) ? (cell >> r.tag.bit) & 1 : cell);
        }
    }
    return values;
}

// The data a write sends for the host's values; a bit is merged into the
// word read just before.
std::vector<uint8_t> WrittenData(const Request &r, const std::vector<uint8_t> &values,
                                 const std::vector<uint8_t> &readResponse) {
    std::vector<uint8_t> data;
    const uint8_t *place = values.data() + (r.single && r.tag.width == 16 ? 2 : 0);
    for (int32_t i = 0; i < r.items; ++i) {
        if (r.kind == TEXT) {
            data.push_back(place[i]);
        } else if (r.kind == FLOAT || r.kind == BCD) {
            uint32_t pair = Cell(place, 2 * i) | static_cast<uint32_t>(Cell(place, 2 * i + 1)) << 16;
            uint32_t sent = r.kind == BCD ? BcdWritten(pair) : pair;
            uint16_t first = static_cast<uint16_t>(r.kind == BCD ? sent : pair);
            uint16_t second = static_cast<uint16_t>((r.kind == BCD ? sent : pair) >> 16);
            data.insert(data.end(), {static_cast<uint8_t>(first >> 8), static_cast<uint8_t>(first),
                                     static_cast<uint8_t>(second >> 8), static_cast<uint8_t>(second)});
        } else {
            uint16_t cell = Cell(place, i);
            if (IsBitItem(r)) {
                const uint8_t *read = readResponse.data() + HEAD;
                uint16_t word = IsStatus(r) ? read[0] : PlcWord(read);
                uint16_t mask = static_cast<uint16_t>(1u << r.tag.bit);
                cell = static_cast<uint16_t>((cell & 1) != 0 ? word | mask : word & ~mask);
            }
            if (IsStatus(r)) {
                data.push_back(static_cast<uint8_t>(cell));
            } else {
                data.insert(data.end(), {static_cast<uint8_t>(cell >> 8), static_cast<uint8_t>(cell)});
            }
        }
    }
    return data;
}

uint32_t Elements(const Request &r, bool write) {
    uint32_t elements = static_cast<uint32_t>(r.items) * (r.kind == FLOAT || r.kind == BCD ? 2 : 1);
    return write && r.kind == TEXT ? elements / 2 : elements;
}

// ---- the checks after the call

void CheckRequest(const Request &r, const IoRequest &given, const IoRequest &after) {
    FuzzRequire(after.tagText == given.tagText && after.values == given.values, "references handed back changed");
    FuzzRequire(std::memcmp(&after.tag, &given.tag, sizeof(int32_t) * 2) == 0 && after.tag.bit == given.tag.bit &&
                    after.tag.width == given.tag.width,
                "station, area, bit or width handed back changed");
    int32_t count = r.kind == TEXT ? r.items : r.single ? 1 : given.count;
    int32_t address = r.kind == TEXT ? given.tag.address & 0xFFFF : given.tag.address;
    FuzzRequire(after.count == count && after.tag.address == address, "count or address handed back");
}

// Every attempt carries the whole command again: the reads (a bit write's
// too) first, then the writes with the host's data.
void CheckCommands(const Request &r, const Expected &e, const std::vector<uint8_t> &values,
                   const std::vector<uint8_t> &readResponse) {
    std::vector<GatewayCall> sends = fakeGateway.CallsOf(GatewayCall::SEND);
    size_t reads = r.reads ? sends.size() : e.firstWriteSend;
    for (size_t i = 0; i < reads; ++i) {
        const std::vector<uint8_t> &command = sends[i].bytes;
        FuzzRequire(command.size() == 8 && command[0] == 0x01 && command[1] == 0x01 && command[5] == 0, "read command");
        FuzzRequire((command[6] << 8 | command[7]) == static_cast<int>(Elements(r, false) & 0xFFFF), "read elements");
    }
    if (r.reads) {
        return;
    }
    std::vector<uint8_t> data = WrittenData(r, values, readResponse);
    uint32_t elements = Elements(r, true);
    for (size_t i = reads; i < sends.size(); ++i) {
        const std::vector<uint8_t> &command = sends[i].bytes;
        FuzzRequire(command.size() == 8 + data.size(), "write length");
        FuzzRequire(command[0] == 0x01 && command[1] == 0x02 && command[5] == 0, "write command code");
        FuzzRequire((command[6] << 8 | command[7]) == static_cast<int>(elements & 0xFFFF), "write elements");
        FuzzRequire(std::equal(data.begin(), data.end(), command.begin() + 8), "write data");
    }
}

struct Call {
    int32_t result;
    std::vector<uint8_t> values; // the value area after the call
};

// The value area lies in a buffer of exactly its size, so the sanitizers see
// any access beside it; its contents come from the input's first bytes.
Call Run(const Request &r, const char *tagText, const std::vector<uint8_t> &before, IoRequest *request) {
    std::unique_ptr<uint8_t[]> area(new uint8_t[before.size()]);
    std::copy(before.begin(), before.end(), area.get());
    request->tagText = tagText;
    request->tag = r.tag;
    request->count = r.count;
    request->values = area.get();
    CallBlock block{instance, r.function, 1, 0, request};
    Call call{KelMain(&block), {}};
    call.values.assign(area.get(), area.get() + before.size());
    return call;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    instance = StartFuzzInstance("01=0.1.0\n02=0.2.0\n02=CS1\n");
    WatchDriverLog();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 4) {
        return 0;
    }
    Request r = RequestOf(data);
    r.areaBytes = AreaBytes(r);
    size_t tagLength = data[3] % 64 < size - 4 ? data[3] % 64 : size - 4;
    std::unique_ptr<char[]> tagText;
    if ((data[0] & 0x40) == 0) {
        tagText.reset(new char[tagLength + 1]);
        std::memcpy(tagText.get(), data + 4, tagLength);
        tagText[tagLength] = '\0';
    }
    std::vector<Record> records = ScriptOf(data + 4 + tagLength, size - 4 - tagLength);
    std::vector<uint8_t> before(r.areaBytes);
    for (size_t i = 0; i < before.size(); ++i) {
        before[i] = static_cast<uint8_t>(data[i % size] * 31 + i);
    }

    fakeGateway.Reset();
    pausesTaken.clear();
    LoadScript(records);
    std::vector<uint8_t> readResponse;
    Expected e = ExpectedOf(r, records, &readResponse);
    std::vector<uint8_t> fixedPart(reinterpret_cast<uint8_t *>(instance),
                                   reinterpret_cast<uint8_t *>(instance->response));
    IoRequest request{};
    Call call = Run(r, tagText.get(), before, &request);
    IoRequest given{tagText.get(), 0, r.tag, 0, r.count, 0, request.values};

    FuzzRequire(call.result == e.result, "result code");
    FuzzRequire(fakeGateway.CallsOf(GatewayCall::SEND).size() == e.sends, "attempts sent");
    FuzzRequire(fakeGateway.CallsOf(GatewayCall::RECEIVE).size() == e.receives, "receives");
    FuzzRequire(pausesTaken.size() == e.pauses, "busy pauses");
    for (int32_t pause : pausesTaken) {
        FuzzRequire(pause == BUSY_PAUSE, "busy pause length");
    }
    for (const GatewayCall &receive : fakeGateway.CallsOf(GatewayCall::RECEIVE)) {
        FuzzRequire(receive.arguments[1] == 2048 && receive.arguments[2] == instance->receiveTimeout,
                    "receive capacity or time-out");
    }
    if (r.reads && call.result == RC_OK) {
        FuzzRequire(call.values == ReadInto(r, e.response.data() + HEAD, before), "values of a good read");
    } else {
        FuzzRequire(call.values == before, "the value area of a failed read or of a write changed");
    }
    CheckCommands(r, e, before, readResponse);
    CheckRequest(r, given, request);
    FuzzRequire(std::memcmp(fixedPart.data(), instance, fixedPart.size()) == 0,
                "the instance changed outside its transfer buffers");
    return 0;
}
