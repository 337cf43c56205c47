// The port functions through KelMain on real pseudo-terminals: what the host
// asked for is what the terminal holds afterwards, and an open device is held
// exclusively until it is closed.
#include <gtest/gtest.h>

#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstring>
#include <memory>

#include "driver/call_blocks.h"
#include "serial/serial_platform.h"
#include "tests/serial/pty_pair.h"

namespace {

constexpr tcflag_t FRAME = CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS;

struct Port {
    Port() : instance(new InstanceData()) {}
    int32_t Call(int32_t function, void *params = nullptr) {
        CallBlock block{instance.get(), function, 1, 0, params};
        return KelMain(&block);
    }
    int32_t Open(const std::string &name, const SerialSettings &settings, uint16_t handshake = 0) {
        std::strncpy(instance->portName, name.c_str(), PORT_NAME_SIZE - 1);
        instance->portSettings = settings;
        instance->handshake = handshake;
        return Call(FN_OPEN_PORT);
    }
    ~Port() { Call(FN_CLOSE_PORT); }
    std::unique_ptr<InstanceData> instance;
};

class PtyPortTest : public ::testing::Test {
  protected:
    PtyPair pty;
    Port port;
};

// Either way of keeping another program out: TIOCEXCL refuses its open, or,
// for root, the lock is taken.
void ExpectHeldElsewhere(const std::string &path) {
    int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        EXPECT_EQ(errno, EBUSY);
        return;
    }
    EXPECT_NE(flock(fd, LOCK_EX | LOCK_NB), 0) << "another holder gets the lock";
    EXPECT_EQ(errno, EWOULDBLOCK);
    close(fd);
}

