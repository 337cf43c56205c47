// The checks of function codes 3 and 4: a tag address text against the
// station table and the host's value type, parsed into the TagAddress of the
// host's TagDefinition. A refusal leaves the fields written so far as they
// are; nothing is undone and nothing is logged.
#include "address/address_tables.h"
#include "address/address_text.h"
#include "driver/call_blocks.h"
#include "driver/handlers.h"

// Set only while CheckBlockAddress runs its parse.
uint8_t blockMode = 0;

int32_t ParseTagAddress(const CallBlock *block);

namespace {

enum {
    WIDTH_WORD = 16,
    WIDTH_DOUBLE = 32,
    WIDTH_TEXT = 8,
    HIGHEST_BIT = 15,
    LONGEST_TEXT = 80,
    TEXT_LENGTH_SHIFT = 24,
    BLOCK_WORDS = 500,
    BLOCK_DOUBLES = 250,
};

constexpr int32_t LargestOfWidth(int width) {
    return width == 0 ? 0 : LargestOfWidth(width - 1) * 10 + 9;
}

// The station number comes from two digits, so it always names a row of the
// station table; the range test below only keeps out station 0.
static_assert(LargestOfWidth(STATION_WIDTH) == STATION_LAST && STATION_LAST < STATION_ROWS,
              "every two-digit station number names a row of the station table");
static_assert(LargestOfWidth(WORD_WIDTH) < (1 << TEXT_LENGTH_SHIFT), "a word address leaves room for a text length");
static_assert(AREA_NAME_COUNT - 1 <= AREA_INDEX_MASK, "an area index fits below the format flags");

// The 32-bit items: each suffix with its format flag and the value type it
// needs in a single-item check.
struct WideFormat {
    char suffix;
    int32_t flag;
    int32_t valueType;
};

constexpr WideFormat WIDE_FORMATS[] = {
    {'F', FMT_FLOAT32, TYPE_FLOAT},
    {'B', FMT_BCD32, TYPE_LONG},
};

const WideFormat *WideFormatOf(char suffix) {
    for (const WideFormat &format : WIDE_FORMATS) {
        if (format.suffix == suffix) {
            return &format;
        }
    }
    return nullptr;
}

bool IsConfiguredStation(const InstanceData *instance, int32_t station) {
    return station >= STATION_FIRST && station <= STATION_LAST && instance->stationAddress[station][0] != '\0';
}

// 0 when positions 2 and 3 spell no area name.
int32_t AreaIndexOf(char first, char second) {
    for (int32_t index = 1; index < AREA_NAME_COUNT; ++index) {
        if (AREA_NAMES[index][0] == first && AREA_NAMES[index][1] == second) {
            return index;
        }
    }
    return 0;
}

// A text item of any area: the length rides in the top byte of address.
int32_t CompleteTextItem(TagDefinition *definition) {
    int32_t length = 0;
    bool hasLength = ScanNumber(TEXT_LENGTH_POSITION, TEXT_LENGTH_WIDTH, &length);
    if (definition->valueType != TYPE_TEXT) {
        return RC_ITEM_ERROR;
    }
    if (!hasLength || length == 0 || length > LONGEST_TEXT || length % 2 != 0) {
        return RC_ITEM_ERROR;
    }
    TagAddress *tag = &definition->tag;
    tag->areaFlags |= FMT_TEXT;
    tag->width = WIDTH_TEXT;
    tag->address = static_cast<int32_t>(static_cast<uint32_t>(tag->address) |
                                        (static_cast<uint32_t>(length) << TEXT_LENGTH_SHIFT));
    return RC_OK;
}

// A 32-bit item occupies a pair of DM words and is addressed by the pair.
bool CompleteWideItem(TagAddress *tag, const WideFormat &format) {
    if (tag->areaFlags != AREA_DM) {
        return false;
    }
    tag->areaFlags |= format.flag;
    tag->width = WIDTH_DOUBLE;
    if (tag->address % 2 != 0) {
        return false;
    }
    tag->address /= 2;
    return true;
}

bool ValueTypeFits(const WideFormat *format, int32_t valueType) {
    return format != nullptr ? valueType == format->valueType : valueType != TYPE_FLOAT;
}

int32_t CompleteBitItem(TagAddress *tag) {
    if (!IsDecimalDigit(addressBuffer[SUFFIX_POSITION]) || !IsDecimalDigit(addressBuffer[SUFFIX_POSITION + 1])) {
        return RC_ITEM_ERROR;
    }
    ScanNumber(SUFFIX_POSITION, BIT_WIDTH, &tag->bit);
    if (tag->bit > HIGHEST_BIT) {
        return RC_ITEM_ERROR;
    }
    tag->width = WIDTH_WORD;
    return RC_OK;
}

} // namespace

int32_t ParseTagAddress(const CallBlock *block) {
    TagDefinition *definition = static_cast<TagDefinition *>(block->params);
    if (!LoadAddressText(definition->addressText) || !MatchAddressTemplate(ADDRESS_TEMPLATE)) {
        return RC_ITEM_ERROR;
    }
    TagAddress *tag = &definition->tag;
    tag->station = 0;
    tag->width = WIDTH_WORD;
    tag->bit = NO_BIT;
    tag->areaFlags = 0;
    ScanNumber(STATION_POSITION, STATION_WIDTH, &tag->station);
    if (!IsConfiguredStation(block->instance, tag->station)) {
        return RC_ITEM_ERROR;
    }
    ScanNumber(WORD_POSITION, WORD_WIDTH, &tag->address);
    tag->areaFlags = AreaIndexOf(addressBuffer[AREA_POSITION], addressBuffer[AREA_POSITION + 1]);
    if (tag->areaFlags == 0) {
        return RC_ITEM_ERROR;
    }
    char suffix = addressBuffer[SUFFIX_POSITION];
    if (suffix == 'S') {
        return CompleteTextItem(definition);
    }
    const WideFormat *format = WideFormatOf(suffix);
    if (format != nullptr && !CompleteWideItem(tag, *format)) {
        return RC_ITEM_ERROR;
    }
    bool hasBitNumber = IsDecimalDigit(suffix);
    if (blockMode != 0) {
        return hasBitNumber ? RC_ITEM_ERROR : RC_OK;
    }
    if (!ValueTypeFits(format, definition->valueType)) {
        return RC_ITEM_ERROR;
    }
    if (definition->valueType != TYPE_BIT) {
        return hasBitNumber ? RC_ITEM_ERROR : RC_OK;
    }
    return CompleteBitItem(tag);
}

// The dispatch entry of function code 3 is the parser itself.
int32_t CheckTagAddress(const CallBlock *block) {
    return ParseTagAddress(block);
}

// A block spans at most BLOCK_WORDS words and holds neither texts nor bits.
// count is signed and has no lower bound here.
int32_t CheckBlockAddress(const CallBlock *block) {
    blockMode = 1;
    int32_t result = ParseTagAddress(block);
    blockMode = 0;
    if (result != RC_OK) {
        return result;
    }
    const TagDefinition *definition = static_cast<const TagDefinition *>(block->params);
    const TagAddress &tag = definition->tag;
    if (definition->count > BLOCK_WORDS) {
        return RC_ITEM_ERROR;
    }
    if (definition->count > BLOCK_DOUBLES && tag.width == WIDTH_DOUBLE) {
        return RC_ITEM_ERROR;
    }
    if ((tag.areaFlags & FMT_TEXT) != 0) {
        return RC_ITEM_ERROR;
    }
    return RC_OK;
}
