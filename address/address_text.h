// The process-wide working copy of the address text under check, and the
// routines that read it. The copy has exactly ADDRESS_LENGTH characters and
// no terminator; nothing here reads beyond it.
#pragma once

#include <stdint.h>

#include "address/address_tables.h"

extern char addressBuffer[ADDRESS_LENGTH];

char FoldToUpper(char character);

inline bool IsDecimalDigit(char character) {
    return character >= '0' && character <= '9';
}

// Copies text, folded to upper case, into addressBuffer and fills the rest
// with spaces. False when text is null or longer than ADDRESS_LENGTH: such a
// text is no address, and its excess is neither copied nor read further.
bool LoadAddressText(const char *text);

// True when every character of addressBuffer occurs in its position's class.
bool MatchAddressTemplate(const char *const classTable[ADDRESS_LENGTH]);

// Decimal conversion from a position: skips white space, then takes at most
// width digits. Stores the number and returns true when a digit was found;
// otherwise leaves *value alone.
bool ScanNumber(int position, int width, int32_t *value);
