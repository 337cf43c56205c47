// Result codes and FINS end codes told in words.
#pragma once

#include <cstdint>
#include <string>

namespace kelomr {

// "RC_OK", "RC_ITEM_ERROR", "RC_LINK_ERROR", or "result N".
std::string ResultName(int resultCode);

// What a result means to the user of a tag.
std::string ResultMeaning(int resultCode);

// The controller's meaning of a FINS end code (MRES SRES with the relay and
// CPU error flags cleared), or an empty text for a code we do not know.
std::string EndCodeMeaning(uint16_t endCode);

} // namespace kelomr
