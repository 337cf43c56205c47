#include "host/cli/driver_instance.h"

#include <cstdio>
#include <cstring>

namespace kelomr {

namespace {

// Far above any instance area a driver of this kind needs; a larger figure
// means the record was not filled in.
constexpr int32_t LARGEST_INSTANCE_SIZE = 1 << 20;

} // namespace

bool Instance::QueryInfo(DriverInfo *info, std::string *error) {
    std::memset(info, 0, sizeof *info);
    CallBlock block{};
    block.function = FN_DRIVER_INFO;
    block.params = info;
    int32_t result = driver_.Call(block);
    if (result != RC_OK) {
        *error = "the driver refused FN_DRIVER_INFO with " + std::to_string(result);
        return false;
    }
    if (info->instanceSize <= 0 || info->instanceSize > LARGEST_INSTANCE_SIZE) {
        *error = "the driver reports an instance size of " + std::to_string(info->instanceSize) + " bytes";
        return false;
    }
    return true;
}

bool Instance::Start(int instanceNumber, int timeout, std::string *error) {
    DriverInfo info;
    if (!QueryInfo(&info, error)) {
        return false;
    }
    areaSize_ = static_cast<size_t>(info.instanceSize);
    area_.assign((areaSize_ + sizeof(uint32_t) - 1) / sizeof(uint32_t), 0);
    instanceNumber_ = instanceNumber;

    StartParams params{};
    params.enabled = 1;
    params.timeout = timeout;
    int32_t result = Call(FN_START, &params);
    if (result != RC_OK) {
        *error = "the driver refused FN_START with " + std::to_string(result);
        return false;
    }
    started_ = true;
    return true;
}

void Instance::Stop() {
    if (!started_) {
        return;
    }
    started_ = false;
    Call(FN_STOP, nullptr);
}

int32_t Instance::Call(int32_t function, void *params) {
    CallBlock block{};
    block.instance = reinterpret_cast<InstanceData *>(area_.data());
    block.function = function;
    block.instanceNumber = instanceNumber_;
    block.params = params;
    return driver_.Call(block);
}

const InstanceData *Instance::Data() const {
    if (area_.empty() || areaSize_ < sizeof(InstanceData)) {
        return nullptr;
    }
    return reinterpret_cast<const InstanceData *>(area_.data());
}

bool Instance::StationConfigured(int station) const {
    const InstanceData *data = Data();
    return data != nullptr && station >= STATION_FIRST && station <= STATION_LAST &&
           data->stationAddress[station][0] != '\0';
}

std::vector<int> Instance::ConfiguredStations() const {
    std::vector<int> stations;
    for (int station = STATION_FIRST; station <= STATION_LAST; ++station) {
        if (StationConfigured(station)) {
            stations.push_back(station);
        }
    }
    return stations;
}

std::string Instance::StationAddress(int station) const {
    if (!StationConfigured(station)) {
        return {};
    }
    const char *text = Data()->stationAddress[station];
    return std::string(text, strnlen(text, STATION_ADDRESS_SIZE));
}

GwUnitHandle Instance::UnitHandle(int station) const {
    return StationConfigured(station) ? Data()->unitHandle[station] : 0;
}

uint16_t Instance::LastEndCode() const {
    const InstanceData *data = Data();
    if (data == nullptr) {
        return 0;
    }
    return static_cast<uint16_t>((data->response[2] << 8 | data->response[3]) & 0x7FBF);
}

std::string StationFileName(int instanceNumber) {
    char name[32];
    std::snprintf(name, sizeof name, "kelOMR%.2d.int", instanceNumber);
    return name;
}

std::string Instance::StationFileName() const {
    return kelomr::StationFileName(instanceNumber_);
}

} // namespace kelomr
