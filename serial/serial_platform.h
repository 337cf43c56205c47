// The serial device operations the port handlers build on: open an existing
// device for exclusive use, read and apply its line state, read and set its
// timeouts, ask for buffer sizes, close. A link seam: the shipped driver links
// the POSIX implementation, unit tests link a recording fake.
//
// Every operation but the open takes a handle the open gave; a handle that is
// 0, closed or unknown is refused with errno EBADF, never used.
#pragma once

#include <stdint.h>

typedef uint32_t SerialHandle; // 0 is no device

// Modem-line control of LineState.fDtrControl and fRtsControl.
enum {
    DTR_CONTROL_DISABLE = 0, // held off
    DTR_CONTROL_ENABLE = 1,  // held on
    DTR_CONTROL_HANDSHAKE = 2,
};
enum {
    RTS_CONTROL_DISABLE = 0, // held off
    RTS_CONTROL_ENABLE = 1,  // held on
    RTS_CONTROL_HANDSHAKE = 2,
    RTS_CONTROL_TOGGLE = 3, // raised while sending
};

// LineState.Parity and StopBits codes.
enum { NOPARITY = 0, ODDPARITY = 1, EVENPARITY = 2, MARKPARITY = 3, SPACEPARITY = 4 };
enum { ONESTOPBIT = 0, ONE5STOPBITS = 1, TWOSTOPBITS = 2 };

enum {
    LINE_STATE_LENGTH = 28,     // the length of the line control record a reader sets in DCBlength
    LINE_STATE_OTHER_WORDS = 16 // room for the platform's own record of the line
};

// The line's settings as a device control block: a fixed 28-byte record of
// the fields a caller edits, followed by what the platform read of the line
// that the record does not show. An apply changes only what the record says
// and keeps the rest as it was read, so read, edit, apply is the way to set a
// line.
typedef struct LineState {
    uint32_t DCBlength;
    uint32_t BaudRate; // bits per second
    uint32_t fBinary : 1;
    uint32_t fParity : 1; // check the parity of received bytes
    uint32_t fOutxCtsFlow : 1;
    uint32_t fOutxDsrFlow : 1;
    uint32_t fDtrControl : 2;
    uint32_t fDsrSensitivity : 1;
    uint32_t fTXContinueOnXoff : 1;
    uint32_t fOutX : 1;
    uint32_t fInX : 1;
    uint32_t fErrorChar : 1;
    uint32_t fNull : 1;
    uint32_t fRtsControl : 2;
    uint32_t fAbortOnError : 1;
    uint32_t fDummy2 : 17;
    uint16_t wReserved;
    uint16_t XonLim;
    uint16_t XoffLim;
    uint8_t ByteSize; // data bits
    uint8_t Parity;
    uint8_t StopBits;
    uint8_t XonChar;
    uint8_t XoffChar;
    uint8_t ErrorChar;
    uint8_t EofChar;
    uint8_t EvtChar;
    uint16_t wReserved1;
    uint32_t other[LINE_STATE_OTHER_WORDS]; // opaque: only the platform reads it
} LineState;

// Read and write timeouts in milliseconds.
typedef struct SerialTimeouts {
    uint32_t ReadIntervalTimeout;
    uint32_t ReadTotalTimeoutMultiplier;
    uint32_t ReadTotalTimeoutConstant;
    uint32_t WriteTotalTimeoutMultiplier;
    uint32_t WriteTotalTimeoutConstant;
} SerialTimeouts;

// Opens the existing device of that name for exclusive reading and writing.
// Returns 0 with errno set when it does not exist or is held elsewhere.
SerialHandle SerialOpenDevice(const char *name);

// Reads the line's current settings; the caller sets DCBlength first.
bool SerialGetLineState(SerialHandle handle, LineState *line);

// Applies the settings; fails when the line cannot take one of them.
bool SerialSetLineState(SerialHandle handle, const LineState *line);

bool SerialGetTimeouts(SerialHandle handle, SerialTimeouts *timeouts);
bool SerialSetTimeouts(SerialHandle handle, const SerialTimeouts *timeouts);

// Asks for input and output buffers of these sizes in bytes.
bool SerialSetupBuffers(SerialHandle handle, uint32_t inputSize, uint32_t outputSize);

// Closes the device. After a failure the handle stays valid for a retry.
bool SerialCloseDevice(SerialHandle handle);
