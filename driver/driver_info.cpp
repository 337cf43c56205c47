#include "driver/call_blocks.h"
#include "driver/handlers.h"

#ifndef KELOMR_VERSION
#define KELOMR_VERSION "1.0.0"
#endif

namespace {

constexpr int LINE_WIDTH = 64;
constexpr int INNER_WIDTH = 61; // between the two frame characters
constexpr int LINE_COUNT = 6;
constexpr int BANNER_LENGTH = 1 + LINE_COUNT * (LINE_WIDTH + 1);
static_assert(BANNER_LENGTH == 391, "banner length");

// The banner, in code page 437: a line feed, then six framed lines of 64
// characters, each closed by a line feed. Built at compile time from its
// pieces so that every line width is checked rather than counted by hand.
struct Banner {
    char text[BANNER_LENGTH + 1] = {};
    int length = 0;

    constexpr void Put(char c, int times = 1) {
        for (int i = 0; i < times; ++i) {
            text[length++] = c;
        }
    }
    constexpr void Put(const char *s) {
        while (*s != '\0') {
            text[length++] = *s++;
        }
    }
    constexpr void PutCentered(const char *s) {
        int size = 0;
        while (s[size] != '\0') {
            ++size;
        }
        int before = (INNER_WIDTH - size) / 2;
        Put(' ', before);
        Put(s);
        Put(' ', INNER_WIDTH - size - before);
    }
};

constexpr char BOX_TOP_LEFT = '\xC9', BOX_TOP_RIGHT = '\xBB';
constexpr char BOX_BOTTOM_LEFT = '\xC8', BOX_BOTTOM_RIGHT = '\xBC';
constexpr char BOX_HORIZONTAL = '\xCD', BOX_VERTICAL = '\xBA';
constexpr char SHADE_FULL = '\xDB', SHADE_DARK = '\xB2', SHADE_MEDIUM = '\xB1', SHADE_LIGHT = '\xB0';

constexpr Banner MakeBanner() {
    Banner b;
    b.Put('\n');
    b.Put(' ');
    b.Put(BOX_TOP_LEFT);
    b.Put(BOX_HORIZONTAL, INNER_WIDTH);
    b.Put(BOX_TOP_RIGHT);
    b.Put('\n');

    b.Put(' ');
    b.Put(BOX_VERTICAL);
    b.Put(' ');
    b.Put(SHADE_FULL, 5);
    b.Put(SHADE_DARK, 6);
    b.Put(SHADE_MEDIUM, 6);
    b.Put(SHADE_LIGHT, 6);
    b.Put(" K E L O M R ");
    b.Put(SHADE_LIGHT, 6);
    b.Put(SHADE_MEDIUM, 6);
    b.Put(SHADE_DARK, 6);
    b.Put(SHADE_FULL, 5);
    b.Put(' ');
    b.Put(BOX_VERTICAL);
    b.Put('\n');

    b.Put(' ');
    b.Put(BOX_VERTICAL);
    b.Put(' ', 9);
    b.Put("OMRON , General purpose ,driver Installed.");
    b.Put(' ', 10);
    b.Put(BOX_VERTICAL);
    b.Put('\n');

    b.Put(' ');
    b.Put(BOX_VERTICAL);
    b.Put(' ', 14);
    b.Put("FinsGateway API's , General purpose");
    b.Put(' ', 12);
    b.Put(BOX_VERTICAL);
    b.Put('\n');

    b.Put(' ');
    b.Put(BOX_VERTICAL);
    b.PutCentered("Version " KELOMR_VERSION " for Linux");
    b.Put(BOX_VERTICAL);
    b.Put('\n');

    b.Put(' ');
    b.Put(BOX_BOTTOM_LEFT);
    b.Put(BOX_HORIZONTAL, INNER_WIDTH);
    b.Put(BOX_BOTTOM_RIGHT);
    b.Put('\n');
    return b;
}

constexpr Banner BANNER = MakeBanner();
static_assert(BANNER.length == BANNER_LENGTH, "every banner line is 64 characters");

constexpr const char DESCRIPTION[] = "Omron General purpose";

} // namespace

int32_t GetDriverInfo(const CallBlock *block) {
    DriverInfo *info = static_cast<DriverInfo *>(block->params);
    info->driverId = DRIVER_ID;
    info->description = DESCRIPTION;
    info->banner = BANNER.text;
    info->instanceSize = INSTANCE_SIZE;
    info->field16 = 1;
    info->field28 = 3;
    return RC_OK;
}
