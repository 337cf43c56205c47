// The host's port functions through KelMain, against the recording platform.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "tests/support/driver_fixture.h"
#include "tests/support/fake_serial_platform.h"

namespace {

using ::testing::ElementsAre;

constexpr SerialSettings STORED = {19200, 8, 0, 0, 0, 1, 0};
constexpr SerialSettings ASKED = {4800, 7, 0, 2, 0, 2, 0};

class SerialPortTest : public DriverTest {
  protected:
    void SetUp() override {
        DriverTest::SetUp();
        fakeSerial.Reset();
        instance->receiveTimeout = 2000;
        std::strcpy(instance->portName, "COM1");
        instance->portSettings = STORED;
        instance->handshake = 0x9000;
    }

    int32_t SetPort(const char *name, const SerialSettings &settings) {
        PortParams params{};
        std::strncpy(params.portName, name, sizeof params.portName);
        params.settings = settings;
        return Call(FN_SET_PORT, &params);
    }

    // Opens the stored port and forgets the calls it took.
    SerialHandle Opened() {
        EXPECT_EQ(Call(FN_OPEN_PORT, nullptr), RC_OK);
        fakeSerial.calls.clear();
        return instance->portHandle;
    }

    std::vector<uint8_t> Snapshot() const {
        const uint8_t *bytes = reinterpret_cast<const uint8_t *>(instance);
        return std::vector<uint8_t>(bytes, bytes + sizeof *instance);
    }

