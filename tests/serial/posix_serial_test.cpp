// The POSIX serial platform on its own: device names, the read timer of the
// timeouts, handles, and line states read from and refused by a terminal.
#include <gtest/gtest.h>

#include <errno.h>
#include <limits.h>

#include <cstring>
#include <string>

#include "serial/posix_serial.h"
#include "tests/serial/pty_pair.h"

namespace {

TEST(SerialDeviceName, NamesStandForTheirDevices) {
    struct Case {
        const char *name;
        const char *path;
    };
    const Case cases[] = {
        {"NUL", "/dev/null"},         {"nul", "/dev/null"},           {"COM1", "/dev/ttyS0"},
        {"com12", "/dev/ttyS11"},     {"COM256", "/dev/ttyS255"},     {"COM257", "/dev/COM257"},
        {"COM0", "/dev/COM0"},        {"COM01", "/dev/COM01"},        {"COM1x", "/dev/COM1x"},
        {"COM", "/dev/COM"},          {"\\\\.\\COM10", "/dev/ttyS9"}, {"\\\\.\\nul", "/dev/null"},
        {"/dev/pts/3", "/dev/pts/3"}, {"pts/3", "/dev/pts/3"},        {"ttyUSB0", "/dev/ttyUSB0"},
        {"./ttyX", "./ttyX"},         {"../ttyX", "../ttyX"},         {"NULL", "/dev/NULL"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        char path[PATH_MAX];
        ASSERT_TRUE(ResolveSerialDeviceName(c.name, path, sizeof path));
        EXPECT_STREQ(path, c.path);
    }
}

TEST(SerialDeviceName, EmptyAndOverlongNamesAreRefused) {
    char path[16];
    std::memset(path, 0x55, sizeof path);
    EXPECT_FALSE(ResolveSerialDeviceName("", path, sizeof path));
    EXPECT_FALSE(ResolveSerialDeviceName("\\\\.\\", path, sizeof path));
    EXPECT_FALSE(ResolveSerialDeviceName(nullptr, path, sizeof path));
    EXPECT_FALSE(ResolveSerialDeviceName("ttyUSB0123456", path, sizeof path)); // /dev/ makes it 18
    EXPECT_EQ(errno, ENAMETOOLONG);
    EXPECT_TRUE(ResolveSerialDeviceName("ttyUSB01", path, sizeof path));
    std::string overlong(PATH_MAX, 'x');
    char wide[PATH_MAX];
    EXPECT_EQ(SerialOpenDevice(overlong.c_str()), 0u);
    EXPECT_FALSE(ResolveSerialDeviceName(overlong.c_str(), wide, sizeof wide));
}

TEST(SerialReadTimer, TimeoutsBecomeTheTerminalsReadTimer) {
    struct Case {
        SerialTimeouts timeouts;
        uint8_t minimum;
        uint8_t tenths;
    };
    const Case cases[] = {
        {{0, 0, 1000, 0, 0}, 0, 10},        {{0, 0, 20000, 0, 0}, 0, 200},
        {{0, 0, 25500, 0, 0}, 0, 255},      {{0, 0, 25501, 0, 0}, 0, 255},
        {{0, 0, UINT32_MAX, 0, 0}, 0, 255}, {{0, 0, 1, 0, 0}, 0, 1},
        {{0, 0, 150, 0, 0}, 0, 2},          {{0, 0, 0, 0, 0}, 1, 0},
        {{250, 0, 0, 0, 0}, 1, 3},          {{UINT32_MAX, 0, 0, 0, 0}, 0, 0},
        {{UINT32_MAX, 0, 500, 9, 9}, 0, 5},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(::testing::Message()
                     << c.timeouts.ReadIntervalTimeout << "/" << c.timeouts.ReadTotalTimeoutConstant);
        ReadTimer timer = ReadTimerFor(c.timeouts);
        EXPECT_EQ(timer.minimum, c.minimum);
        EXPECT_EQ(timer.tenths, c.tenths);
    }
}

TEST(SerialHandles, ClosedAndUnknownHandlesAreRefused) {
    PtyPair pty;
    SerialHandle first = SerialOpenDevice(pty.path.c_str());
    ASSERT_NE(first, 0u);
    ASSERT_TRUE(SerialCloseDevice(first));
    SerialHandle second = SerialOpenDevice(pty.path.c_str());
    ASSERT_NE(second, 0u);
    EXPECT_NE(second, first) << "a reused entry gets a new handle";
    for (SerialHandle stale : {first, SerialHandle(0), second + 1, ~second}) {
        SCOPED_TRACE(stale);
        LineState line{};
        SerialTimeouts timeouts{};
        errno = 0;
        EXPECT_FALSE(SerialGetLineState(stale, &line));
        EXPECT_EQ(errno, EBADF);
        EXPECT_FALSE(SerialSetLineState(stale, &line));
        EXPECT_FALSE(SerialGetTimeouts(stale, &timeouts));
        EXPECT_FALSE(SerialSetTimeouts(stale, &timeouts));
        EXPECT_FALSE(SerialSetupBuffers(stale, 1200, 1200));
        EXPECT_FALSE(SerialCloseDevice(stale));
    }
    EXPECT_TRUE(SerialSetupBuffers(second, 1200, 1200));
    EXPECT_TRUE(pty.Exclusive()) << "the stale handles did not reach the open device";
    EXPECT_TRUE(SerialCloseDevice(second));
}

TEST(SerialLineState, ReadsTheLineAsItIs) {
    PtyPair pty;
    termios settings = pty.Settings();
    settings.c_cflag = (settings.c_cflag & ~CSIZE) | CS8 | CSTOPB | CRTSCTS;
    settings.c_iflag |= IXON | INPCK;
    settings.c_iflag &= ~IXOFF;
    settings.c_cc[VSTART] = 0x21;
    settings.c_cc[VSTOP] = 0x23;
    cfsetspeed(&settings, B19200);
    ASSERT_EQ(tcsetattr(pty.terminal, TCSANOW, &settings), 0);

    SerialHandle handle = SerialOpenDevice(pty.name.c_str());
    ASSERT_NE(handle, 0u);
    LineState line{};
    line.DCBlength = LINE_STATE_LENGTH;
    ASSERT_TRUE(SerialGetLineState(handle, &line));
    EXPECT_EQ(line.DCBlength, 28u);
    EXPECT_EQ(line.BaudRate, 19200u);
    EXPECT_EQ(line.ByteSize, 8u);
    EXPECT_EQ(line.StopBits, TWOSTOPBITS);
    EXPECT_EQ(line.Parity, NOPARITY);
    EXPECT_EQ(line.fRtsControl, RTS_CONTROL_HANDSHAKE);
    EXPECT_EQ(line.fOutxCtsFlow, 1u);
    EXPECT_EQ(line.fOutX, 1u);
    EXPECT_EQ(line.fInX, 0u);
    EXPECT_EQ(line.fParity, 1u);
    EXPECT_EQ(line.XonChar, 0x21);
    EXPECT_EQ(line.XoffChar, 0x23);

    // Applied unchanged, the line stays as it was.
    ASSERT_TRUE(SerialSetLineState(handle, &line));
    termios held = pty.Settings();
    EXPECT_EQ(cfgetospeed(&held), B19200);
    EXPECT_EQ(held.c_cflag & (CSIZE | CSTOPB | CRTSCTS | PARENB), tcflag_t(CS8 | CSTOPB | CRTSCTS));
    EXPECT_EQ(held.c_cc[VSTART], 0x21);
    EXPECT_NE(held.c_iflag & IXON, 0u);
    EXPECT_TRUE(SerialCloseDevice(handle));
}

// Features a terminal does not have are refused before the line changes.
TEST(SerialLineState, FeaturesWithoutATerminalCounterpartAreRefused) {
    PtyPair pty;
    SerialHandle handle = SerialOpenDevice(pty.name.c_str());
    ASSERT_NE(handle, 0u);
    LineState read{};
    ASSERT_TRUE(SerialGetLineState(handle, &read));
    read.BaudRate = 9600;
    read.ByteSize = 8;
    read.StopBits = ONESTOPBIT;
    read.Parity = NOPARITY;
    read.fRtsControl = RTS_CONTROL_DISABLE;
    ASSERT_TRUE(SerialSetLineState(handle, &read));
    struct Case {
        const char *what;
        void (*edit)(LineState *);
    };
    const Case cases[] = {
        {"DSR flow", [](LineState *l) { l->fOutxDsrFlow = 1; }},
        {"DSR sensitivity", [](LineState *l) { l->fDsrSensitivity = 1; }},
        {"error character", [](LineState *l) { l->fErrorChar = 1; }},
        {"discarding NUL bytes", [](LineState *l) { l->fNull = 1; }},
        {"abort on error", [](LineState *l) { l->fAbortOnError = 1; }},
        {"non-binary line", [](LineState *l) { l->fBinary = 0; }},
        {"DTR control 3", [](LineState *l) { l->fDtrControl = 3; }},
        {"rate 1234567", [](LineState *l) { l->BaudRate = 1234567; }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        LineState line = read;
        c.edit(&line);
        line.BaudRate = line.BaudRate == 9600 ? 38400 : line.BaudRate;
        errno = 0;
        EXPECT_FALSE(SerialSetLineState(handle, &line));
        EXPECT_EQ(errno, EINVAL);
        termios held = pty.Settings();
        EXPECT_EQ(cfgetospeed(&held), B9600) << "nothing was applied";
    }
    EXPECT_TRUE(SerialCloseDevice(handle));
}

} // namespace
