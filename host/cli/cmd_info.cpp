#include <cstdio>
#include <cstring>
#include <string>

#include "host/cli/commands.h"
#include "host/cli/cp437.h"
#include "host/cli/driver_instance.h"
#include "host/cli/exit_codes.h"
#include "host/cli/session.h"

namespace kelomr {

namespace {

// The driver's texts are its own constant data; a missing terminator
// must not run this program off into other memory.
constexpr size_t LONGEST_TEXT = 1 << 16;

std::string DriverText(const char *text) {
    return text == nullptr ? std::string() : std::string(text, strnlen(text, LONGEST_TEXT));
}

} // namespace

int RunInfo(const Options &options) {
    int exitCode = EXIT_ALL_GOOD;
    std::unique_ptr<DriverLibrary> driver = LoadDriver(options, &exitCode);
    if (!driver) {
        return exitCode;
    }
    LogView log(options.verbose, options.quiet);
    Instance instance(*driver, log);
    DriverInfo info;
    std::string error;
    if (!instance.QueryInfo(&info, &error)) {
        Complain(error);
        return EXIT_SOFTWARE;
    }
    std::string banner = DriverText(info.banner);
    std::printf("driver        %s\n", driver->Path().c_str());
    std::printf("driver id     %d\n", info.driverId);
    std::printf("description   %s\n", DriverText(info.description).c_str());
    std::printf("instance size %d bytes\n", info.instanceSize);
    std::printf("host values   %d at +16, %d at +28\n", info.field16, info.field28);
    std::printf("log sink      %s\n", driver->HasLogSink() ? "host runtime found" : "none");
    std::printf("gateway       %s\n", driver->HasGatewayExtras() ? "error texts and unit counters found" : "no extras");
    std::printf("banner        %zu bytes:", banner.size());
    std::string shown = options.raw ? banner : Cp437ToUtf8(banner);
    std::fwrite(shown.data(), 1, shown.size(), stdout);
    if (shown.empty() || shown.back() != '\n') {
        std::printf("\n");
    }
    return std::fflush(stdout) == 0 ? EXIT_ALL_GOOD : EXIT_SOFTWARE;
}

} // namespace kelomr
