#include "host/cli/session.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "host/cli/exit_codes.h"
#include "host/cli/result_text.h"

namespace kelomr {

void Complain(const std::string &text) {
    std::fflush(stdout);
    std::fprintf(stderr, "kelomr: %s\n", text.c_str());
}

std::string FailureHeadline(const std::string &tagText, int result) {
    return tagText + ": " + ResultName(result) + " (" + ResultMeaning(result) + ")";
}

void ReportRefusal(const std::string &tagText, int result, const std::string &reason) {
    Complain(FailureHeadline(tagText, result) + ": " + reason);
}

void ReportFailure(Instance &instance, const Tag &tag, int result) {
    Complain(FailureHeadline(tag.text, result));
    for (const std::string &line : ExplainFailure(instance, tag, result)) {
        std::fprintf(stderr, "  %s\n", line.c_str());
    }
}

std::unique_ptr<DriverLibrary> LoadDriver(const Options &options, int *exitCode) {
    std::string path = options.driver.empty() ? DefaultDriverPath() : options.driver;
    std::string error;
    std::unique_ptr<DriverLibrary> driver = DriverLibrary::Open(path, &error);
    if (!driver) {
        Complain(error);
        *exitCode = EXIT_UNAVAILABLE;
    }
    return driver;
}

Session::Session(const Options &options) : log_(options.verbose, options.quiet) {}

std::unique_ptr<Session> Session::Open(const Options &options, int *exitCode) {
    std::unique_ptr<Session> session(new Session(options));
    session->driver_ = LoadDriver(options, exitCode);
    if (!session->driver_) {
        return nullptr;
    }
    if (!session->driver_->SetLogSink(&LogView::Sink, &session->log_)) {
        session->log_.Note("the driver has no host runtime sink: its texts go to standard error as they are");
    }
    session->driver_->SetLogLevels(session->log_.LevelMask());

    if (!options.dir.empty() && chdir(options.dir.c_str()) != 0) {
        Complain("cannot enter the folder " + options.dir + ": " + std::strerror(errno));
        *exitCode = EXIT_USAGE;
        return nullptr;
    }
    session->instance_ = std::make_unique<Instance>(*session->driver_, session->log_);
    std::string error;
    if (!session->instance_->Start(options.instance, options.timeout, &error)) {
        Complain(error);
        *exitCode = EXIT_SOFTWARE;
        return nullptr;
    }
    if (session->instance_->ConfiguredStations().empty()) {
        char folder[4096];
        session->log_.Note("no station configured: " + session->instance_->StationFileName() + " in " +
                           (getcwd(folder, sizeof folder) != nullptr ? folder : ".") + " is missing or names none");
    }
    return session;
}

} // namespace kelomr
