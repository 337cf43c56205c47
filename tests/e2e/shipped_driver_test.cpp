// A user's folder holds a kelOMR01.int and a finsgw.conf naming a controller
// at 127.0.0.1; a host that loads the shipped libkelomr.so with dlopen reads
// and writes the controller's memory through KelMain, over UDP and over TCP.
#include <gtest/gtest.h>

#include <dlfcn.h>

#include <string>
#include <vector>

#include "sim/simulator.h"
#include "tests/e2e/e2e_support.h"

namespace e2e {
namespace {

constexpr int32_t OTHER = 1;

class ShippedDriver : public ::testing::TestWithParam<Link> {
  protected:
    void SetUp() override {
        library_ = dlopen(DRIVER_LIBRARY, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(library_, nullptr) << dlerror();
        entry = reinterpret_cast<EntryPoint>(dlsym(library_, "KelMain"));
        ASSERT_NE(entry, nullptr) << dlerror();
        ASSERT_TRUE(simulator.Start()) << simulator.LastError();
        const uint16_t port = GetParam() == Link::Udp ? simulator.UdpPort() : simulator.TcpPort();
        // Written as a user writes them, blanks and lower case included.
        folder.WriteFile("kelOMR01.int", "01 = 0.1.0\n01 = cs1\n");
        folder.WriteFile("finsgw.conf", std::string("# the press line's controller\nlocal 0.250.0\nroute 0.1 ") +
                                            LinkName(GetParam()) + " 127.0.0.1:" + std::to_string(port) + "\n");
    }

    void TearDown() override {
        if (library_ != nullptr) {
            dlclose(library_);
        }
    }

    std::vector<uint16_t> Memory(uint32_t address, size_t count) {
        std::vector<uint16_t> words(count);
        EXPECT_TRUE(simulator.ReadWords(0, 1, 0x82, address, words.data(), count));
        return words;
    }

    ScratchFolder folder;
    LogCapture log;
    finsim::Simulator simulator;
    EntryPoint entry = nullptr;

  private:
    void *library_ = nullptr;
};

struct UserTag {
    std::string text;
    int32_t valueType;
    uint32_t address;                  // DM word
    std::vector<uint16_t> stored;      // in the controller before
    std::vector<uint8_t> read;         // the host's value area after the read
    std::vector<uint8_t> written;      // the host's value area for the write
    std::vector<uint16_t> storedAfter; // in the controller after
};

// A 16-bit value lies in the second cell of the host's four-byte area.
std::vector<uint8_t> SecondCell(uint16_t value) {
    return CellBytes({0, value});
}

TEST_P(ShippedDriver, ReadsAndWritesTheControllersMemoryThroughKelMain) {
    const UserTag tags[] = {
        {"01DM00100", OTHER, 100, {0x2468}, SecondCell(0x2468), SecondCell(0x1357), {0x1357}},
        {"01dm00200f", TYPE_FLOAT, 200, FloatWords({21.5f}), FloatBytes({21.5f}), FloatBytes({-0.125f}),
         FloatWords({-0.125f})},
        {"01DM00300B", TYPE_LONG, 300, BcdWords({0x00420042}), LongBytes({420042}), LongBytes({99999999}),
         BcdWords({0x99999999})},
        {"01DM00400S08", TYPE_TEXT, 400, TextWords("LINE 7  "), TextBytes("LINE 7  "), TextBytes("stopped!"),
         TextWords("stopped!")},
        {"01DM0050007", TYPE_BIT, 500, {0x0080}, SecondCell(1), SecondCell(0), {0x0000}},
    };
    DriverInstance driver(entry);
    ASSERT_EQ(driver.Start(PATIENT_TIMEOUT), RC_OK);
    EXPECT_TRUE(log.Holds("KELOMR: ReadIntFile() Station #1 defined as CS1 PLC")) << log.Dump();
    EXPECT_TRUE(log.Holds("KelOMR: Connect to Unit 1 (0.1.0) success !!!")) << log.Dump();

    for (const UserTag &tag : tags) {
        SCOPED_TRACE(tag.text);
        ASSERT_TRUE(simulator.WriteWords(0, 1, 0x82, tag.address, tag.stored.data(), tag.stored.size()));
        TagAddress address{};
        ASSERT_EQ(driver.CheckTag(tag.text, tag.valueType, &address), RC_OK);

        std::vector<uint8_t> values(tag.read.size(), 0);
        EXPECT_EQ(driver.Transfer(FN_READ_TAG, tag.text, address, 1, values.data()), RC_OK) << log.Dump();
        EXPECT_EQ(Hex(values), Hex(tag.read));

        values = tag.written;
        EXPECT_EQ(driver.Transfer(FN_WRITE_TAG, tag.text, address, 1, values.data()), RC_OK) << log.Dump();
        EXPECT_EQ(Memory(tag.address, tag.storedAfter.size()), tag.storedAfter);
    }
    EXPECT_EQ(driver.Stop(), RC_OK);
}

INSTANTIATE_TEST_SUITE_P(Links, ShippedDriver, ::testing::Values(Link::Udp, Link::Tcp),
                         [](const ::testing::TestParamInfo<Link> &link) {
                             return std::string(link.param == Link::Udp ? "Udp" : "Tcp");
                         });

} // namespace
} // namespace e2e
