// Starts an instance through KelMain with arbitrary contents of its station
// file kelOMR01.int.
//
// Input: the file's bytes, as they stand.
//
// Beyond crashes, each run aborts when the start does not give RC_OK, when
// anything outside rows 0 to 99 of the station table or around InstanceData
// changed, when a stored address text is not zero-terminated and zero-filled,
// when the table differs from what a plain reading of the line rules gives,
// or when a unit was opened for anything but the configured stations.
#include <unistd.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "driver/call_blocks.h"
#include "tests/fuzz/fuzz_checks.h"
#include "tests/support/fake_gateway.h"

namespace {

constexpr size_t LINE_ROOM = 135;
constexpr size_t UNTERMINATED_MINIMUM = 10;
constexpr size_t ADDRESS_LIMIT = STATION_ADDRESS_SIZE - 1;
constexpr uint8_t SPARE_ROW_BYTE = 0x5A;

struct GuardedInstance {
    uint8_t before[64];
    InstanceData instance;
    uint8_t after[64];
};

struct Station {
    std::string address;
    bool cs1 = false;
};
using Table = std::array<Station, STATION_LAST + 1>;

std::string scratch;
GuardedInstance host;

// The lines of the file as the reader sees them: kept characters only, a
// line cut at its room, a last line without a line feed only when it is long
// enough to count.
template <typename Visit> void ForEachLine(const uint8_t *data, size_t size, Visit visit) {
    std::string line;
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == '\n') {
            visit(line);
            line.clear();
        } else if (static_cast<signed char>(data[i]) > 32 && line.size() < LINE_ROOM) {
            line.push_back(static_cast<char>(data[i]));
        }
    }
    if (line.size() >= UNTERMINATED_MINIMUM) {
        visit(line);
    }
}

Table ExpectedTable(const uint8_t *data, size_t size) {
    Table table;
    ForEachLine(data, size, [&table](const std::string &line) {
        if (line.empty()) {
            return;
        }
        int second = line.size() > 1 ? line[1] : 0;
        unsigned station = static_cast<unsigned>((line[0] - 48) * 10 + (second - 48)) & 0xFFu;
        if (station == 0 || station > STATION_LAST) {
            return;
        }
        std::string text = line.size() > 3 ? line.substr(3) : "";
        for (char &c : text) {
            if (c >= 'a' && c <= 'z') {
                c = static_cast<char>(c - 'a' + 'A');
            }
        }
        if (text == "CS1") {
            table[station].cs1 = true;
        } else if (text.size() <= ADDRESS_LIMIT) {
            table[station].address = text;
        }
    });
    return table;
}

void WriteStationFile(const uint8_t *data, size_t size) {
    std::string path = scratch + "/kelOMR01.int";
    FILE *file = std::fopen(path.c_str(), "wb");
    FuzzRequire(file != nullptr, "cannot write the station file");
    FuzzRequire(size == 0 || std::fwrite(data, 1, size, file) == size, "cannot write the station file");
    std::fclose(file);
}

// The instance as a host leaves it: garbage everywhere, so the start has to
// clear what it relies on, and marked spare rows that it must not touch.
void PrepareHost() {
    std::memset(&host, GUARD_BYTE, sizeof host);
    InstanceData &instance = host.instance;
    for (int row = STATION_LAST + 1; row < STATION_ROWS; ++row) {
        std::memset(instance.stationAddress[row], SPARE_ROW_BYTE, STATION_ADDRESS_SIZE);
        instance.unitHandle[row] = 0x5A5A5A5Au;
        instance.isCs1[row] = 0x5A5A5A5A;
    }
}

int32_t StartInScratch() {
    char previous[4096];
    FuzzRequire(getcwd(previous, sizeof previous) != nullptr, "getcwd");
    FuzzRequire(chdir(scratch.c_str()) == 0, "chdir");
    StartParams params{};
    params.enabled = 1;
    params.timeout = 10;
    CallBlock block{&host.instance, FN_START, 1, 0, &params};
    int32_t result = KelMain(&block);
    FuzzRequire(chdir(previous) == 0, "chdir back");
    return result;
}

void RequireSpareRowsUntouched() {
    const InstanceData &instance = host.instance;
    for (int row = STATION_LAST + 1; row < STATION_ROWS; ++row) {
        for (char c : instance.stationAddress[row]) {
            FuzzRequire(static_cast<uint8_t>(c) == SPARE_ROW_BYTE, "a spare address row changed");
        }
        FuzzRequire(instance.unitHandle[row] == 0x5A5A5A5Au && instance.isCs1[row] == 0x5A5A5A5A,
                    "a spare handle or flag row changed");
    }
    FuzzRequire(AllGuard(host.before, sizeof host.before) && AllGuard(host.after, sizeof host.after),
                "written outside InstanceData");
}

void RequireTable(const Table &expected) {
    const InstanceData &instance = host.instance;
    FuzzRequire(instance.stationAddress[0][0] == '\0' && instance.isCs1[0] == 0 && instance.unitHandle[0] == 0,
                "row 0 names a station");
    size_t configured = 0;
    for (int station = STATION_FIRST; station <= STATION_LAST; ++station) {
        const char *entry = instance.stationAddress[station];
        size_t length = strnlen(entry, STATION_ADDRESS_SIZE);
        FuzzRequire(length < STATION_ADDRESS_SIZE, "an address text without its terminator");
        // A stored text fills the rest of its entry with zeros; an entry no
        // line named is only cleared at its first byte.
        for (size_t i = length; length > 0 && i < STATION_ADDRESS_SIZE; ++i) {
            FuzzRequire(entry[i] == '\0', "an address entry not zero-filled after its text");
        }
        FuzzRequire(std::string(entry, length) == expected[station].address, "an address text differs");
        FuzzRequire(instance.isCs1[station] == (expected[station].cs1 ? 1 : 0), "a CS1 flag differs");
        FuzzRequire((instance.unitHandle[station] != 0) == (length > 0), "a unit handle for no station, or none");
        configured += length > 0 ? 1 : 0;
    }
    FuzzRequire(fakeGateway.CallsOf(GatewayCall::OPEN_UNIT).size() == configured, "units opened");
    FuzzRequire(fakeGateway.CallsOf(GatewayCall::OPEN_SERVICE).size() == 1, "the service opened once");
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    char pattern[] = "/tmp/kelomr-fuzz-station-XXXXXX";
    FuzzRequire(mkdtemp(pattern) != nullptr, "mkdtemp");
    scratch = pattern;
    std::atexit([] {
        std::remove((scratch + "/kelOMR01.int").c_str());
        rmdir(scratch.c_str());
    });
    WatchDriverLog();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    WriteStationFile(data, size);
    PrepareHost();
    fakeGateway.Reset();
    FuzzRequire(StartInScratch() == RC_OK, "the start did not give RC_OK");
    RequireSpareRowsUntouched();
    RequireTable(ExpectedTable(data, size));
    return 0;
}
