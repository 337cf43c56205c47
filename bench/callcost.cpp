// bench_callcost: instructions per KelMain call, counted by callgrind, so the
// figures hold on a noisy machine: the address checks of a plain and a bit
// address, and the driver's side of reads (command composition, conversion,
// log calls) with the gateway replaced by one that answers at once, with the
// trace level masked out and let through.
//
// Run without valgrind, the program runs itself under callgrind and prints
// the table; under callgrind it runs the calls, one dump a case.
#include <dirent.h>
#include <unistd.h>
#include <valgrind/callgrind.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <string>

#include "bench/bench_util.h"
#include "bench/driver_session.h"
#include "fins/gateway.h"
#include "host/kelhost.h"

namespace bench {

namespace {

constexpr int ALL_LEVELS = LOG_DETAIL | LOG_DRIVER;

struct Case {
    const char *name;
    int32_t function;
    const char *tag;
    int32_t valueType;
    int32_t count; // items; for the checks, unused
    int levels;    // what the host's sink takes
    int calls;     // by default
};

constexpr Case CASES[] = {
    {"FN_CHECK_TAG 01DM00100 (word)", FN_CHECK_TAG, "01DM00100", TYPE_WORD, 0, LOG_DRIVER, 2000},
    {"FN_CHECK_TAG 01DM0010005 (bit)", FN_CHECK_TAG, "01DM0010005", TYPE_BIT, 0, LOG_DRIVER, 2000},
    {"FN_READ_TAG 1 word, trace off", FN_READ_TAG, "01DM00100", TYPE_WORD, 1, LOG_DRIVER, 2000},
    {"FN_READ_TAG 1 word, trace on", FN_READ_TAG, "01DM00100", TYPE_WORD, 1, ALL_LEVELS, 2000},
    {"FN_READ_BLOCK 500 words, trace off", FN_READ_BLOCK, "01DM01000", TYPE_WORD, 500, LOG_DRIVER, 500},
    {"FN_READ_BLOCK 500 words, trace on", FN_READ_BLOCK, "01DM01000", TYPE_WORD, 500, ALL_LEVELS, 500},
    {"FN_WRITE_BLOCK 500 words", FN_WRITE_BLOCK, "01DM01000", TYPE_WORD, 500, LOG_DRIVER, 500},
};

const char *const FAKE_ALONE = "fake gateway alone, one 500-word exchange";

int CallsOf(const Case &item, const Options &options) {
    return ExchangesOr(options, item.calls);
}

// ---- under callgrind

struct Prepared {
    TagDefinition definition;
    IoRequest request;
    uint16_t values[502];
};

void Prepare(DriverSession &session, const Case &item, Prepared *prepared) {
    TagAddress tag = item.count > 1 ? session.BlockTag(item.tag, item.count) : session.Tag(item.tag, item.valueType);
    prepared->definition = TagDefinition{item.tag, 0, item.valueType, 0, {}};
    prepared->request = RequestFor(item.tag, tag, item.count, prepared->values);
}

void CallOnce(DriverSession &session, const Case &item, Prepared &prepared) {
    CallBlock block{session.Instance(), item.function, 1, 0,
                    item.function == FN_CHECK_TAG ? static_cast<void *>(&prepared.definition) : &prepared.request};
    if (KelMain(&block) != RC_OK) {
        Die(std::string(item.name) + " failed");
    }
}

void MeasureCase(DriverSession &session, const Case &item, int calls) {
    Prepared prepared{};
    Prepare(session, item, &prepared);
    KelHostSetLogLevels(item.levels);
    CallOnce(session, item, prepared); // the first call binds the library calls
    CALLGRIND_ZERO_STATS;
    CALLGRIND_TOGGLE_COLLECT;
    for (int i = 0; i < calls; ++i) {
        CallOnce(session, item, prepared);
    }
    CALLGRIND_TOGGLE_COLLECT;
    CALLGRIND_DUMP_STATS_AT(item.name);
}

// What the quiet gateway costs the 500-word read: compose, send, receive.
void MeasureFakeAlone(int calls) {
    static uint8_t header[20], response[2048];
    const uint8_t destination[3] = {0, 1, 0};
    const uint8_t command[8] = {0x01, 0x01, 0x82, 0x03, 0xE8, 0x00, 0x01, 0xF4};
    CALLGRIND_ZERO_STATS;
    CALLGRIND_TOGGLE_COLLECT;
    for (int i = 0; i < calls; ++i) {
        GwComposeHeader(header, 0, destination, -1);
        GwSend(1, header, command, 8);
        GwReceive(1, header, response, sizeof response, 1000);
    }
    CALLGRIND_TOGGLE_COLLECT;
    CALLGRIND_DUMP_STATS_AT(FAKE_ALONE);
}

void MeasureAll(const Options &options) {
    ScratchFolder folder;
    DriverSession session(LOG_DRIVER);
    session.Start(folder, {{1, 1, false}}, Ports{9600, 9600});
    for (const Case &item : CASES) {
        MeasureCase(session, item, CallsOf(item, options));
    }
    MeasureFakeAlone(ExchangesOr(options, 500));
}

// ---- the table from the dumps

// Instructions of each dump by its client request name.
std::map<std::string, double> ReadDumps(const std::string &folder) {
    std::map<std::string, double> totals;
    DIR *directory = opendir(folder.c_str());
    for (dirent *entry; directory != nullptr && (entry = readdir(directory)) != nullptr;) {
        std::ifstream in(folder + "/" + entry->d_name);
        std::string line, name;
        double total = -1;
        while (std::getline(in, line)) {
            const std::string trigger = "desc: Trigger: Client Request: ";
            if (line.compare(0, trigger.size(), trigger) == 0) {
                name = line.substr(trigger.size());
            } else if (line.compare(0, 8, "summary:") == 0 || line.compare(0, 7, "totals:") == 0) {
                total = std::atof(line.substr(line.find(':') + 1).c_str());
            }
        }
        if (!name.empty() && total >= 0) {
            totals[name] = total;
        }
    }
    if (directory != nullptr) {
        closedir(directory);
    }
    return totals;
}

bool ValgrindUsable(std::string *why) {
#if defined(__SANITIZE_ADDRESS__)
    *why = "a sanitizer build does not run under valgrind";
    return false;
#endif
    if (std::system("command -v valgrind >/dev/null 2>&1") != 0) {
        *why = "valgrind is not installed";
        return false;
    }
    return true;
}

int RunUnderCallgrind(const char *self, const Options &options) {
    const std::string title = "Instructions per call (callgrind, Ir), the driver with a gateway that answers at once";
    std::string why;
    if (!ValgrindUsable(&why)) {
        std::printf("\n%s\n  skipped: %s\n", title.c_str(), why.c_str());
        return 0;
    }
    char pattern[] = "/tmp/kelomr-callgrind-XXXXXX";
    if (mkdtemp(pattern) == nullptr) {
        Die("cannot make a folder for the callgrind dumps");
    }
    std::string folder = pattern;
    std::string command = "valgrind --tool=callgrind --collect-atstart=no --callgrind-out-file=" + folder + "/dump '" +
                          self + "'" +
                          (options.exchanges > 0 ? " --exchanges " + std::to_string(options.exchanges) : "") + " > " +
                          folder + "/log 2>&1";
    if (std::system(command.c_str()) != 0) {
        Die("the run under callgrind failed; see " + folder + "/log");
    }
    std::map<std::string, double> totals = ReadDumps(folder);
    std::system(("rm -rf '" + folder + "'").c_str());
    Table table({"call", "calls", "instructions per call"});
    for (const Case &item : CASES) {
        int calls = CallsOf(item, options);
        auto found = totals.find(item.name);
        table.Add({item.name, std::to_string(calls), found == totals.end() ? "?" : Whole(found->second / calls)});
    }
    auto fake = totals.find(FAKE_ALONE);
    int fakeCalls = ExchangesOr(options, 500);
    table.Add({std::string(FAKE_ALONE) + " (inside the reads above)", std::to_string(fakeCalls),
               fake == totals.end() ? "?" : Whole(fake->second / fakeCalls)});
    table.Print(title +
                "\n(trace on: the host's sink takes LOG_DETAIL too; off: KelHostSetLogLevels(LOG_DRIVER), so the "
                "trace texts are never formatted)");
    return 0;
}

} // namespace

} // namespace bench

int main(int argc, char **argv) {
    return bench::BenchmarkMain(argc, argv, "Instructions per driver call, counted by callgrind.",
                                [](const bench::Options &options, const char *program) {
                                    if (RUNNING_ON_VALGRIND) {
                                        bench::MeasureAll(options);
                                        return 0;
                                    }
                                    return bench::RunUnderCallgrind(program, options);
                                });
}
