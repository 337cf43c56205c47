// Tags checked and transferred through KelMain: FN_CHECK_TAG or
// FN_CHECK_BLOCK first, then reads and writes of single items (function
// codes 5 and 7) or blocks (6 and 10) with the parsed address copied into
// every request.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "driver/call_blocks.h"
#include "host/cli/driver_instance.h"
#include "host/cli/value_codec.h"

namespace kelomr {

struct TagRequest {
    std::string text;
    int count = 0;                // 0: a single item; else a block of that many items
    std::optional<int> valueType; // overrides the type that follows from the text
};

struct Tag {
    std::string text; // also the tag text the driver logs
    bool block = false;
    int count = 1;
    int valueType = 1;
    TagAddress address{};
    Kind kind = Kind::Word;

    int TextLength() const;
    // The address text of item `index`: the tag itself for a single item.
    std::string ItemText(int index) const;
};

// RC_OK with *tag filled, or RC_ITEM_ERROR with the reason in words.
int CheckTag(Instance &instance, const TagRequest &request, Tag *tag, std::string *reason);

struct Transfer {
    int result = RC_OK;
    std::vector<Value> values; // read: the values, on success only
    double latencyMs = 0;
};

Transfer ReadTag(Instance &instance, const Tag &tag);
// `values` has one value for a single item, `count` for a block.
Transfer WriteTag(Instance &instance, const Tag &tag, const std::vector<Value> &values);

// Lines that explain a failed transfer: the controller's end code in words,
// the gateway's text, and (when the log is quiet) the driver's own texts.
std::vector<std::string> ExplainFailure(Instance &instance, const Tag &tag, int result);

} // namespace kelomr
