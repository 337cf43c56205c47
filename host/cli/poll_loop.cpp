#include "host/cli/poll_loop.h"

#include <chrono>
#include <cstdlib>

#include "host/cli/exit_codes.h"
#include "host/cli/poll_output.h"
#include "host/cli/stop_signal.h"

namespace kelomr {

namespace {

using Clock = std::chrono::steady_clock;

void CheckEntries(Instance &instance, std::vector<PollEntry> &entries) {
    for (PollEntry &entry : entries) {
        entry.checkResult = CheckTag(instance, entry.request, &entry.tag, &entry.refusal);
        if (!entry.Usable()) {
            entry.problem = FailureHeadline(entry.name, entry.checkResult) + ": " + entry.refusal;
            instance.Log().Alert(entry.problem);
        }
    }
}

// A failure is told when it starts or changes, and a recovery once, so a
// controller that stays down does not flood the log.
void ReadEntry(Instance &instance, PollEntry &entry) {
    entry.last = ReadTag(instance, entry.tag);
    entry.changed = false;
    int result = entry.last.result;
    if (result == RC_OK) {
        entry.changed = entry.hasShown && entry.last.values != entry.shown;
        entry.changes += entry.changed ? 1 : 0;
        entry.shown = entry.last.values;
        entry.hasShown = true;
        entry.problem.clear();
        if (entry.previousResult != RC_OK) {
            instance.Log().Alert(entry.name + ": RC_OK again");
        }
    } else {
        entry.problem = FailureHeadline(entry.name, result);
        for (const std::string &line : ExplainFailure(instance, entry.tag, result)) {
            entry.problem += "; " + line;
        }
        if (entry.previousResult != result) {
            instance.Log().Alert(entry.problem);
        }
    }
    entry.previousResult = result;
}

bool TimeIsUp(const PollPlan &plan, Clock::time_point start) {
    return plan.seconds > 0 && Clock::now() - start >= std::chrono::seconds(plan.seconds);
}

Clock::time_point NextRound(const PollPlan &plan, Clock::time_point start, Clock::time_point roundStart) {
    auto next = roundStart + std::chrono::milliseconds(plan.intervalMs);
    if (plan.seconds > 0) {
        next = std::min(next, start + std::chrono::seconds(plan.seconds));
    }
    return next;
}

} // namespace

bool ParsePollEntry(const std::string &text, std::optional<int> valueType, PollEntry *entry, std::string *why) {
    *entry = PollEntry{};
    entry->name = text;
    entry->request.valueType = valueType;
    size_t colon = text.find(':');
    entry->request.text = text.substr(0, colon);
    if (colon == std::string::npos) {
        return true;
    }
    std::string count = text.substr(colon + 1);
    char *end = nullptr;
    long number = count.empty() ? 0 : std::strtol(count.c_str(), &end, 10);
    if (count.empty() || *end != '\0' || number < 1 || number > 100000) {
        *why = "'" + text + "': the block size after ':' must be a whole number of at least 1";
        return false;
    }
    entry->request.count = static_cast<int>(number);
    return true;
}

int RunPollLoop(Session &session, PollPlan &plan) {
    Instance &instance = session.GetInstance();
    InstallStopHandlers();
    // The table owns the terminal from here on; texts go beneath it.
    Format format = ResolveFormat(plan.format, stdout);
    session.Log().Hold(format == Format::Table);
    CheckEntries(instance, plan.entries);
    int worst = EXIT_ALL_GOOD;
    bool anyUsable = false;
    for (const PollEntry &entry : plan.entries) {
        anyUsable = anyUsable || entry.Usable();
        worst = WorseExit(worst, ExitForResult(entry.checkResult));
    }
    if (!anyUsable) {
        session.Log().Hold(false);
        for (const std::string &line : session.Log().Recent()) {
            std::fprintf(stderr, "%s\n", line.c_str());
        }
        return worst;
    }
    std::unique_ptr<PollOutput> output = MakePollOutput(format, stdout, session.Log(), plan.title, plan.entries);
    auto start = Clock::now();
    for (int round = 1; !StopRequested(); ++round) {
        auto roundStart = Clock::now();
        if (plan.beforeRound) {
            plan.beforeRound(round);
        }
        output->BeginRound(round, std::chrono::system_clock::now());
        for (PollEntry &entry : plan.entries) {
            if (StopSignals() > 1) {
                break;
            }
            if (entry.Usable()) {
                ReadEntry(instance, entry);
                worst = WorseExit(worst, ExitForResult(entry.last.result));
            }
            output->Row(entry, std::chrono::system_clock::now());
        }
        output->EndRound();
        if (std::ferror(stdout) || (plan.rounds && round >= *plan.rounds) || TimeIsUp(plan, start)) {
            break;
        }
        SleepUnlessStopped(NextRound(plan, start, roundStart));
        if (TimeIsUp(plan, start)) {
            break;
        }
    }
    output->Finish();
    session.Log().Hold(false);
    return StopRequested() ? EXIT_ALL_GOOD : worst;
}

} // namespace kelomr
