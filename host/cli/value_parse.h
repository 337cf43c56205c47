// Values typed by the user, parsed by the kind of the tag they go to. A value
// that does not fit is refused with the reason, before anything is sent.
#pragma once

#include <string>

#include "host/cli/value_codec.h"

namespace kelomr {

// textLength is the text item's length; shorter texts are padded with NUL
// bytes, longer ones refused.
bool ParseValue(Kind kind, const std::string &input, int textLength, Value *out, std::string *why);

} // namespace kelomr