void ExpectFree(const PtyPair &pty) {
    EXPECT_FALSE(pty.Exclusive());
    int fd = open(pty.path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(fd, 0) << strerror(errno);
    EXPECT_EQ(flock(fd, LOCK_EX | LOCK_NB), 0);
    close(fd);
}

TEST_F(PtyPortTest, TheTerminalHoldsTheSettingsTheHostAskedFor) {
    struct Case {
        SerialSettings settings;
        uint16_t handshake;
        speed_t speed;
        tcflag_t frame;
    };
    const Case cases[] = {
        {{9600, 8, 0, 0, 0, 0, 0}, 0x0000, B9600, CS8},
        {{57600, 8, 0, 2, 0, 0, 0}, 0x1000, B57600, CS8 | CSTOPB | CRTSCTS},
        {{50, 8, 0, 0, 0, 0, 0}, 0x9000, B50, CS8 | CRTSCTS},
        {{300, 8, 0, 0, 0, 0, 0}, 0x0303, B300, CS8},
        {{38400, 7, 0, 0, 0, 2, 0}, 0x0000, B38400, CS7 | PARENB},
        {{1200, 7, 0, 2, 0, 1, 0}, 0x0000, B1200, CS7 | PARENB | PARODD | CSTOPB},
        {{2400, 8, 0, 0, 0, 3, 0}, 0x0000, B2400, CS8 | PARENB | PARODD | CMSPAR},
        {{4800, 8, 0, 0, 0, 4, 0}, 0x0000, B4800, CS8 | PARENB | CMSPAR},
        {{19200, 5, 0, 1, 0, 0, 0}, 0x0000, B19200, CS5 | CSTOPB},
        {{600, 6, 0, 0, 0, 0, 0}, 0x0000, B600, CS6},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(::testing::Message() << c.settings.baudRate << " baud, " << int(c.settings.dataBits) << " bits");
        pty.Dirty();
        // Pseudo-terminals of some kernels hold every byte at 8 bits without
        // parity: there such a frame must be refused, not taken half.
        if (!pty.Keeps(c.frame & ~CRTSCTS)) {
            EXPECT_EQ(port.Open(pty.name, c.settings, c.handshake), RC_LINK_ERROR);
            EXPECT_EQ(port.instance->portHandle, 0u);
            ExpectFree(pty);
            continue;
        }
        ASSERT_EQ(port.Open(pty.name, c.settings, c.handshake), RC_OK);
        termios held = pty.Settings();
        EXPECT_EQ(cfgetospeed(&held), c.speed);
        EXPECT_EQ(cfgetispeed(&held), c.speed);
        EXPECT_EQ(held.c_cflag & FRAME, c.frame);
        EXPECT_EQ(held.c_cflag & (CLOCAL | CREAD), tcflag_t(CLOCAL | CREAD));
        EXPECT_EQ(held.c_lflag & (ICANON | ECHO | ISIG), 0u) << "a raw line";
        EXPECT_EQ(held.c_oflag & OPOST, 0u);
        EXPECT_EQ(held.c_iflag & (IXON | IXOFF | ICRNL), 0u);
        EXPECT_NE(held.c_iflag & INPCK, 0u);
        EXPECT_EQ(held.c_cc[VMIN], 0);
        EXPECT_EQ(held.c_cc[VTIME], 10) << "the one second read time-out of the open";
        EXPECT_EQ(port.Call(FN_CLOSE_PORT), RC_OK);
    }
}

// Each refusal leaves no device open and the terminal as it was.
TEST_F(PtyPortTest, SettingsTheLineCannotTakeFailTheOpen) {
    struct Case {
        const char *what;
        SerialSettings settings;
        uint16_t handshake;
    };
    const Case cases[] = {
        {"rate outside the table", {12345, 8, 0, 0, 0, 0, 0}, 0},
        {"rate 14400", {14400, 8, 0, 0, 0, 0, 0}, 0},
        {"rate 0", {0, 8, 0, 0, 0, 0, 0}, 0},
        {"4 data bits", {9600, 4, 0, 0, 0, 0, 0}, 0},
        {"9 data bits", {9600, 9, 0, 0, 0, 0, 0}, 0},
        {"parity code 5", {9600, 8, 0, 0, 0, 5, 0}, 0},
        {"stop code 3", {9600, 8, 0, 3, 0, 0, 0}, 0},
        {"1.5 stop bits of 8-bit bytes", {9600, 8, 0, 1, 0, 0, 0}, 0},
        {"2 stop bits of 5-bit bytes", {9600, 5, 0, 2, 0, 0, 0}, 0},
        {"RTS toggle without RS-485", {9600, 8, 0, 0, 0, 0, 0}, 0x2000},
    };
    const SerialSettings good = {9600, 8, 0, 0, 0, 0, 0};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        pty.Dirty();
        termios before = pty.Settings();
        int descriptors = OpenDescriptorCount();
        EXPECT_EQ(port.Open(pty.name, c.settings, c.handshake), RC_LINK_ERROR);
        EXPECT_EQ(port.instance->portHandle, 0u);
        EXPECT_EQ(OpenDescriptorCount(), descriptors);
        termios after = pty.Settings();
        EXPECT_EQ(after.c_cflag & FRAME, before.c_cflag & FRAME);
        EXPECT_EQ(cfgetospeed(&after), cfgetospeed(&before));
        ExpectFree(pty);
        ASSERT_EQ(port.Open(pty.name, good), RC_OK) << "the device is free for the next open";
        EXPECT_EQ(port.Call(FN_CLOSE_PORT), RC_OK);
    }
}

TEST_F(PtyPortTest, AnOpenDeviceIsHeldUntilItIsClosed) {
    const SerialSettings settings = {9600, 8, 0, 0, 0, 0, 0};
    ASSERT_EQ(port.Open(pty.name, settings), RC_OK);
    EXPECT_TRUE(pty.Exclusive());
    ExpectHeldElsewhere(pty.path);
    Port other;
    EXPECT_EQ(other.Open(pty.path, settings), RC_LINK_ERROR) << "the same device under its other name";
    EXPECT_EQ(other.instance->portHandle, 0u);

    EXPECT_EQ(port.Call(FN_CLOSE_PORT), RC_OK);
    ExpectFree(pty);
    EXPECT_EQ(other.Open(pty.path, settings), RC_OK);
    ExpectHeldElsewhere(pty.path);
}

