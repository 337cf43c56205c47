// A pseudo-terminal pair for the serial tests: the driver opens the
// terminal side by name, the test reads back its settings through its own
// descriptor.
#pragma once

#include <termios.h>

#include <string>

struct PtyPair {
    PtyPair();
    ~PtyPair();
    PtyPair(const PtyPair &) = delete;
    PtyPair &operator=(const PtyPair &) = delete;

    termios Settings() const;
    // Puts the terminal in a cooked, echoing state with software flow control,
    // so a raw line afterwards is the driver's doing.
    void Dirty() const;
    // Whether this kernel's pseudo-terminals keep the frame flags as set.
    bool Keeps(tcflag_t frameFlags) const;
    bool Exclusive() const;

    int master = -1;
    int terminal = -1;
    std::string path; // /dev/pts/N
    std::string name; // the name the driver is given, at most 11 characters
};

// Descriptors this process has open.
int OpenDescriptorCount();
