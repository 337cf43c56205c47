// The device routines below the port handlers, against the recording
// platform: the order of the platform calls, the values passed, the statuses.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>

#include "serial/serial_device.h"
#include "tests/support/fake_serial_platform.h"

namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using Kind = SerialCall::Kind;

constexpr SerialSettings SETTINGS_7E2 = {9600, 7, 0x5A, 2, 0x5A, 2, 0x5A};

// The line as read with exactly the port set-up's edits made.
LineState EditedLine(const SerialSettings &settings, uint8_t dtr, uint8_t rts) {
    LineState line = FakeSerialPlatform::DistinctLine();
    line.BaudRate = settings.baudRate;
    line.fBinary = 1;
    line.fParity = 1;
    line.fOutxCtsFlow = 0;
    line.fOutxDsrFlow = 0;
    line.fDtrControl = dtr;
    line.fDsrSensitivity = 0;
    line.fOutX = 0;
    line.fInX = 0;
    line.fErrorChar = 0;
    line.fNull = 0;
    line.fRtsControl = rts;
    line.fAbortOnError = 0;
    line.ByteSize = settings.dataBits;
    line.Parity = settings.parity;
    line.StopBits = settings.stopBits;
    line.ErrorChar = 0xFC;
    return line;
}

bool SameLine(const LineState &a, const LineState &b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

class SerialDeviceTest : public ::testing::Test {
  protected:
    void SetUp() override { fakeSerial.Reset(); }
    int32_t Open(const char *name, uint16_t handshake = 0, const SerialSettings &settings = SETTINGS_7E2) {
        return OpenSerialDevice(name, &settings, handshake, &handle);
    }
    SerialHandle handle = 0xDEAD;
};

TEST_F(SerialDeviceTest, OpenSetsUpTheLineInOrderAndKeepsWhatItDoesNotEdit) {
    ASSERT_EQ(Open("COM1"), SERIAL_DONE);
    EXPECT_EQ(handle, 0x51u);
    ASSERT_THAT(fakeSerial.Kinds(), ElementsAre(SerialCall::OPEN, SerialCall::GET_LINE, SerialCall::SET_TIMEOUTS,
                                                SerialCall::SET_LINE, SerialCall::SETUP_BUFFERS));
    const auto &calls = fakeSerial.calls;
    EXPECT_EQ(calls[0].name, "COM1");
    for (size_t i = 1; i < calls.size(); ++i) {
        EXPECT_EQ(calls[i].handle, 0x51u) << i;
    }
    EXPECT_EQ(calls[1].line.DCBlength, 28u);
    const SerialTimeouts &timeouts = calls[2].timeouts;
    EXPECT_EQ(timeouts.ReadIntervalTimeout, 0u);
    EXPECT_EQ(timeouts.ReadTotalTimeoutMultiplier, 0u);
    EXPECT_EQ(timeouts.ReadTotalTimeoutConstant, 1000u);
    EXPECT_EQ(timeouts.WriteTotalTimeoutMultiplier, 0u);
    EXPECT_EQ(timeouts.WriteTotalTimeoutConstant, 0u);
    EXPECT_TRUE(SameLine(calls[3].line, EditedLine(SETTINGS_7E2, DTR_CONTROL_DISABLE, RTS_CONTROL_DISABLE)));
    EXPECT_EQ(calls[3].line.XonLim, 0x1234) << "fields outside the edits stay as read";
    EXPECT_EQ(calls[3].line.fTXContinueOnXoff, 1u);
    EXPECT_EQ(calls[4].inputSize, 1200u);
    EXPECT_EQ(calls[4].outputSize, 1200u);
}

TEST_F(SerialDeviceTest, EverySettingReachesTheLineUnchecked) {
    const SerialSettings cases[] = {
        {65535, 8, 0, 0, 0, 0, 0}, {110, 5, 0, 1, 0, 3, 0}, {1, 9, 0, 7, 0, 9, 0}, {300, 0, 0xFF, 2, 0xFF, 4, 0xFF}};
    for (const SerialSettings &settings : cases) {
        SCOPED_TRACE(settings.baudRate);
        fakeSerial.Reset();
        ASSERT_EQ(Open("/dev/ttyS1", 0, settings), SERIAL_DONE);
        auto applied = fakeSerial.CallsOf(SerialCall::SET_LINE);
        ASSERT_EQ(applied.size(), 1u);
        EXPECT_TRUE(SameLine(applied[0].line, EditedLine(settings, DTR_CONTROL_DISABLE, RTS_CONTROL_DISABLE)));
    }
}

// Each failure after the open closes the device again; the close's own
// outcome does not change the status.
TEST_F(SerialDeviceTest, FailuresGiveTheirStatusAndLeaveNoDeviceOpen) {
    struct Case {
        Kind failing;
        bool closeFails;
        int32_t status;
        std::vector<Kind> kinds;
    };
    const Case cases[] = {
        {SerialCall::OPEN, false, SERIAL_OPEN_FAILED, {SerialCall::OPEN}},
        {SerialCall::GET_LINE, false, SERIAL_READ_FAILED, {SerialCall::OPEN, SerialCall::GET_LINE, SerialCall::CLOSE}},
        {SerialCall::SET_TIMEOUTS,
         false,
         SERIAL_OPEN_FAILED,
         {SerialCall::OPEN, SerialCall::GET_LINE, SerialCall::SET_TIMEOUTS, SerialCall::CLOSE}},
        {SerialCall::SET_LINE,
         false,
         SERIAL_APPLY_FAILED,
         {SerialCall::OPEN, SerialCall::GET_LINE, SerialCall::SET_TIMEOUTS, SerialCall::SET_LINE, SerialCall::CLOSE}},
        {SerialCall::SET_LINE,
         true,
         SERIAL_APPLY_FAILED,
         {SerialCall::OPEN, SerialCall::GET_LINE, SerialCall::SET_TIMEOUTS, SerialCall::SET_LINE, SerialCall::CLOSE}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(::testing::Message() << "failing " << c.failing << (c.closeFails ? ", close fails" : ""));
        fakeSerial.Reset();
        handle = 0xDEAD;
        fakeSerial.FailNext(c.failing);
        if (c.closeFails) {
            fakeSerial.FailNext(SerialCall::CLOSE);
        }
        EXPECT_EQ(Open("COM2"), c.status);
        EXPECT_EQ(handle, 0xDEADu) << "no handle is given for a failed open";
        EXPECT_THAT(fakeSerial.Kinds(), ElementsAreArray(c.kinds));
        if (c.kinds.size() > 1) {
            EXPECT_EQ(fakeSerial.calls.back().handle, fakeSerial.calls[1].handle);
        }
        if (!c.closeFails) {
            EXPECT_TRUE(fakeSerial.open.empty());
        }
    }
}

TEST_F(SerialDeviceTest, RefusedBufferSizesAreNotAFailure) {
    fakeSerial.FailNext(SerialCall::SETUP_BUFFERS);
    EXPECT_EQ(Open("COM2"), SERIAL_DONE);
    EXPECT_EQ(handle, 0x51u);
    EXPECT_EQ(fakeSerial.open.size(), 1u);
}

TEST_F(SerialDeviceTest, OnlyTheExactNameNulSkipsTheLineSetUp) {
    struct Case {
        const char *name;
        size_t calls;
    };
    const Case cases[] = {{"NUL", 1}, {"nul", 5}, {"Nul", 5}, {"NUL ", 5}, {"NULL", 5}, {" NUL", 5}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        fakeSerial.Reset();
        EXPECT_EQ(Open(c.name), SERIAL_DONE);
        EXPECT_EQ(fakeSerial.calls.size(), c.calls);
        EXPECT_EQ(fakeSerial.calls[0].name, c.name);
    }
}

TEST_F(SerialDeviceTest, HandshakeFlagsChooseTheModemLineControl) {
    struct Case {
        uint16_t handshake;
        uint8_t dtr;
        uint8_t rts;
    };
    const Case cases[] = {
        {0x0000, DTR_CONTROL_DISABLE, RTS_CONTROL_DISABLE},
        {0x0001, DTR_CONTROL_ENABLE, RTS_CONTROL_DISABLE},
        {0x0100, DTR_CONTROL_ENABLE, RTS_CONTROL_DISABLE},
        {0x0101, DTR_CONTROL_ENABLE, RTS_CONTROL_DISABLE},
        {0x8000, DTR_CONTROL_HANDSHAKE, RTS_CONTROL_DISABLE},
        {0x8001, DTR_CONTROL_ENABLE, RTS_CONTROL_DISABLE}, // held on is tested first
        {0x0002, DTR_CONTROL_DISABLE, RTS_CONTROL_ENABLE},
        {0x0200, DTR_CONTROL_DISABLE, RTS_CONTROL_ENABLE},
        {0x1000, DTR_CONTROL_DISABLE, RTS_CONTROL_HANDSHAKE},
        {0x9000, DTR_CONTROL_HANDSHAKE, RTS_CONTROL_HANDSHAKE},
        {0x2000, DTR_CONTROL_DISABLE, RTS_CONTROL_TOGGLE},
        {0x3000, DTR_CONTROL_DISABLE, RTS_CONTROL_HANDSHAKE}, // handshake before toggle
        {0x2002, DTR_CONTROL_DISABLE, RTS_CONTROL_ENABLE},    // held on before toggle
        {0x1200, DTR_CONTROL_DISABLE, RTS_CONTROL_ENABLE},
        {0xFFFF, DTR_CONTROL_ENABLE, RTS_CONTROL_ENABLE},
        {0x4CFC, DTR_CONTROL_DISABLE, RTS_CONTROL_DISABLE}, // bits without a meaning
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(::testing::Message() << std::hex << "handshake 0x" << c.handshake);
        fakeSerial.Reset();
        ASSERT_EQ(Open("COM3", c.handshake), SERIAL_DONE);
        LineState line = fakeSerial.CallsOf(SerialCall::SET_LINE).at(0).line;
        EXPECT_EQ(line.fDtrControl, c.dtr);
        EXPECT_EQ(line.fRtsControl, c.rts);
    }
}

TEST_F(SerialDeviceTest, CloseGivesSevenWhenThePlatformFails) {
    ASSERT_EQ(Open("COM4"), SERIAL_DONE);
    fakeSerial.FailNext(SerialCall::CLOSE);
    EXPECT_EQ(CloseSerialDevice(handle), SERIAL_CLOSE_FAILED);
    EXPECT_EQ(CloseSerialDevice(handle), SERIAL_DONE);
    EXPECT_EQ(CloseSerialDevice(handle), SERIAL_CLOSE_FAILED) << "a closed handle is refused";
    EXPECT_THAT(fakeSerial.CallsOf(SerialCall::CLOSE), ::testing::Each(::testing::Field(&SerialCall::handle, handle)));
}

// The read total time-out becomes ten times the receive time-out; the other
// four stay as read, and an equal one is not set again.
TEST_F(SerialDeviceTest, ReadTimeoutIsTenTimesTheReceiveTimeout) {
    struct Case {
        int32_t timeout;
        uint32_t current;
        bool getFails;
        bool expectSet;
        uint32_t expected;
    };
    const Case cases[] = {
        {2000, 1000, false, true, 20000},
        {1000, 1000, false, true, 10000},
        {100, 1000, false, false, 0},
        {2000, 1000, true, false, 0},
        {429496729, 0, false, true, 4294967290u},
        {INT32_MAX, 0, false, true, UINT32_MAX}, // beyond 32 bits: the longest
        {-5, 13, false, true, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.timeout);
        fakeSerial.Reset();
        fakeSerial.timeoutsAtOpen.ReadTotalTimeoutConstant = c.current;
        SerialHandle device = SerialOpenDevice("COM5");
        fakeSerial.calls.clear();
        if (c.getFails) {
            fakeSerial.FailNext(SerialCall::GET_TIMEOUTS);
        }
        SetPortReadTimeout(device, c.timeout);
        auto sets = fakeSerial.CallsOf(SerialCall::SET_TIMEOUTS);
        ASSERT_EQ(sets.size(), c.expectSet ? 1u : 0u);
        EXPECT_EQ(fakeSerial.calls.at(0).kind, SerialCall::GET_TIMEOUTS);
        if (c.expectSet) {
            const SerialTimeouts &set = sets[0].timeouts;
            EXPECT_EQ(sets[0].handle, device);
            EXPECT_EQ(set.ReadTotalTimeoutConstant, c.expected);
            EXPECT_EQ(set.ReadIntervalTimeout, 11u);
            EXPECT_EQ(set.ReadTotalTimeoutMultiplier, 12u);
            EXPECT_EQ(set.WriteTotalTimeoutMultiplier, 14u);
            EXPECT_EQ(set.WriteTotalTimeoutConstant, 15u);
        }
    }
}

} // namespace
