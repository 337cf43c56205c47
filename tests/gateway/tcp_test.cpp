// FINS/TCP: the node address exchange, the assigned node as source, message
// reassembly, the server's error codes, time-outs and reconnecting.
#include <sys/socket.h>

#include <cerrno>
#include <chrono>
#include <string>

#include "tests/gateway/gateway_fixture.h"

namespace {

using TcpTest = GatewayTest;

constexpr uint8_t ASSIGNED_NODE = 0x23;
constexpr uint8_t SERVER_NODE = 1;
constexpr int32_t SHORT_TIMEOUT_MS = 200;

std::vector<Bytes> AssignNode(const Bytes &, size_t) {
    return {NodeAnswer(ASSIGNED_NODE, SERVER_NODE)};
}

std::vector<Bytes> AnswerWord(const Bytes &frame, size_t) {
    return {TcpFrame(ResponseTo(frame, 0, WORD_1234))};
}

TcpScript Controller() {
    TcpScript script;
    script.onNodeRequest = AssignNode;
    script.onFrame = AnswerWord;
    return script;
}

// A controller that answers the first frame with these chunks (none: no
// answer) and every later one with the word.
TcpScript FirstAnsweredWith(std::vector<Bytes> first) {
    TcpScript script = Controller();
    script.onFrame = [first](const Bytes &frame, size_t index) {
        return index == 0 ? first : AnswerWord(frame, index);
    };
    return script;
}

class TcpUnitTest : public TcpTest {
  protected:
    GwUnitHandle OpenTo(const TcpPeer &peer) { return OpenUnit010(TcpRoute("0.1", peer.Port())); }
};

TEST_F(TcpUnitTest, HandshakeAsksForAnAssignedNodeAndUsesItAsSource) {
    TcpPeer peer(Controller());
    GwUnitHandle unit = OpenTo(peer);
    ExpectWord(unit);
    ASSERT_EQ(peer.NodeRequests().size(), 1u);
    EXPECT_EQ(Hex(peer.NodeRequests()[0]), "46 49 4E 53 00 00 00 0C 00 00 00 00 00 00 00 00 00 00 00 00");
    ASSERT_EQ(peer.Frames().size(), 1u);
    EXPECT_EQ(Hex(Prefix(peer.Frames()[0], 9)), "80 00 02 00 01 00 00 23 00");
    GwCounters counters = Counters(unit);
    EXPECT_EQ(counters.sent, 1u);
    EXPECT_EQ(counters.received, 1u);
    ExpectWord(unit);
    EXPECT_EQ(peer.Connections(), 1u) << "the connection is kept";
}

TEST_F(TcpUnitTest, LocalNetworkDestinationIsTheServersNode) {
    TcpScript script = Controller();
    script.onNodeRequest = [](const Bytes &, size_t) { return std::vector<Bytes>{NodeAnswer(ASSIGNED_NODE, 5)}; };
    TcpPeer peer(script);
    GwUnitHandle unit = OpenTo(peer);
    ExpectWord(unit);
    ASSERT_EQ(peer.Frames().size(), 1u);
    EXPECT_EQ(Hex(Prefix(peer.Frames()[0], 9)), "80 00 02 00 05 00 00 23 00");
}

TEST_F(TcpUnitTest, FramesSplitAcrossReadsAreReassembled) {
    TcpScript script = Controller();
    script.onNodeRequest = [](const Bytes &, size_t) {
        Bytes answer = NodeAnswer(ASSIGNED_NODE, SERVER_NODE);
        return std::vector<Bytes>{Prefix(answer, 3), Bytes(answer.begin() + 3, answer.end())};
    };
    script.onFrame = [](const Bytes &frame, size_t) {
        Bytes message = TcpFrame(ResponseTo(frame, 0, WORD_1234));
        return std::vector<Bytes>{Prefix(message, 6), Bytes(message.begin() + 6, message.begin() + 20),
                                  Bytes(message.begin() + 20, message.end())};
    };
    TcpPeer peer(script);
    ExpectWord(OpenTo(peer));
}

TEST_F(TcpUnitTest, SeveralMessagesInOneReadAreTakenInTurn) {
    TcpScript script = Controller();
    script.onFrame = [](const Bytes &frame, size_t) {
        Bytes stale = ResponseTo(frame, 0, {0xDE, 0xAD});
        stale[9] = static_cast<uint8_t>(stale[9] - 1);
        Bytes confirmation = TcpMessage(6, 0, {});
        return std::vector<Bytes>{
            Concat(Concat(TcpFrame(stale), confirmation), TcpFrame(ResponseTo(frame, 0, WORD_1234)))};
    };
    TcpPeer peer(script);
    GwUnitHandle unit = OpenTo(peer);
    ExpectWord(unit);
    EXPECT_EQ(Counters(unit).discarded, 2u);
}

struct RefusedHandshake {
    uint32_t code;
    const char *text;
};

const RefusedHandshake REFUSALS[] = {
    {0x20, "all connections are in use (FINS/TCP error 0x20)"},
    {0x21, "the node is already connected (FINS/TCP error 0x21)"},
    {0x23, "client node out of range (FINS/TCP error 0x23)"},
    {0x25, "no node address left to assign (FINS/TCP error 0x25)"},
    {0x01, "the message did not start with FINS (FINS/TCP error 0x1)"},
    {0x77, "unknown error (FINS/TCP error 0x77)"},
};

TEST_F(TcpUnitTest, ErrorCodeInTheHandshakeFailsWithItsMeaning) {
    for (const RefusedHandshake &refusal : REFUSALS) {
        SCOPED_TRACE(refusal.text);
        TcpScript script = Controller();
        script.onNodeRequest = [&refusal](const Bytes &, size_t) {
            return std::vector<Bytes>{TcpMessage(1, refusal.code, Bytes(8, 0))};
        };
        TcpPeer peer(script);
        GwUnitHandle unit = OpenTo(peer);
        Exchange got = Run(unit, TO_0_1_0);
        EXPECT_EQ(got.result, -1);
        EXPECT_EQ(got.error, ECONNREFUSED);
        EXPECT_NE(got.errorText.find("the controller refused the connection: " + std::string(refusal.text)),
                  std::string::npos)
            << got.errorText;
        EXPECT_TRUE(peer.Frames().empty()) << "no frame before the handshake succeeded";
        GwCloseUnit(unit);
    }
}

TEST_F(TcpUnitTest, BadNodeAnswersAreRefused) {
    const std::vector<Bytes> answers = {
        NodeAnswer(0, SERVER_NODE),                 // no node assigned
        NodeAnswer(300, SERVER_NODE),               // beyond a FINS node
        NodeAnswer(ASSIGNED_NODE, 255),             // broadcast as server
        TcpMessage(1, 0, {0, 0, 0, ASSIGNED_NODE}), // server node missing
        TcpMessage(2, 0, Bytes(14, 0)),             // a frame instead
    };
    for (const Bytes &answer : answers) {
        SCOPED_TRACE(Hex(answer));
        TcpScript script = Controller();
        script.onNodeRequest = [&answer](const Bytes &, size_t) { return std::vector<Bytes>{answer}; };
        TcpPeer peer(script);
        GwUnitHandle unit = OpenTo(peer);
        Exchange got = Run(unit, TO_0_1_0);
        EXPECT_EQ(got.result, -1);
        EXPECT_EQ(got.error, EPROTO) << got.errorText;
        GwCloseUnit(unit);
    }
}

TEST_F(TcpUnitTest, SilentHandshakeGivesUpWithinTheTimeOut) {
    TcpScript script = Controller();
    script.onNodeRequest = nullptr;
    TcpPeer peer(script);
    GwUnitHandle unit = OpenTo(peer);
    Clock::time_point start = Clock::now();
    Exchange got = Run(unit, TO_0_1_0, READ_DM100, SHORT_TIMEOUT_MS);
    long elapsed = MillisecondsSince(start);
    EXPECT_EQ(got.result, -1);
    EXPECT_EQ(got.error, ETIMEDOUT);
    EXPECT_NE(got.errorText.find("tcp): no answer to the node address request within 200 ms"), std::string::npos)
        << got.errorText;
    EXPECT_LT(elapsed, SHORT_TIMEOUT_MS + MARGIN_MS);
    EXPECT_EQ(Counters(unit).timeouts, 1u);
}

TEST_F(TcpUnitTest, SilentControllerTimesOutAndKeepsTheConnection) {
    TcpPeer peer(FirstAnsweredWith({}));
    GwUnitHandle unit = OpenTo(peer);
    Clock::time_point start = Clock::now();
    Exchange got = Run(unit, TO_0_1_0, READ_DM100, SHORT_TIMEOUT_MS);
    EXPECT_LT(MillisecondsSince(start), SHORT_TIMEOUT_MS + MARGIN_MS);
    EXPECT_EQ(got.error, ETIMEDOUT);
    EXPECT_EQ(got.errorText, "unit 0.1.0: no answer within 200 ms");
    ExpectWord(unit);
    EXPECT_EQ(peer.Connections(), 1u);
}

TEST_F(TcpUnitTest, NextSendReconnectsAfterThePeerClosed) {
    TcpScript script = Controller();
    script.closeAfter = [](size_t index) { return index == 0; };
    TcpPeer peer(script);
    GwUnitHandle unit = OpenTo(peer);
    ExpectWord(unit);
    ASSERT_TRUE(peer.WaitClosed(1));
    ExpectWord(unit);
    EXPECT_EQ(peer.Connections(), 2u);
    EXPECT_EQ(peer.NodeRequests().size(), 2u) << "a fresh node address exchange on the new connection";
}

// A frame that finds the connection closed before any answer byte came goes
// once more, on a new connection; a connection made for the frame is not
// made again.
TEST_F(TcpUnitTest, ConnectionClosedOnAReusedConnectionIsMadeAgainForTheFrame) {
    TcpScript script = Controller();
    script.onFrame = [](const Bytes &frame, size_t index) {
        return index == 1 ? std::vector<Bytes>{} : AnswerWord(frame, index);
    };
    script.closeAfter = [](size_t index) { return index == 1; };
    TcpPeer peer(script);
    GwUnitHandle unit = OpenTo(peer);
    ExpectWord(unit);
    ExpectWord(unit);
    EXPECT_EQ(peer.Connections(), 2u);
    EXPECT_EQ(peer.Frames().size(), 3u) << "the frame the peer closed on went again";
    EXPECT_EQ(Counters(unit).sent, 3u);
}

TEST_F(TcpUnitTest, PeerClosingBeforeTheAnswerFailsTheAttemptOnly) {
    TcpScript script = FirstAnsweredWith({});
    script.closeAfter = [](size_t index) { return index == 0; };
    TcpPeer peer(script);
    GwUnitHandle unit = OpenTo(peer);
    Exchange got = Run(unit, TO_0_1_0);
    EXPECT_EQ(got.error, ECONNRESET);
    EXPECT_NE(got.errorText.find("tcp): connection closed by the controller"), std::string::npos) << got.errorText;
    ExpectWord(unit);
}

struct Unreadable {
    const char *name;
    Bytes message;
};

TEST_F(TcpUnitTest, UnreadableStreamIsDroppedCountedAndReconnected) {
    const Unreadable cases[] = {
        {"claimed gigabyte", {'F', 'I', 'N', 'S', 0x40, 0, 0, 0, 0, 0, 0, 2, 0, 0, 0, 0}},
        {"one byte beyond the largest frame", TcpFrame(Bytes(2013, 0xC0))},
        {"length shorter than its fields", {'F', 'I', 'N', 'S', 0, 0, 0, 4, 0, 0, 0, 2}},
        {"no FINS mark", {'F', 'I', 'N', 'X', 0, 0, 0, 8, 0, 0, 0, 2, 0, 0, 0, 0}},
    };
    for (const Unreadable &bad : cases) {
        SCOPED_TRACE(bad.name);
        TcpPeer peer(FirstAnsweredWith({bad.message}));
        GwUnitHandle unit = OpenTo(peer);
        Exchange got = Run(unit, TO_0_1_0);
        EXPECT_EQ(got.result, -1);
        EXPECT_EQ(got.error, EPROTO);
        EXPECT_NE(got.errorText.find("connection dropped"), std::string::npos) << got.errorText;
        EXPECT_EQ(Counters(unit).discarded, 1u);
        ExpectWord(unit);
        EXPECT_EQ(peer.Connections(), 2u);
        GwCloseUnit(unit);
    }
}

TEST_F(TcpUnitTest, ErrorCodeOnAFrameDropsTheConnection) {
    TcpPeer peer(FirstAnsweredWith({TcpMessage(2, 0x03, {})}));
    GwUnitHandle unit = OpenTo(peer);
    Exchange got = Run(unit, TO_0_1_0);
    EXPECT_EQ(got.error, EPROTO);
    EXPECT_NE(got.errorText.find("FINS/TCP error 0x3 (command not supported)"), std::string::npos) << got.errorText;
    ExpectWord(unit);
}

TEST_F(TcpTest, ClosedPortIsRefused) {
    UseRoutes(TcpRoute("0.1", FreePort(SOCK_STREAM)));
    GwUnitHandle unit = Open("0.1.0");
    ASSERT_NE(unit, 0u) << "a unit whose controller is down can be opened";
    Exchange got = Run(unit, TO_0_1_0, READ_DM100, 5000);
    EXPECT_EQ(got.result, -1);
    EXPECT_EQ(got.error, ECONNREFUSED);
    EXPECT_NE(got.errorText.find(" tcp): connection refused"), std::string::npos) << got.errorText;
}

} // namespace
