#include "address/address_text.h"

char addressBuffer[ADDRESS_LENGTH];

namespace {

bool IsWhiteSpace(char character) {
    return character == ' ' || (character >= '\t' && character <= '\r');
}

// A class string's terminator is no member, so a NUL never passes.
bool OccursIn(const char *characterClass, char character) {
    for (const char *member = characterClass; *member != '\0'; ++member) {
        if (*member == character) {
            return true;
        }
    }
    return false;
}

} // namespace

char FoldToUpper(char character) {
    return character >= 'a' && character <= 'z' ? static_cast<char>(character - 'a' + 'A') : character;
}

bool LoadAddressText(const char *text) {
    int length = 0;
    if (text != nullptr) {
        while (length < ADDRESS_LENGTH && text[length] != '\0') {
            addressBuffer[length] = FoldToUpper(text[length]);
            ++length;
        }
    }
    for (int position = length; position < ADDRESS_LENGTH; ++position) {
        addressBuffer[position] = ' ';
    }
    // text[ADDRESS_LENGTH] is read only when the twelve before it are no
    // terminator, so it still lies within the host's text.
    return text != nullptr && (length < ADDRESS_LENGTH || text[ADDRESS_LENGTH] == '\0');
}

bool MatchAddressTemplate(const char *const classTable[ADDRESS_LENGTH]) {
    for (int position = 0; position < ADDRESS_LENGTH; ++position) {
        if (!OccursIn(classTable[position], addressBuffer[position])) {
            return false;
        }
    }
    return true;
}

bool ScanNumber(int position, int width, int32_t *value) {
    int at = position;
    while (at < ADDRESS_LENGTH && IsWhiteSpace(addressBuffer[at])) {
        ++at;
    }
    int32_t number = 0;
    int digits = 0;
    while (at < ADDRESS_LENGTH && digits < width && IsDecimalDigit(addressBuffer[at])) {
        number = number * 10 + (addressBuffer[at] - '0');
        ++at;
        ++digits;
    }
    if (digits == 0) {
        return false;
    }
    *value = number;
    return true;
}
