#include "address/address_tables.h"

const char *const ADDRESS_TEMPLATE[ADDRESS_LENGTH] = {
    "0123456789",             // station
    "0123456789",             //
    "IHLADTE",                // area
    "RCOMSV0123456789ABCDEF", //
    "0123456789",             // word address
    "0123456789",             //
    "0123456789",             //
    "0123456789",             //
    "0123456789",             //
    "01FBS ",                 // suffix
    "0123456789 ",            // bit units digit or text length
    "0123456789 ",            // text length
};

const char AREA_NAMES[AREA_NAME_COUNT][3] = {
    "  ", "DM", "IR", "LR", "HR", "AR", "IO", "TS", "TV", "EM", "E0", "E1", "E2",
    "E3", "E4", "E5", "E6", "E7", "E8", "E9", "EA", "EB", "EC", "ED", "EE", "EF",
};
