#include <fstream>

#include "host/cli/commands.h"
#include "host/cli/exit_codes.h"
#include "host/cli/poll_loop.h"

namespace kelomr {

namespace {

std::string Trimmed(const std::string &line) {
    size_t first = line.find_first_not_of(" \t\r");
    if (first == std::string::npos) {
        return {};
    }
    size_t last = line.find_last_not_of(" \t\r");
    return line.substr(first, last - first + 1);
}

// One tag a line; blank lines and # comments are skipped.
bool ReadTagFile(const std::string &path, std::vector<std::string> *tags, std::string *error) {
    std::ifstream file(path);
    if (!file) {
        *error = "cannot read the tag list " + path;
        return false;
    }
    std::string line;
    for (int number = 1; std::getline(file, line); ++number) {
        std::string tag = Trimmed(line);
        if (tag.empty() || tag[0] == '#') {
            continue;
        }
        if (tag.find_first_of(" \t") != std::string::npos) {
            *error = path + ":" + std::to_string(number) + ": one tag a line, not '" + tag + "'";
            return false;
        }
        tags->push_back(tag);
    }
    return true;
}

} // namespace

int RunPoll(const Options &options) {
    std::vector<std::string> tags = options.operands;
    std::string error;
    if (!options.file.empty() && !ReadTagFile(options.file, &tags, &error)) {
        Complain(error);
        return EXIT_USAGE;
    }
    if (tags.empty()) {
        Complain("poll: name at least one tag, or a file of tags with --file");
        return EXIT_USAGE;
    }
    PollPlan plan;
    for (const std::string &text : tags) {
        PollEntry entry;
        if (!ParsePollEntry(text, options.valueType, &entry, &error)) {
            Complain(error);
            return EXIT_USAGE;
        }
        plan.entries.push_back(entry);
    }
    plan.intervalMs = options.intervalMs.value_or(1000);
    plan.rounds = options.count;
    plan.format = options.format;
    plan.title = "kelomr poll   instance " + std::to_string(options.instance);

    int exitCode = EXIT_ALL_GOOD;
    std::unique_ptr<Session> session = Session::Open(options, &exitCode);
    if (!session) {
        return exitCode;
    }
    return RunPollLoop(*session, plan);
}

} // namespace kelomr
