// The pause after a busy controller. A link seam: the shipped driver sleeps,
// unit tests link a recording fake instead.
#pragma once

#include <stdint.h>

void PauseMilliseconds(int32_t milliseconds);
