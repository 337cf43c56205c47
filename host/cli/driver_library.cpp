#include "host/cli/driver_library.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

#ifndef KELOMR_LIBDIR_FROM_BIN
#define KELOMR_LIBDIR_FROM_BIN "../lib"
#endif

namespace kelomr {

namespace {

template <typename Function> void Resolve(void *handle, const char *name, Function *out) {
    *out = reinterpret_cast<Function>(dlsym(handle, name));
}

} // namespace

std::unique_ptr<DriverLibrary> DriverLibrary::Open(const std::string &path, std::string *error) {
    dlerror();
    void *handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        const char *reason = dlerror();
        *error = "cannot load the driver " + path + ": " + (reason != nullptr ? reason : "unknown reason");
        return nullptr;
    }
    std::unique_ptr<DriverLibrary> library(new DriverLibrary);
    library->handle_ = handle;
    library->path_ = path;
    Resolve(handle, "KelMain", &library->kelMain_);
    if (library->kelMain_ == nullptr) {
        *error = "the library " + path + " has no KelMain: not a KelOMR driver";
        return nullptr;
    }
    Resolve(handle, "KelHostSetLogSink", &library->setLogSink_);
    Resolve(handle, "KelHostSetLogLevels", &library->setLogLevels_);
    Resolve(handle, "GwLastErrorText", &library->lastErrorText_);
    Resolve(handle, "GwUnitCounters", &library->unitCounters_);
    return library;
}

DriverLibrary::~DriverLibrary() {
    // The runtime must not keep a sink that points into this process's
    // objects once they are gone.
    if (setLogSink_ != nullptr) {
        setLogSink_(nullptr, nullptr);
    }
    if (handle_ != nullptr) {
        dlclose(handle_);
    }
}

bool DriverLibrary::SetLogSink(KelHostLogSink sink, void *context) const {
    if (setLogSink_ == nullptr) {
        return false;
    }
    setLogSink_(sink, context);
    return true;
}

bool DriverLibrary::SetLogLevels(int mask) const {
    if (setLogLevels_ == nullptr) {
        return false;
    }
    setLogLevels_(mask);
    return true;
}

std::string DriverLibrary::GatewayErrorText() const {
    if (lastErrorText_ == nullptr) {
        return {};
    }
    const char *text = lastErrorText_();
    return text != nullptr ? text : "";
}

bool DriverLibrary::UnitCounters(GwUnitHandle unit, GwCounters *out) const {
    return unitCounters_ != nullptr && unitCounters_(unit, out) == 0;
}

std::string ExecutableFolder() {
    std::vector<char> buffer(4096);
    ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
    if (length <= 0) {
        return ".";
    }
    std::string path(buffer.data(), static_cast<size_t>(length));
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? "." : path.substr(0, slash == 0 ? 1 : slash);
}

std::string DefaultDriverPath() {
    if (const char *fromEnvironment = std::getenv("KELOMR_DRIVER"); fromEnvironment != nullptr && *fromEnvironment) {
        return fromEnvironment;
    }
    const std::string folder = ExecutableFolder();
    // Installed, the library folder may be a multiarch one; in the build
    // tree it is always lib/ beside bin/.
    for (const char *relative : {KELOMR_LIBDIR_FROM_BIN, "../lib"}) {
        std::string candidate = folder + "/" + relative + "/libkelomr.so";
        if (access(candidate.c_str(), R_OK) == 0) {
            return candidate;
        }
    }
    return "libkelomr.so";
}

} // namespace kelomr
