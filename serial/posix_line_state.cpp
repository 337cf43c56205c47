// The line state of a terminal device: the control record read from and
// applied to termios, the modem lines and the kernel's RS-485 mode.
#include <errno.h>
#include <linux/serial.h>
#include <string.h>
#include <sys/ioctl.h>
#include <termios.h>

#include "serial/posix_serial.h"

static_assert(sizeof(termios) <= sizeof(LineState::other), "the line as read must fit the record");
static_assert(offsetof(LineState, BaudRate) == 4 && offsetof(LineState, wReserved) == 12 &&
                  offsetof(LineState, XonLim) == 14 && offsetof(LineState, XoffLim) == 16 &&
                  offsetof(LineState, ByteSize) == 18 && offsetof(LineState, Parity) == 19 &&
                  offsetof(LineState, StopBits) == 20 && offsetof(LineState, XonChar) == 21 &&
                  offsetof(LineState, EvtChar) == 25 && offsetof(LineState, wReserved1) == 26 &&
                  offsetof(LineState, other) == LINE_STATE_LENGTH,
              "the control record is 28 bytes in its fixed layout");

namespace {

struct Rate {
    uint32_t bitsPerSecond;
    speed_t speed;
};

constexpr Rate RATES[] = {
    {50, B50},           {75, B75},           {110, B110},         {134, B134},         {150, B150},
    {200, B200},         {300, B300},         {600, B600},         {1200, B1200},       {1800, B1800},
    {2400, B2400},       {4800, B4800},       {9600, B9600},       {19200, B19200},     {38400, B38400},
    {57600, B57600},     {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
    {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000}, {1500000, B1500000},
    {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000}, {3500000, B3500000}, {4000000, B4000000},
};

struct ByteSize {
    uint8_t bits;
    tcflag_t flag;
};

constexpr ByteSize BYTE_SIZES[] = {{5, CS5}, {6, CS6}, {7, CS7}, {8, CS8}};

struct ParityFlags {
    uint8_t code;
    tcflag_t flags;
};

constexpr ParityFlags PARITIES[] = {
    {NOPARITY, 0},
    {ODDPARITY, PARENB | PARODD},
    {EVENPARITY, PARENB},
    {MARKPARITY, PARENB | CMSPAR | PARODD},
    {SPACEPARITY, PARENB | CMSPAR},
};

// A UART sends one and a half stop bits for a five-bit byte where it sends
// two for longer ones, so the code and the byte size choose CSTOPB together;
// one and a half with longer bytes and two with five-bit bytes are refused.
struct StopBits {
    uint8_t code;
    bool fiveBitBytes;
    tcflag_t flag;
};

constexpr StopBits STOP_BITS[] = {
    {ONESTOPBIT, false, 0},
    {ONESTOPBIT, true, 0},
    {ONE5STOPBITS, true, CSTOPB},
    {TWOSTOPBITS, false, CSTOPB},
};

constexpr tcflag_t FRAME_FLAGS = CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS;

// What the kernel does to a modem line: hold it off, hold it on, or leave it
// to the kernel's own handshake.
enum Hold : int8_t { HOLD_OFF, HOLD_ON, KERNEL_CONTROLS };

// Linux has no DTR handshake: DTR is held on, as a terminal that is ready.
constexpr Hold DTR_HOLDS[] = {HOLD_OFF, HOLD_ON, HOLD_ON};
constexpr Hold RTS_HOLDS[] = {HOLD_OFF, HOLD_ON, KERNEL_CONTROLS, KERNEL_CONTROLS};

template <typename Entry, size_t N, typename Match> const Entry *Find(const Entry (&table)[N], Match match) {
    for (const Entry &entry : table) {
        if (match(entry)) {
            return &entry;
        }
    }
    return nullptr;
}

struct Frame {
    speed_t speed;
    tcflag_t flags;
};

// The frame the record asks for, or false when the line has no such frame.
bool FrameOf(const LineState &line, Frame *frame) {
    const Rate *rate = Find(RATES, [&](const Rate &r) { return r.bitsPerSecond == line.BaudRate; });
    const ByteSize *size = Find(BYTE_SIZES, [&](const ByteSize &s) { return s.bits == line.ByteSize; });
    const ParityFlags *parity = Find(PARITIES, [&](const ParityFlags &p) { return p.code == line.Parity; });
    const StopBits *stop = Find(STOP_BITS, [&](const StopBits &s) {
        return s.code == line.StopBits && s.fiveBitBytes == (line.ByteSize == 5);
    });
    if (rate == nullptr || size == nullptr || parity == nullptr || stop == nullptr) {
        return false;
    }
    bool ctsFlow = line.fOutxCtsFlow != 0 || line.fRtsControl == RTS_CONTROL_HANDSHAKE;
    frame->speed = rate->speed;
    frame->flags = size->flag | parity->flags | stop->flag | (ctsFlow ? CRTSCTS : 0);
    return true;
}

// Features a terminal does not have may only be asked for as off; a device
// is always a binary line.
bool Supported(const LineState &line) {
    return line.fBinary == 1 && line.fOutxDsrFlow == 0 && line.fDsrSensitivity == 0 && line.fErrorChar == 0 &&
           line.fNull == 0 && line.fAbortOnError == 0 && line.fDtrControl <= DTR_CONTROL_HANDSHAKE;
}

// RTS raised while sending is the kernel's RS-485 mode; a device without it
// cannot toggle RTS. Any other control takes the mode off where it was on.
bool SetSendToggle(int fd, bool toggle) {
    serial_rs485 mode;
    memset(&mode, 0, sizeof mode);
    bool hasMode = ioctl(fd, TIOCGRS485, &mode) == 0;
    if (!toggle) {
        if (!hasMode || (mode.flags & SER_RS485_ENABLED) == 0) {
            return true;
        }
        mode.flags &= ~SER_RS485_ENABLED;
    } else {
        if (!hasMode) {
            return false;
        }
        mode.flags |= SER_RS485_ENABLED | SER_RS485_RTS_ON_SEND;
        mode.flags &= ~SER_RS485_RTS_AFTER_SEND;
    }
    return ioctl(fd, TIOCSRS485, &mode) == 0;
}

// A device without modem control lines, such as a pseudo-terminal, has
// nothing to hold.
bool HoldModemLine(int fd, int line, Hold hold) {
    if (hold == KERNEL_CONTROLS) {
        return true;
    }
    int bits = line;
    if (ioctl(fd, hold == HOLD_ON ? TIOCMBIS : TIOCMBIC, &bits) == 0) {
        return true;
    }
    return errno == ENOTTY || errno == EINVAL;
}

// Raw bytes both ways, no carrier needed, reads on; the flow control and
// parity check as the record says.
void EditTermios(termios *terminal, const LineState &line, const Frame &frame, ReadTimer timer) {
    terminal->c_iflag &= ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF | IXANY | INPCK);
    terminal->c_iflag |= (line.fParity ? INPCK : 0) | (line.fOutX ? IXON : 0) | (line.fInX ? IXOFF : 0);
    terminal->c_oflag &= ~OPOST;
    terminal->c_lflag &= ~(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    terminal->c_cflag = (terminal->c_cflag & ~FRAME_FLAGS) | frame.flags | CLOCAL | CREAD;
    terminal->c_cc[VSTART] = line.XonChar;
    terminal->c_cc[VSTOP] = line.XoffChar;
    terminal->c_cc[VEOF] = line.EofChar;
    terminal->c_cc[VMIN] = timer.minimum;
    terminal->c_cc[VTIME] = timer.tenths;
    cfsetispeed(terminal, frame.speed);
    cfsetospeed(terminal, frame.speed);
}

// A driver may take a frame it cannot send and substitute its own; the line
// counts as set only when it reads back as asked.
bool TookFrame(int fd, const Frame &frame) {
    termios applied;
    if (tcgetattr(fd, &applied) != 0) {
        return false;
    }
    if ((applied.c_cflag & FRAME_FLAGS) != frame.flags || cfgetospeed(&applied) != frame.speed) {
        errno = EINVAL;
        return false;
    }
    return true;
}

uint32_t RateOf(speed_t speed) {
    const Rate *rate = Find(RATES, [&](const Rate &r) { return r.speed == speed; });
    return rate != nullptr ? rate->bitsPerSecond : 0;
}

uint8_t ByteSizeOf(tcflag_t flags) {
    const ByteSize *size = Find(BYTE_SIZES, [&](const ByteSize &s) { return s.flag == (flags & CSIZE); });
    return size != nullptr ? size->bits : 8;
}

uint8_t ParityOf(tcflag_t flags) {
    tcflag_t parity = (flags & PARENB) != 0 ? flags & (PARENB | PARODD | CMSPAR) : 0;
    const ParityFlags *found = Find(PARITIES, [&](const ParityFlags &p) { return p.flags == parity; });
    return found != nullptr ? found->code : static_cast<uint8_t>(NOPARITY);
}

uint8_t RtsControlOf(int fd, tcflag_t flags, int modemLines) {
    serial_rs485 mode;
    memset(&mode, 0, sizeof mode);
    if (ioctl(fd, TIOCGRS485, &mode) == 0 && (mode.flags & SER_RS485_ENABLED) != 0) {
        return RTS_CONTROL_TOGGLE;
    }
    if ((flags & CRTSCTS) != 0) {
        return RTS_CONTROL_HANDSHAKE;
    }
    return (modemLines & TIOCM_RTS) != 0 ? RTS_CONTROL_ENABLE : RTS_CONTROL_DISABLE;
}

void DescribeLine(int fd, const termios &terminal, LineState *line) {
    int modemLines = 0;
    if (ioctl(fd, TIOCMGET, &modemLines) != 0) {
        modemLines = 0;
    }
    line->DCBlength = LINE_STATE_LENGTH;
    line->BaudRate = RateOf(cfgetospeed(&terminal));
    line->fBinary = 1;
    line->fParity = (terminal.c_iflag & INPCK) != 0;
    line->fOutxCtsFlow = (terminal.c_cflag & CRTSCTS) != 0;
    line->fDtrControl = (modemLines & TIOCM_DTR) != 0 ? DTR_CONTROL_ENABLE : DTR_CONTROL_DISABLE;
    line->fOutX = (terminal.c_iflag & IXON) != 0;
    line->fInX = (terminal.c_iflag & IXOFF) != 0;
    line->fRtsControl = RtsControlOf(fd, terminal.c_cflag, modemLines);
    line->ByteSize = ByteSizeOf(terminal.c_cflag);
    line->Parity = ParityOf(terminal.c_cflag);
    bool stopFlag = (terminal.c_cflag & CSTOPB) != 0;
    line->StopBits = !stopFlag ? ONESTOPBIT : line->ByteSize == 5 ? ONE5STOPBITS : TWOSTOPBITS;
    line->XonChar = terminal.c_cc[VSTART];
    line->XoffChar = terminal.c_cc[VSTOP];
    line->EofChar = terminal.c_cc[VEOF];
}

} // namespace

bool SerialGetLineState(SerialHandle handle, LineState *line) {
    const SerialDevice *device = FindSerialDevice(handle);
    if (device == nullptr) {
        return false;
    }
    termios terminal;
    if (tcgetattr(device->fd, &terminal) != 0) {
        return false;
    }
    memset(line, 0, sizeof *line);
    DescribeLine(device->fd, terminal, line);
    memcpy(line->other, &terminal, sizeof terminal);
    return true;
}

bool SerialSetLineState(SerialHandle handle, const LineState *line) {
    const SerialDevice *device = FindSerialDevice(handle);
    if (device == nullptr) {
        return false;
    }
    Frame frame;
    if (!Supported(*line) || !FrameOf(*line, &frame)) {
        errno = EINVAL;
        return false;
    }
    if (!SetSendToggle(device->fd, line->fRtsControl == RTS_CONTROL_TOGGLE)) {
        return false;
    }
    termios terminal;
    memcpy(&terminal, line->other, sizeof terminal);
    EditTermios(&terminal, *line, frame, ReadTimerFor(device->timeouts));
    if (tcsetattr(device->fd, TCSANOW, &terminal) != 0 || !TookFrame(device->fd, frame)) {
        return false;
    }
    return HoldModemLine(device->fd, TIOCM_DTR, DTR_HOLDS[line->fDtrControl]) &&
           HoldModemLine(device->fd, TIOCM_RTS, RTS_HOLDS[line->fRtsControl]);
}
