#include "config/station_file.h"

#include <stdio.h>
#include <string.h>

#include "driver/log.h"

namespace {

// A last line without a line feed counts only when it keeps this many.
constexpr int UNTERMINATED_LINE_MINIMUM = 10;
constexpr int ADDRESS_TEXT_LIMIT = STATION_ADDRESS_SIZE - 1; // keeps its terminator

bool IsKept(int character) {
    return static_cast<signed char>(character) > 32;
}

void UpperCaseInPlace(char *text) {
    for (; *text != '\0'; ++text) {
        if (*text >= 'a' && *text <= 'z') {
            *text = static_cast<char>(*text - 'a' + 'A');
        }
    }
}

// The station number of a line: the first two characters taken as digits,
// whatever they are, kept to 8 bits.
int StationNumberOf(const char *line) {
    int value = (line[0] - 48) * 10 + (line[1] - 48);
    return static_cast<int>(static_cast<unsigned>(value) & 0xFFu);
}

// The text fills the entry from its start; the rest of the entry is zeroed.
void StoreAddress(InstanceData *instance, int station, const char *text) {
    char *entry = instance->stationAddress[station];
    size_t length = strnlen(text, STATION_ADDRESS_SIZE);
    memset(entry, 0, STATION_ADDRESS_SIZE);
    memcpy(entry, text, length);
}

} // namespace

bool ReadConfigLine(FILE *file, char *buffer) {
    int kept = 0;
    int last = EOF;
    while (last != '\n') {
        last = fgetc(file);
        if (last == EOF) {
            if (kept < UNTERMINATED_LINE_MINIMUM) {
                return false;
            }
            break;
        }
        // Characters beyond the line's room are dropped; the line stays
        // whole up to its line feed, so the next line starts in step.
        if (IsKept(last) && kept < CONFIG_LINE_CAPACITY) {
            buffer[kept++] = static_cast<char>(last);
        }
    }
    buffer[kept] = '\0';
    return true;
}

bool ReadIntFile(InstanceData *instance, int32_t instanceNumber) {
    char name[32];
    snprintf(name, sizeof name, "kelOMR%.2d.int", instanceNumber);
    FILE *file = fopen(name, "r");
    if (file == nullptr) {
        err(LOG_DRIVER, "KelOMR: File KelOMRnn.int not found !");
        return false;
    }
    bool stored = false;
    char line[CONFIG_LINE_CAPACITY + 1];
    for (;;) {
        memset(line, 0, sizeof line);
        if (!ReadConfigLine(file, line)) {
            break;
        }
        if (line[0] == '\0') {
            continue;
        }
        int station = StationNumberOf(line);
        if (station == 0 || station > STATION_LAST) {
            err(LOG_DRIVER, "KelOMR: Illegat Plc Address (valid 01..99)");
            continue;
        }
        char *text = strlen(line) >= 3 ? line + 3 : line + strlen(line);
        UpperCaseInPlace(text);
        if (strcmp(text, "CS1") == 0) {
            err(LOG_DRIVER, "KELOMR: ReadIntFile() Station #%0d defined as CS1 PLC", station);
            instance->isCs1[station] = 1;
            continue;
        }
        // An entry of 16 characters would have no terminator for the
        // gateway and the command composition to stop at: such a line is
        // refused and the station keeps what it had.
        if (strlen(text) > static_cast<size_t>(ADDRESS_TEXT_LIMIT)) {
            err(LOG_DRIVER,
                "KELOMR: ReadIntFile() Station #%0d Network/Node/Unit Address ' %s ' is too long (at most %d "
                "characters), line ignored",
                station, text, ADDRESS_TEXT_LIMIT);
            continue;
        }
        err(LOG_DRIVER, "KELOMR: ReadIntFile() Station #%0d Network/Node/Unit Address is ' %s '", station, text);
        StoreAddress(instance, station, text);
        stored = true;
    }
    fclose(file);
    return stored;
}
