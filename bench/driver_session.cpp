#include "bench/driver_session.h"

#include <cstdlib>
#include <cstring>

#include "host/kelhost.h"

namespace bench {

namespace {

void CountText(void *context, int level, const char *) {
    LogCounts *counts = static_cast<LogCounts *>(context);
    ++(level == LOG_DETAIL ? counts->detail : counts->driver);
}

std::string StationFile(const std::vector<Station> &stations) {
    std::string text;
    for (const Station &station : stations) {
        char lines[64];
        std::snprintf(lines, sizeof lines, "%02d=0.%u.0\n%02d=CS1\n", station.number, station.node, station.number);
        text += lines;
    }
    return text;
}

std::string RoutingFile(const std::vector<Station> &stations, Ports ports) {
    std::string text = "local 0.100.0\n";
    for (const Station &station : stations) {
        char line[80];
        std::snprintf(line, sizeof line, "route 0.%u %s 127.0.0.1:%u\n", station.node, station.tcp ? "tcp" : "udp",
                      station.tcp ? ports.tcp : ports.udp);
        text += line;
    }
    return text;
}

} // namespace

DriverSession::DriverSession(int levelMask) {
    DriverInfo info{};
    CallBlock block{nullptr, FN_DRIVER_INFO, 0, 0, &info};
    if (KelMain(&block) != RC_OK || info.instanceSize < static_cast<int32_t>(sizeof(InstanceData))) {
        Die("the driver gives no usable instance size");
    }
    instance_ = static_cast<InstanceData *>(std::calloc(1, static_cast<size_t>(info.instanceSize)));
    KelHostSetLogSink(CountText, &log_);
    KelHostSetLogLevels(levelMask);
}

DriverSession::~DriverSession() {
    Stop();
    KelHostSetLogSink(nullptr, nullptr);
    KelHostSetLogLevels(-1);
    std::free(instance_);
}

void DriverSession::Start(ScratchFolder &folder, const std::vector<Station> &stations, Ports ports) {
    folder.Write("kelOMR01.int", StationFile(stations));
    folder.Write("finsgw.conf", RoutingFile(stations, ports));
    setenv("FINSGW_CONFIG", folder.File("finsgw.conf").c_str(), 1);
    StartOnly();
    for (const Station &station : stations) {
        if (instance_->unitHandle[station.number] == 0) {
            Die("station " + std::to_string(station.number) + " got no unit handle");
        }
    }
}

void DriverSession::StartOnly() {
    StartParams params{};
    params.enabled = 1;
    params.timeout = 100; // one second
    Call(FN_START, &params);
    started_ = true;
}

void DriverSession::Stop() {
    if (started_) {
        Call(FN_STOP, nullptr);
        started_ = false;
    }
}

TagAddress DriverSession::Tag(const char *text, int32_t valueType) {
    TagDefinition definition{text, 0, valueType, 0, {}};
    if (Call(FN_CHECK_TAG, &definition) != RC_OK) {
        Die(std::string("the driver refused tag ") + text);
    }
    return definition.tag;
}

TagAddress DriverSession::BlockTag(const char *text, int32_t count) {
    TagDefinition definition{text, 0, TYPE_WORD, count, {}};
    if (Call(FN_CHECK_BLOCK, &definition) != RC_OK) {
        Die(std::string("the driver refused block tag ") + text);
    }
    return definition.tag;
}

void DriverSession::Must(int32_t function, IoRequest *request, const char *what) {
    int32_t result = Call(function, request);
    if (result != RC_OK) {
        Die(std::string(what) + " of " + request->tagText + " failed with result " + std::to_string(result));
    }
}

int32_t DriverSession::Call(int32_t function, void *params) {
    CallBlock block{instance_, function, 1, 0, params};
    return KelMain(&block);
}

IoRequest RequestFor(const char *tagText, const TagAddress &tag, int32_t count, void *values) {
    return IoRequest{tagText, 0, tag, 0, count, 0, values};
}

} // namespace bench
