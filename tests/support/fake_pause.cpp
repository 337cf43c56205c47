#include "tests/support/fake_pause.h"

#include "fins/pause.h"

std::vector<int32_t> pausesTaken;

void PauseMilliseconds(int32_t milliseconds) { pausesTaken.push_back(milliseconds); }