TEST_F(PtyPortTest, SetPortToTheOpenDeviceKeepsItOpen) {
    const SerialSettings settings = {9600, 8, 0, 0, 0, 0, 0};
    ASSERT_EQ(port.Open(pty.name, settings), RC_OK);
    uint32_t handle = port.instance->portHandle;
    PortParams params{};
    std::strcpy(params.portName, pty.name.c_str());
    params.settings = {19200, 8, 0, 0, 0, 0, 0};
    EXPECT_EQ(port.Call(FN_SET_PORT, &params), RC_LINK_ERROR);
    EXPECT_EQ(port.instance->portHandle, handle);
    EXPECT_TRUE(pty.Exclusive());
    EXPECT_EQ(port.Call(FN_CLOSE_PORT), RC_OK);
    ExpectFree(pty);
}

// The read time-out of the open is a second; after a set it is ten times the
// receive time-out, on the terminal's timer of at most 25.5 seconds.
TEST_F(PtyPortTest, TheReadTimeoutReachesTheTerminal) {
    struct Case {
        int32_t receiveTimeout;
        cc_t tenths;
    };
    const Case cases[] = {{2000, 200}, {100, 10}, {1001, 101}, {3000, 255}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.receiveTimeout);
        port.instance->receiveTimeout = c.receiveTimeout;
        PortParams params{};
        std::strcpy(params.portName, pty.name.c_str());
        params.settings = {9600, 8, 0, 0, 0, 0, 0};
        ASSERT_EQ(port.Call(FN_SET_PORT, &params), RC_OK);
        termios held = pty.Settings();
        EXPECT_EQ(held.c_cc[VMIN], 0);
        EXPECT_EQ(held.c_cc[VTIME], c.tenths);
        SerialTimeouts kept{};
        ASSERT_TRUE(SerialGetTimeouts(port.instance->portHandle, &kept));
        EXPECT_EQ(kept.ReadTotalTimeoutConstant, uint32_t(c.receiveTimeout) * 10);
        EXPECT_EQ(port.Call(FN_CLOSE_PORT), RC_OK);
    }
}

TEST_F(PtyPortTest, DeviceNames) {
    struct Case {
        std::string name;
        int32_t result;
    };
    const Case cases[] = {
        {pty.name, RC_OK},
        {pty.path.substr(5), RC_OK}, // pts/N under /dev/
        {"NUL", RC_OK},              // the null device, no line to set up
        {"nul", RC_LINK_ERROR},      // the null device has no line to read
        {"/dev/null", RC_LINK_ERROR},
        {"kelomr-none", RC_LINK_ERROR}, // no such device
        {"/tmp", RC_LINK_ERROR},
        {"", RC_LINK_ERROR},
    };
    const SerialSettings settings = {9600, 8, 0, 0, 0, 0, 0};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        int descriptors = OpenDescriptorCount();
        EXPECT_EQ(port.Open(c.name, settings), c.result);
        EXPECT_EQ(port.instance->portHandle != 0, c.result == RC_OK);
        EXPECT_EQ(port.Call(FN_CLOSE_PORT), RC_OK);
        EXPECT_EQ(port.instance->portHandle, 0u);
        EXPECT_EQ(OpenDescriptorCount(), descriptors);
    }
}

TEST_F(PtyPortTest, TwoInstancesMayBothHoldTheNullDevice) {
    const SerialSettings settings = {9600, 8, 0, 0, 0, 0, 0};
    Port other;
    EXPECT_EQ(port.Open("NUL", settings), RC_OK);
    EXPECT_EQ(other.Open("NUL", settings), RC_OK);
    EXPECT_NE(port.instance->portHandle, other.instance->portHandle);
}

} // namespace
