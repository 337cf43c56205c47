// The three forms of poll output: CSV lines, JSON lines, and the live table
// that redraws itself in place on a terminal.
#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "host/cli/clock_text.h"
#include "host/cli/log_view.h"
#include "host/cli/options.h"

namespace kelomr {

struct PollEntry;

class PollOutput {
  public:
    virtual ~PollOutput() = default;
    virtual void BeginRound(int round, WallTime time) = 0;
    virtual void Row(const PollEntry &entry, WallTime time) = 0;
    virtual void EndRound() = 0;
    virtual void Finish() {}
};

// Table when asked, or by default on a terminal; CSV otherwise.
Format ResolveFormat(Format requested, std::FILE *out);

std::unique_ptr<PollOutput> MakePollOutput(Format format, std::FILE *out, const LogView &log, const std::string &title,
                                           const std::vector<PollEntry> &entries);

} // namespace kelomr
