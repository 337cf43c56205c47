// The routing file: what it accepts, and the file:line message for each way
// a line can be wrong.
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <string>

#include "tests/gateway/gateway_fixture.h"

namespace {

using RoutingTest = GatewayTest;

struct BadFile {
    const char *contents;
    const char *message; // after "FILE:"
};

const BadFile BAD_FILES[] = {
    {"rout 0.1 udp 127.0.0.1\n", "1: unknown keyword 'rout'"},
    {"local 0.9.0\nroute 0.1 udpx 127.0.0.1\n", "2: unknown transport 'udpx' (want udp or tcp)"},
    {"local 0.9.0\nroute 0.1 UDP 127.0.0.1\n", "2: unknown transport 'UDP' (want udp or tcp)"},
    {"local 0.300.0\n", "1: bad local address '0.300.0' (want NET.NODE.UNIT, numbers 0 to 255)"},
    {"local 0.9\n", "1: bad local address '0.9' (want NET.NODE.UNIT, numbers 0 to 255)"},
    {"local\n", "1: 'local' wants NET.NODE.UNIT [bind PORT]"},
    {"local 0.9.0 bind\n", "1: 'local' wants NET.NODE.UNIT [bind PORT]"},
    {"local 0.9.0 bind 0\n", "1: bad port '0' (want 1 to 65535)"},
    {"local 0.9.0 bind 65536\n", "1: bad port '65536' (want 1 to 65535)"},
    {"local 0.9.0 port 9600\n", "1: unknown option 'port' (want bind PORT)"},
    {"local 0.9.0\nlocal 0.8.0\n", "2: second 'local' line (the first is line 1)"},
    {"local 0.9.0\nroute 0.1 udp\n", "2: 'route' wants NET.NODE udp|tcp HOST[:PORT]"},
    {"local 0.9.0\nroute 0.1 udp 127.0.0.1 9600\n", "2: 'route' wants NET.NODE udp|tcp HOST[:PORT]"},
    {"local 0.9.0\nroute 0.1.0 udp 127.0.0.1\n", "2: bad FINS node '0.1.0' (want NET.NODE, numbers 0 to 255)"},
    {"local 0.9.0\nroute 0.256 udp 127.0.0.1\n", "2: bad FINS node '0.256' (want NET.NODE, numbers 0 to 255)"},
    {"local 0.9.0\nroute 0.1 tcp 127.0.0.1:0\n", "2: bad port in '127.0.0.1:0' (want 1 to 65535)"},
    {"local 0.9.0\nroute 0.1 tcp 127.0.0.1:96x\n", "2: bad port in '127.0.0.1:96x' (want 1 to 65535)"},
    {"local 0.9.0\nroute 0.1 tcp 127.0.0.1:\n", "2: bad port in '127.0.0.1:' (want 1 to 65535)"},
    {"local 0.9.0\nroute 0.1 tcp :9600\n", "2: bad HOST[:PORT] ':9600'"},
    {"local 0.9.0\nroute 0.1 tcp ::1:9600\n", "2: bad HOST[:PORT] '::1:9600'"},
    {"local 0.9.0\nroute 0.1 tcp plc\x01one\n", "2: bad HOST[:PORT] 'plc?one'"},
    {"local 0.9.0\nroute 0.1 udp 127.0.0.1\nroute 0.1 tcp 127.0.0.1\n",
     "3: second route to FINS node 0.1 (the first is line 2)"},
    // Comments and blank lines count in the line numbers.
    {"# gateway\n\nlocal 0.9.0 # this host\n\troute 0.1 udp 127.0.0.1 # PLC\nbogus\n", "5: unknown keyword 'bogus'"},
    {"local 0.9.0\n\x01\x02\xff junk\n", "2: unknown keyword '??"
                                         "?'"},
    {"local 0.9.0\nroute 0.1 udp a b c d e f g h\n", "2: too many words"},
};

TEST_F(RoutingTest, BadLineIsRefusedWithFileAndLine) {
    for (const BadFile &bad : BAD_FILES) {
        SCOPED_TRACE(bad.contents);
        errno = 0;
        EXPECT_EQ(LoadRouting(bad.contents), -1);
        EXPECT_EQ(errno, EINVAL);
        EXPECT_EQ(std::string(GwLastErrorText()), FilePath() + ":" + bad.message);
    }
}

TEST_F(RoutingTest, LongWordIsCutInTheMessage) {
    EXPECT_EQ(LoadRouting(std::string(1000, 'x') + "\n"), -1);
    EXPECT_EQ(std::string(GwLastErrorText()), FilePath() + ":1: unknown keyword '" + std::string(40, 'x') + "...'");
}

TEST_F(RoutingTest, FileWithoutLocalLineIsRefused) {
    for (const char *contents : {"", "# nothing\n", "route 0.1 udp 127.0.0.1\n"}) {
        SCOPED_TRACE(contents);
        EXPECT_EQ(LoadRouting(contents), -1);
        EXPECT_EQ(std::string(GwLastErrorText()),
                  FilePath() + ": no 'local NET.NODE.UNIT' line giving this host's FINS address");
    }
}

TEST_F(RoutingTest, UnreadableFileIsNamed) {
    setenv("FINSGW_CONFIG", (directory_ + "/absent.conf").c_str(), 1);
    errno = 0;
    EXPECT_EQ(GwOpenService(1, 0), -1);
    EXPECT_EQ(errno, ENOENT);
    EXPECT_EQ(std::string(GwLastErrorText()),
              "cannot read routing file " + directory_ + "/absent.conf: no such file or directory");
    EXPECT_EQ(GwOpenUnit("0.1.0"), 0u);
    setenv("FINSGW_CONFIG", directory_.c_str(), 1);
    errno = 0;
    EXPECT_EQ(GwOpenService(1, 0), -1);
    EXPECT_EQ(errno, EISDIR);
    EXPECT_EQ(std::string(GwLastErrorText()), "cannot read routing file " + directory_ + ": is a directory");
}

TEST_F(RoutingTest, GoodFileWithCommentsTabsAndCarriageReturnsRoutesBothKinds) {
    ASSERT_EQ(LoadRouting("# plant gateway\r\n"
                          "local\t0.9.0\tbind 9600 # our address\r\n"
                          "\r\n"
                          "route 0.1 udp 127.0.0.1\r\n"
                          "route 0.2 tcp 127.0.0.1:9601\r\n"
                          "route 255.255 tcp 127.0.0.1:65535\n"),
              0)
        << GwLastErrorText();
    // Only TCP units are opened: port 9600 may be taken on a test machine.
    EXPECT_NE(Open("0.2.0"), 0u) << GwLastErrorText();
    EXPECT_NE(Open("255.255.255"), 0u) << GwLastErrorText();
}

TEST_F(RoutingTest, NodeWithoutRouteCannotBeOpened) {
    UseRoutes(UdpRoute("0.1", 9600) + UdpRoute("1.5", 9600));
    for (const char *station : {"0.5.0", "1.1.0", "2.5.0"}) {
        SCOPED_TRACE(station);
        errno = 0;
        EXPECT_EQ(Open(station), 0u);
        EXPECT_EQ(errno, EHOSTUNREACH);
        std::string node(station, std::string(station).rfind('.'));
        EXPECT_EQ(std::string(GwLastErrorText()), "no route to FINS node " + node + " in " + FilePath());
    }
    EXPECT_NE(Open("0.1.7"), 0u) << "any unit of a routed node";
}

TEST_F(RoutingTest, OpenUnitReadsTheFileWhenTheServiceHadNone) {
    setenv("FINSGW_CONFIG", (directory_ + "/absent.conf").c_str(), 1);
    ASSERT_EQ(GwOpenService(1, 0), -1);
    WriteRouting("local 0.9.0\n" + UdpRoute("0.1", 9600));
    setenv("FINSGW_CONFIG", FilePath().c_str(), 1);
    EXPECT_NE(Open("0.1.0"), 0u) << GwLastErrorText();
}

TEST_F(RoutingTest, OpenServiceReadsTheFileAgain) {
    UseRoutes(UdpRoute("0.1", 9600));
    EXPECT_EQ(Open("0.2.0"), 0u);
    UseRoutes(UdpRoute("0.2", 9600));
    EXPECT_NE(Open("0.2.0"), 0u) << GwLastErrorText();
    EXPECT_EQ(Open("0.1.0"), 0u);
}

TEST_F(RoutingTest, WithoutVariableTheFileInTheCurrentDirectoryIsRead) {
    char previous[PATH_MAX];
    ASSERT_NE(getcwd(previous, sizeof previous), nullptr);
    WriteRouting("local 0.9.0\n" + UdpRoute("0.3", 9600));
    unsetenv("FINSGW_CONFIG");
    ASSERT_EQ(chdir(directory_.c_str()), 0);
    int32_t result = GwOpenService(1, 0);
    std::string text = GwLastErrorText();
    GwUnitHandle unit = Open("0.3.0");
    ASSERT_EQ(chdir(previous), 0);
    EXPECT_EQ(result, 0) << text;
    EXPECT_NE(unit, 0u);
}

} // namespace
