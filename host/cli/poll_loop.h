// Reading a list of tags round after round, as poll and demo do.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "host/cli/item_io.h"
#include "host/cli/options.h"
#include "host/cli/session.h"

namespace kelomr {

struct PollEntry {
    std::string name; // as the user wrote it: TAG or TAG:N
    std::string note; // what the tag is, for the table
    TagRequest request;
    Tag tag;
    int checkResult = RC_OK;
    std::string refusal; // why the check refused the tag
    Transfer last;
    std::vector<Value> shown; // the last values read successfully
    bool hasShown = false;
    bool changed = false; // in this round
    long changes = 0;
    int previousResult = RC_OK;
    std::string problem; // the refusal or failure of this round in words

    bool Usable() const { return checkResult == RC_OK; }
};

// TAG or TAG:N (a block of N items); false with a reason.
bool ParsePollEntry(const std::string &text, std::optional<int> valueType, PollEntry *entry, std::string *why);

struct PollPlan {
    std::vector<PollEntry> entries;
    int intervalMs = 1000;
    std::optional<int> rounds;
    int seconds = 0; // 0: no time limit
    Format format = Format::Auto;
    std::string title;
    std::function<void(int round)> beforeRound; // the demo's writes
};

// Checks the tags, then polls until the plan's end or a stop signal. The
// exit code is 0 after a stop signal, else that of the worst result.
int RunPollLoop(Session &session, PollPlan &plan);

} // namespace kelomr
