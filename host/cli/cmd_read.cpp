#include <cstdio>

#include "host/cli/commands.h"
#include "host/cli/exit_codes.h"
#include "host/cli/session.h"
#include "host/cli/stop_signal.h"
#include "host/cli/value_format.h"

namespace kelomr {

namespace {

void PrintValues(const Tag &tag, const std::vector<Value> &values) {
    for (size_t i = 0; i < values.size(); ++i) {
        std::string item = tag.ItemText(static_cast<int>(i));
        std::printf("%-12s  %s\n", item.c_str(), FormatHuman(values[i]).c_str());
    }
    std::fflush(stdout);
}

} // namespace

int RunRead(const Options &options) {
    if (options.operands.empty()) {
        Complain("read: name at least one tag, for example kelomr read 01DM00100");
        return EXIT_USAGE;
    }
    int exitCode = EXIT_ALL_GOOD;
    std::unique_ptr<Session> session = Session::Open(options, &exitCode);
    if (!session) {
        return exitCode;
    }
    InstallStopHandlers();
    Instance &instance = session->GetInstance();
    for (const std::string &text : options.operands) {
        if (StopRequested()) {
            break;
        }
        Tag tag;
        std::string reason;
        int result = CheckTag(instance, {text, options.count.value_or(0), options.valueType}, &tag, &reason);
        if (result != RC_OK) {
            ReportRefusal(text, result, reason);
            exitCode = WorseExit(exitCode, ExitForResult(result));
            continue;
        }
        Transfer transfer = ReadTag(instance, tag);
        if (transfer.result != RC_OK) {
            ReportFailure(instance, tag, transfer.result);
            exitCode = WorseExit(exitCode, ExitForResult(transfer.result));
            continue;
        }
        PrintValues(tag, transfer.values);
    }
    return exitCode;
}

} // namespace kelomr