    LineState Applied() const { return fakeSerial.CallsOf(SerialCall::SET_LINE).at(0).line; }
};

TEST_F(SerialPortTest, OpenKeepsTheHandleAndRaisesActive) {
    EXPECT_EQ(Call(FN_OPEN_PORT, nullptr), RC_OK);
    EXPECT_EQ(instance->portHandle, 0x51u);
    EXPECT_EQ(instance->active, 1u);
    EXPECT_EQ(instance->handshake, 0x9000) << "the driver never writes the handshake flags";
    EXPECT_EQ(fakeSerial.calls.at(0).name, "COM1");
    EXPECT_EQ(Applied().BaudRate, 19200u);
    EXPECT_EQ(Applied().fDtrControl, DTR_CONTROL_HANDSHAKE);
    EXPECT_EQ(Applied().fRtsControl, RTS_CONTROL_HANDSHAKE);
    EXPECT_EQ(fakeSerial.timeouts[0x51].ReadTotalTimeoutConstant, 1000u) << "open's own read time-out stays";
    EXPECT_TRUE(fakeSerial.CallsOf(SerialCall::GET_TIMEOUTS).empty());
    EXPECT_TRUE(log.empty());
}

TEST_F(SerialPortTest, FailedOpenChangesNeitherHandleNorActive) {
    struct Case {
        const char *what;
        bool missing;
        SerialCall::Kind failing;
    };
    const Case cases[] = {
        {"missing device", true, SerialCall::OPEN},
        {"unreadable line", false, SerialCall::GET_LINE},
        {"refused settings", false, SerialCall::SET_LINE},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        fakeSerial.Reset();
        instance->portHandle = 0;
        instance->active = 0;
        if (c.missing) {
            fakeSerial.missing = {"COM1"};
        } else {
            fakeSerial.FailNext(c.failing);
        }
        EXPECT_EQ(Call(FN_OPEN_PORT, nullptr), RC_LINK_ERROR);
        EXPECT_EQ(instance->portHandle, 0u);
        EXPECT_EQ(instance->active, 0u);
        EXPECT_TRUE(fakeSerial.open.empty()) << "no device is left open";
    }
}

TEST_F(SerialPortTest, NameFillingItsFieldIsRefusedUntouched) {
    std::memcpy(instance->portName, "ABCDEFGHIJKL", PORT_NAME_SIZE);
    std::vector<uint8_t> before = Snapshot();
    EXPECT_EQ(Call(FN_OPEN_PORT, nullptr), RC_LINK_ERROR);
    EXPECT_EQ(Snapshot(), before);
    EXPECT_TRUE(fakeSerial.calls.empty());
}

TEST_F(SerialPortTest, CloseWithoutDeviceIsDoneWithoutPlatformCalls) {
    EXPECT_EQ(Call(FN_CLOSE_PORT, nullptr), RC_OK);
    EXPECT_TRUE(fakeSerial.calls.empty());
}

TEST_F(SerialPortTest, CloseClearsTheHandleAndLeavesActive) {
    SerialHandle handle = Opened();
    instance->active = 5;
    EXPECT_EQ(Call(FN_CLOSE_PORT, nullptr), RC_OK);
    EXPECT_EQ(instance->portHandle, 0u);
    EXPECT_EQ(instance->active, 5u);
    ASSERT_EQ(fakeSerial.calls.size(), 1u);
    EXPECT_EQ(fakeSerial.calls[0].handle, handle);
    EXPECT_STREQ(instance->portName, "COM1") << "name and settings outlast the close";
}

TEST_F(SerialPortTest, FailedCloseKeepsTheHandleForARetry) {
    SerialHandle handle = Opened();
    fakeSerial.FailNext(SerialCall::CLOSE);
    EXPECT_EQ(Call(FN_CLOSE_PORT, nullptr), RC_LINK_ERROR);
    EXPECT_EQ(instance->portHandle, handle);
    EXPECT_EQ(Call(FN_CLOSE_PORT, nullptr), RC_OK);
    EXPECT_EQ(instance->portHandle, 0u);
    auto closes = fakeSerial.CallsOf(SerialCall::CLOSE);
    ASSERT_EQ(closes.size(), 2u);
    EXPECT_EQ(closes[1].handle, handle);
}

TEST_F(SerialPortTest, SetPortStoresOpensAndSetsTheReadTimeout) {
    instance->active = 0;
    EXPECT_EQ(SetPort("COM7", ASKED), RC_OK);
    EXPECT_STREQ(instance->portName, "COM7");
    EXPECT_EQ(std::memcmp(&instance->portSettings, &ASKED, sizeof ASKED), 0);
    EXPECT_EQ(instance->portHandle, 0x51u);
    EXPECT_EQ(instance->active, 1u);
    EXPECT_THAT(fakeSerial.Kinds(),
                ElementsAre(SerialCall::OPEN, SerialCall::GET_LINE, SerialCall::SET_TIMEOUTS, SerialCall::SET_LINE,
                            SerialCall::SETUP_BUFFERS, SerialCall::GET_TIMEOUTS, SerialCall::SET_TIMEOUTS));
    EXPECT_EQ(fakeSerial.calls[0].name, "COM7");
    EXPECT_EQ(Applied().BaudRate, 4800u);
    EXPECT_EQ(Applied().ByteSize, 7u);
    EXPECT_EQ(Applied().StopBits, 2u);
    EXPECT_EQ(Applied().Parity, 2u);
    const SerialCall &last = fakeSerial.calls.back();
    EXPECT_EQ(last.handle, 0x51u);
    EXPECT_EQ(last.timeouts.ReadTotalTimeoutConstant, 20000u);
    EXPECT_EQ(last.timeouts.ReadIntervalTimeout, 0u);
    EXPECT_EQ(last.timeouts.WriteTotalTimeoutConstant, 0u);
}

TEST_F(SerialPortTest, SetPortWithBaudRateZeroKeepsTheStoredSettings) {
    SerialSettings ignored = ASKED;
    ignored.baudRate = 0;
    EXPECT_EQ(SetPort("COM8", ignored), RC_OK);
    EXPECT_STREQ(instance->portName, "COM8");
    EXPECT_EQ(std::memcmp(&instance->portSettings, &STORED, sizeof STORED), 0);
    EXPECT_EQ(Applied().BaudRate, 19200u);
    EXPECT_EQ(Applied().ByteSize, 8u);
    EXPECT_EQ(Applied().Parity, 1u);
    EXPECT_EQ(Applied().fDtrControl, DTR_CONTROL_HANDSHAKE) << "the stored handshake applies";
}

TEST_F(SerialPortTest, SetPortToAnotherDeviceClosesFirstWhateverTheCloseGives) {
    for (bool closeFails : {false, true}) {
        SCOPED_TRACE(closeFails ? "close fails" : "close succeeds");
        fakeSerial.Reset();
        std::strcpy(instance->portName, "COM1");
        SerialHandle old = Opened();
        if (closeFails) {
            fakeSerial.FailNext(SerialCall::CLOSE);
        }
        EXPECT_EQ(SetPort("COM2", ASKED), RC_OK);
        ASSERT_GE(fakeSerial.calls.size(), 2u);
        EXPECT_EQ(fakeSerial.calls[0].kind, SerialCall::CLOSE);
        EXPECT_EQ(fakeSerial.calls[0].handle, old);
        EXPECT_EQ(fakeSerial.calls[1].kind, SerialCall::OPEN);
        EXPECT_EQ(fakeSerial.calls[1].name, "COM2");
        EXPECT_NE(instance->portHandle, old);
        EXPECT_NE(instance->portHandle, 0u);
    }
}

// The names compare exactly: another case is another name.
TEST_F(SerialPortTest, SetPortToTheOpenDeviceIsRefusedAndKeepsTheHandle) {
    SerialHandle old = Opened();
    EXPECT_EQ(SetPort("COM1", ASKED), RC_LINK_ERROR);
    EXPECT_EQ(instance->portHandle, old);
    EXPECT_STREQ(instance->portName, "COM1");
    EXPECT_EQ(std::memcmp(&instance->portSettings, &ASKED, sizeof ASKED), 0) << "the new settings are stored";
    EXPECT_THAT(fakeSerial.Kinds(), ElementsAre(SerialCall::OPEN)) << "the open device is not closed";

    fakeSerial.calls.clear();
    EXPECT_EQ(SetPort("com1", ASKED), RC_OK);
    EXPECT_EQ(fakeSerial.calls.at(0).kind, SerialCall::CLOSE);
}

TEST_F(SerialPortTest, SetPortReadTimeoutEqualToOpensIsNotSetAgain) {
    instance->receiveTimeout = 100;
    EXPECT_EQ(SetPort("COM3", ASKED), RC_OK);
    EXPECT_EQ(fakeSerial.Kinds().back(), SerialCall::GET_TIMEOUTS);
    EXPECT_EQ(fakeSerial.CallsOf(SerialCall::SET_TIMEOUTS).size(), 1u);
}

TEST_F(SerialPortTest, SetPortDoesNotReportAFailedReadTimeout) {
    fakeSerial.FailNext(SerialCall::SET_TIMEOUTS, 1);
    EXPECT_EQ(SetPort("COM3", ASKED), RC_OK);
    EXPECT_EQ(instance->portHandle, 0x51u);
    EXPECT_EQ(fakeSerial.timeouts[0x51].ReadTotalTimeoutConstant, 1000u);
}

TEST_F(SerialPortTest, SetPortFailureKeepsTheNewNameAndSettings) {
    fakeSerial.missing = {"COM9"};
    instance->active = 0;
    EXPECT_EQ(SetPort("COM9", ASKED), RC_LINK_ERROR);
    EXPECT_STREQ(instance->portName, "COM9");
    EXPECT_EQ(std::memcmp(&instance->portSettings, &ASKED, sizeof ASKED), 0);
    EXPECT_EQ(instance->portHandle, 0u);
    EXPECT_EQ(instance->active, 0u);
}

// A name of 12 to 16 bytes cannot be stored whole: refused before anything
// is closed or written.
TEST_F(SerialPortTest, SetPortRefusesANameLongerThanThePortNameField) {
    SerialHandle old = Opened();
    const char *names[] = {"/dev/ttyUSB1", "/dev/ttyACM123", "/dev/ttyUSB1234", "ABCDEFGHIJKLMNOP"};
    for (const char *name : names) {
        SCOPED_TRACE(name);
        PortParams params;
        std::memset(&params, 0x7A, sizeof params);
        std::memcpy(params.portName, name, std::min(std::strlen(name) + 1, sizeof params.portName));
        params.settings = ASKED;
        std::vector<uint8_t> before = Snapshot();
        EXPECT_EQ(Call(FN_SET_PORT, &params), RC_LINK_ERROR);
        EXPECT_EQ(Snapshot(), before);
        EXPECT_TRUE(fakeSerial.calls.empty());
        EXPECT_EQ(instance->portHandle, old);
    }
}

TEST_F(SerialPortTest, SetPortStoresAnElevenCharacterNameWhole) {
    std::memset(instance->portName, 'x', PORT_NAME_SIZE);
    EXPECT_EQ(SetPort("/dev/pts/12", ASKED), RC_OK);
    EXPECT_EQ(std::memcmp(instance->portName, "/dev/pts/12\0", PORT_NAME_SIZE), 0);
    EXPECT_EQ(fakeSerial.calls.at(0).name, "/dev/pts/12");
}

} // namespace
