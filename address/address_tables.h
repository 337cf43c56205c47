// The fixed layout of a tag address text: twelve positions, each with the
// characters it admits, and the area names positions 2 and 3 spell.
#pragma once

#include <stdint.h>

enum {
    ADDRESS_LENGTH = 12,  // positions 0 to 11; a shorter text is filled with spaces
    STATION_POSITION = 0, // two digits
    AREA_POSITION = 2,    // two characters, one of AREA_NAMES
    WORD_POSITION = 4,    // five digits
    SUFFIX_POSITION = 9,  // bit tens digit, F, B, S or a space
    TEXT_LENGTH_POSITION = 10,
    STATION_WIDTH = 2,
    WORD_WIDTH = 5,
    BIT_WIDTH = 2,
    TEXT_LENGTH_WIDTH = 2,
};

enum {
    AREA_NAME_COUNT = 26, // index 0 stands for no area and never matches
    AREA_DM = 1,          // the only area of 32-bit items
};

// One class string per position: a character passes where it occurs in it.
extern const char *const ADDRESS_TEMPLATE[ADDRESS_LENGTH];

// Indexed by the area index of TagAddress.areaFlags; the FINS area codes
// follow the same order, so it must not change.
extern const char AREA_NAMES[AREA_NAME_COUNT][3];
