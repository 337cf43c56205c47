// Exit codes of kelomr, for scripts. The first three follow the driver's
// result codes of the worst item; the others follow sysexits.h.
#pragma once

namespace kelomr {

enum ExitCode : int {
    EXIT_ALL_GOOD = 0,
    EXIT_ITEM_ERROR = 1,   // some item got RC_ITEM_ERROR (a refused tag included)
    EXIT_LINK_ERROR = 2,   // some item got RC_LINK_ERROR
    EXIT_USAGE = 64,       // bad option or argument
    EXIT_BAD_VALUE = 65,   // a value to write does not fit its tag; nothing was sent
    EXIT_UNAVAILABLE = 69, // the driver or finsim could not be loaded or started
    EXIT_SOFTWARE = 70,    // the driver behaved in a way no host can work with; no demo folder
};

// Exit code for a driver result code; unknown results count as link errors.
int ExitForResult(int resultCode);

// The more severe of two item exit codes (0, 1, 2).
inline int WorseExit(int a, int b) {
    return a > b ? a : b;
}

} // namespace kelomr
