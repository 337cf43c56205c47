#include "host/cli/result_text.h"

#include <array>

#include "driver/call_blocks.h"
#include "host/cli/exit_codes.h"

namespace kelomr {

int ExitForResult(int resultCode) {
    switch (resultCode) {
    case RC_OK:
        return EXIT_ALL_GOOD;
    case RC_ITEM_ERROR:
        return EXIT_ITEM_ERROR;
    default:
        return EXIT_LINK_ERROR;
    }
}

std::string ResultName(int resultCode) {
    switch (resultCode) {
    case RC_OK:
        return "RC_OK";
    case RC_ITEM_ERROR:
        return "RC_ITEM_ERROR";
    case RC_LINK_ERROR:
        return "RC_LINK_ERROR";
    default:
        return "result " + std::to_string(resultCode);
    }
}

std::string ResultMeaning(int resultCode) {
    switch (resultCode) {
    case RC_OK:
        return "done";
    case RC_ITEM_ERROR:
        return "the address or the controller refused the item";
    case RC_LINK_ERROR:
        return "no answer, or a network error";
    default:
        return "a result code the driver should never give";
    }
}

namespace {

struct EndCodeText {
    uint16_t code;
    const char *meaning;
};

constexpr std::array<EndCodeText, 36> END_CODE_TEXTS = {{
    {0x0000, "normal completion"},
    {0x0001, "service canceled"},
    {0x0101, "local node not in network"},
    {0x0102, "token time-out"},
    {0x0103, "retries failed"},
    {0x0104, "too many send frames"},
    {0x0105, "node address range error"},
    {0x0106, "node address duplication"},
    {0x0201, "destination node not in network"},
    {0x0202, "no such unit"},
    {0x0203, "third node not in network"},
    {0x0204, "destination node busy"},
    {0x0205, "response time-out"},
    {0x0301, "communications controller error"},
    {0x0302, "CPU unit error"},
    {0x0303, "controller error"},
    {0x0304, "unit number error"},
    {0x0401, "undefined command"},
    {0x0402, "not supported by the model or version"},
    {0x0501, "routing: destination address setting error"},
    {0x0502, "no routing tables"},
    {0x0503, "routing table error"},
    {0x0504, "too many relays"},
    {0x1001, "command too long"},
    {0x1002, "command too short"},
    {0x1003, "elements and data do not agree"},
    {0x1004, "command format error"},
    {0x1005, "header error"},
    {0x1101, "no such memory area"},
    {0x1102, "access size error"},
    {0x1103, "address out of range"},
    {0x1104, "address range exceeded: the end lies beyond the area"},
    {0x110B, "response too long"},
    {0x110C, "parameter error"},
    {0x2101, "the area is read-only"},
    {0x2201, "not possible in the controller's current mode"},
}};

} // namespace

std::string EndCodeMeaning(uint16_t endCode) {
    for (const EndCodeText &entry : END_CODE_TEXTS) {
        if (entry.code == endCode) {
            return entry.meaning;
        }
    }
    return {};
}

} // namespace kelomr
