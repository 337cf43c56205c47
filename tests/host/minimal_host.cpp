// The smallest host of its own: load the driver, ask for its information,
// start an instance in the current folder, read one word, stop.
// Build: c++ -std=c++17 -I<prefix>/include/kelomr minimal_host.cpp -ldl
#include <dlfcn.h>

#include <cstdio>
#include <vector>

#include "driver/call_blocks.h"
#include "host/kelhost.h"

int main(int argc, char **argv) {
    const char *library = argc > 1 ? argv[1] : "libkelomr.so";
    void *driver = dlopen(library, RTLD_NOW | RTLD_LOCAL);
    if (driver == nullptr) {
        std::fprintf(stderr, "%s\n", dlerror());
        return 69;
    }
    auto kelMain = reinterpret_cast<int32_t (*)(CallBlock *)>(dlsym(driver, "KelMain"));
    auto setSink = reinterpret_cast<void (*)(KelHostLogSink, void *)>(dlsym(driver, "KelHostSetLogSink"));
    if (kelMain == nullptr || setSink == nullptr) {
        return 69;
    }
    setSink([](void *, int level, const char *text) { std::fprintf(stderr, "[%d] %s\n", level, text); }, nullptr);

    DriverInfo info{};
    CallBlock block{};
    block.function = FN_DRIVER_INFO;
    block.params = &info;
    kelMain(&block);
    std::printf("%s, instance area %d bytes\n", info.description, info.instanceSize);

    std::vector<uint32_t> area((info.instanceSize + 3) / 4, 0); // zero-filled, 4-byte aligned
    block.instance = reinterpret_cast<InstanceData *>(area.data());
    block.instanceNumber = 1; // kelOMR01.int
    StartParams start{};
    start.enabled = 1;
    start.timeout = 100; // 1 s
    block.function = FN_START;
    block.params = &start;
    kelMain(&block);

    int32_t result = RC_ITEM_ERROR;
    if (argc > 2) {
        TagDefinition tag{};
        tag.addressText = argv[2];
        tag.valueType = 1; // a plain word
        block.function = FN_CHECK_TAG;
        block.params = &tag;
        result = kelMain(&block);
        if (result == RC_OK) {
            uint16_t cells[2] = {0, 0}; // a single word arrives in the second cell
            IoRequest request{};
            request.tagText = argv[2];
            request.tag = tag.tag;
            request.count = 1;
            request.values = cells;
            block.function = FN_READ_TAG;
            block.params = &request;
            result = kelMain(&block);
            if (result == RC_OK) {
                std::printf("%s = %u\n", argv[2], cells[1]);
            }
        }
    }
    block.function = FN_STOP;
    block.params = nullptr;
    kelMain(&block);
    setSink(nullptr, nullptr);
    dlclose(driver);
    return result;
}
