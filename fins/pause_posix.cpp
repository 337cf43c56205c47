#include <errno.h>
#include <time.h>

#include "fins/pause.h"

void PauseMilliseconds(int32_t milliseconds) {
    if (milliseconds <= 0) {
        return;
    }
    timespec remaining{milliseconds / 1000, static_cast<long>(milliseconds % 1000) * 1000000L};
    while (nanosleep(&remaining, &remaining) != 0 && errno == EINTR) {
    }
}
