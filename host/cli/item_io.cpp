#include "host/cli/item_io.h"

#include <chrono>
#include <cstdio>

#include "host/cli/result_text.h"
#include "host/cli/tag_diagnosis.h"

namespace kelomr {

namespace {

double MillisecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

// The driver's answer must describe a value that fits the host's area;
// a driver that claims otherwise is not trusted with the buffer.
bool FitsValueArea(const Tag &tag) {
    size_t bytes = tag.block ? BlockBytes(tag.kind, tag.count) : SingleItemBytes(tag.kind, tag.TextLength());
    return bytes <= ValueArea::SIZE && (!tag.block || tag.kind != Kind::Text);
}

Transfer Exchange(Instance &instance, const Tag &tag, int32_t function, ValueArea &area) {
    IoRequest request{};
    request.tagText = tag.text.c_str();
    request.tag = tag.address;
    request.count = tag.block ? tag.count : 1;
    request.values = area.bytes;
    instance.Log().BeginRequest();
    auto start = std::chrono::steady_clock::now();
    Transfer transfer;
    transfer.result = instance.Call(function, &request);
    transfer.latencyMs = MillisecondsSince(start);
    return transfer;
}

std::string Hex4(unsigned value) {
    char text[8];
    std::snprintf(text, sizeof text, "%04X", value);
    return text;
}

} // namespace

int Tag::TextLength() const {
    return kind == Kind::Text ? kelomr::TextLength(address) : 0;
}

std::string Tag::ItemText(int index) const {
    return block ? ItemTagText(text, kind, index) : text;
}

int CheckTag(Instance &instance, const TagRequest &request, Tag *tag, std::string *reason) {
    *tag = Tag{};
    tag->text = request.text;
    tag->block = request.count > 0;
    tag->count = tag->block ? request.count : 1;
    tag->valueType = request.valueType.value_or(ValueTypeForText(request.text));

    TagDefinition definition{};
    definition.addressText = tag->text.c_str();
    definition.valueType = tag->valueType;
    definition.count = request.count;
    int32_t result = instance.Call(tag->block ? FN_CHECK_BLOCK : FN_CHECK_TAG, &definition);
    if (result != RC_OK) {
        RefusalContext context;
        context.valueType = tag->valueType;
        context.block = tag->block;
        context.count = request.count;
        context.stationConfigured = [&instance](int station) { return instance.StationConfigured(station); };
        context.stationFile = instance.StationFileName();
        *reason = ExplainRefusal(request.text, context);
        return result;
    }
    tag->address = definition.tag;
    tag->kind = KindOf(tag->address);
    if (!FitsValueArea(*tag)) {
        *reason = "the driver accepted an item larger than any tag may be";
        return RC_ITEM_ERROR;
    }
    return RC_OK;
}

Transfer ReadTag(Instance &instance, const Tag &tag) {
    ValueArea area;
    Transfer transfer = Exchange(instance, tag, tag.block ? FN_READ_BLOCK : FN_READ_TAG, area);
    if (transfer.result == RC_OK) {
        if (tag.block) {
            transfer.values = DecodeBlock(tag.kind, area, tag.count);
        } else {
            transfer.values.push_back(DecodeSingle(tag.kind, area, tag.TextLength()));
        }
    }
    return transfer;
}

Transfer WriteTag(Instance &instance, const Tag &tag, const std::vector<Value> &values) {
    ValueArea area;
    if (tag.block) {
        EncodeBlock(values, area);
    } else if (!values.empty()) {
        EncodeSingle(values.front(), area, tag.TextLength());
    }
    return Exchange(instance, tag, tag.block ? FN_WRITE_BLOCK : FN_WRITE_TAG, area);
}

std::vector<std::string> ExplainFailure(Instance &instance, const Tag &tag, int result) {
    std::vector<std::string> lines;
    uint16_t endCode = instance.LastEndCode();
    if (endCode != 0) {
        std::string meaning = EndCodeMeaning(endCode);
        lines.push_back("controller: end code " + Hex4(endCode) + (meaning.empty() ? "" : ": " + meaning));
    }
    int station = tag.address.station;
    if (result == RC_LINK_ERROR && instance.UnitHandle(station) == 0 && instance.StationConfigured(station)) {
        lines.push_back("gateway: the unit for station " + std::to_string(station) + " (" +
                        instance.StationAddress(station) + ") could not be opened at start");
    }
    if (result == RC_LINK_ERROR && endCode == 0) {
        std::string text = instance.Driver().GatewayErrorText();
        if (!text.empty()) {
            lines.push_back("gateway: " + text);
        }
    }
    if (instance.Log().Quiet()) {
        for (const LogText &text : instance.Log().RequestTexts()) {
            if (text.level == LOG_DRIVER) {
                lines.push_back("driver: " + text.text);
            }
        }
    }
    return lines;
}

} // namespace kelomr
