#include <cstdio>

#include "host/cli/commands.h"
#include "host/cli/exit_codes.h"
#include "host/cli/session.h"
#include "host/cli/value_format.h"
#include "host/cli/value_parse.h"

namespace kelomr {

namespace {

// Every value is judged before the first byte goes out.
bool ParseAll(const Tag &tag, const std::vector<std::string> &inputs, std::vector<Value> *values) {
    for (size_t i = 0; i < inputs.size(); ++i) {
        Value value;
        std::string why;
        if (!ParseValue(tag.kind, inputs[i], tag.TextLength(), &value, &why)) {
            std::string item = tag.ItemText(static_cast<int>(i));
            Complain(item + ": bad " + KindName(tag.kind) + " value '" + inputs[i] + "': " + why +
                     "; nothing was sent");
            return false;
        }
        values->push_back(value);
    }
    return true;
}

} // namespace

int RunWrite(const Options &options) {
    if (options.operands.size() < 2) {
        Complain("write: name a tag and at least one value, for example kelomr write 01DM00100 1234");
        return EXIT_USAGE;
    }
    int exitCode = EXIT_ALL_GOOD;
    std::unique_ptr<Session> session = Session::Open(options, &exitCode);
    if (!session) {
        return exitCode;
    }
    Instance &instance = session->GetInstance();
    const std::string &text = options.operands.front();
    std::vector<std::string> inputs(options.operands.begin() + 1, options.operands.end());
    int blockCount = inputs.size() > 1 ? static_cast<int>(inputs.size()) : 0;
    // Texts are never blocks: several values for one are words of a text
    // the shell split.
    if (blockCount > 0 && options.valueType.value_or(ValueTypeForText(text)) == TYPE_TEXT) {
        Complain(text + ": a text tag takes one value (quote a text that holds blanks); nothing was sent");
        return EXIT_BAD_VALUE;
    }

    Tag tag;
    std::string reason;
    int result = CheckTag(instance, {text, blockCount, options.valueType}, &tag, &reason);
    if (result != RC_OK) {
        ReportRefusal(text, result, reason);
        return ExitForResult(result);
    }
    std::vector<Value> values;
    if (!ParseAll(tag, inputs, &values)) {
        return EXIT_BAD_VALUE;
    }
    Transfer transfer = WriteTag(instance, tag, values);
    if (transfer.result != RC_OK) {
        ReportFailure(instance, tag, transfer.result);
        return ExitForResult(transfer.result);
    }
    for (size_t i = 0; i < values.size(); ++i) {
        std::string item = tag.ItemText(static_cast<int>(i));
        std::printf("%-12s  %s  written\n", item.c_str(), FormatHuman(values[i]).c_str());
    }
    return std::fflush(stdout) == 0 ? EXIT_ALL_GOOD : EXIT_SOFTWARE;
}

} // namespace kelomr
