// FINS memory area codes and word offsets of the controller families, indexed
// by the area index of a TagAddress (1 to 25; index 0 names no area).
#pragma once

#include <stdint.h>

enum {
    AREA_COUNT = 26,
    AREA_FIRST = 1,
    AREA_LAST = 25,
    AREA_LR = 3,
    AREA_HR = 4,
    AREA_AR = 5,
    AREA_TS = 7,
};

// Stations without the CS1 flag: CV-mode codes.
extern const uint8_t AREA_CODES_CLASSIC[AREA_COUNT];
// CS1-series stations.
extern const uint8_t AREA_CODES_CS1[AREA_COUNT];

// Added to the word address: LR, HR and AR live inside the CIO area of a
// classic controller; on a CS1 station only LR keeps its CIO offset.
extern const uint16_t AREA_WORD_OFFSETS_CLASSIC[AREA_COUNT];
extern const uint16_t AREA_WORD_OFFSETS_CS1[AREA_COUNT];
