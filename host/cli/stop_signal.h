// Ctrl-C and SIGTERM as a request to stop: the work in hand finishes, the
// instance is stopped, the program ends normally.
#pragma once

#include <chrono>

namespace kelomr {

// Installs the handlers once; SIGPIPE is ignored so that a closed output
// ends the program through its write errors instead of killing it.
void InstallStopHandlers();

bool StopRequested();

// How many stop signals arrived; a second one cuts the round short.
int StopSignals();

// Sleeps until `deadline`; returns early, true, when a stop was requested.
bool SleepUnlessStopped(std::chrono::steady_clock::time_point deadline);

} // namespace kelomr
