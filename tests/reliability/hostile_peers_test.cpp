// Peers that try to break the gateway, over FINS/UDP and FINS/TCP: answers
// with a forged service id or source address, a datagram of 64 KiB, half a
// FINS/TCP frame and then silence, floods of strays. The gateway gives up at
// its time-out, writes nothing past the caller's buffer and takes none of
// them as the answer.
//
// The gateway's own tests hold the FINS/TCP length field that claims
// gigabytes and the peer that accepts a connection and never answers the
// node address request; they are not repeated here.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <functional>
#include <memory>
#include <thread>

#include "tests/gateway/gateway_fixture.h"

namespace {

constexpr int32_t TIMEOUT_MS = 200;
constexpr int32_t CAPACITY = 2048;
constexpr uint8_t GUARD = 0xA5;
constexpr uint8_t SERVER_NODE = 1;
constexpr uint8_t ASSIGNED_NODE = 0x23;
constexpr size_t SID = 9;

enum class Link { Udp, Tcp };
const char *NameOf(Link link) {
    return link == Link::Udp ? "udp" : "tcp";
}

using Answers = std::function<std::vector<Bytes>(const Bytes &frame)>;

// What one exchange brought back, with the bytes past the capacity checked.
struct Outcome {
    int32_t result;
    int error;
    long ms;
    bool guardIntact;
    uint8_t sentSid;
    Bytes header;
    Bytes response;
};

class HostilePeers : public GatewayTest {
  protected:
    // Unit 0.1.0 to a peer that answers every command frame with answers();
    // over FINS/TCP each answer is one message of its own.
    GwUnitHandle OpenToPeer(Link link, Answers answers) {
        if (link == Link::Udp) {
            udp_ = std::make_unique<UdpPeer>([answers](const Bytes &request, size_t) { return answers(request); });
            return OpenUnit010(UdpRoute("0.1", udp_->Port()));
        }
        TcpScript script;
        script.onNodeRequest = [](const Bytes &, size_t) {
            return std::vector<Bytes>{NodeAnswer(ASSIGNED_NODE, SERVER_NODE)};
        };
        script.onFrame = [answers](const Bytes &frame, size_t) {
            std::vector<Bytes> messages;
            for (const Bytes &answer : answers(frame)) {
                messages.push_back(TcpFrame(answer));
            }
            return messages;
        };
        tcp_ = std::make_unique<TcpPeer>(script);
        return OpenUnit010(TcpRoute("0.1", tcp_->Port()));
    }

    Outcome Exchange(GwUnitHandle unit, int32_t timeoutMs = TIMEOUT_MS) {
        uint8_t header[20] = {};
        std::vector<uint8_t> response(CAPACITY + 64, GUARD);
        EXPECT_EQ(GwComposeHeader(header, 0, TO_0_1_0.data(), -1), 0);
        Outcome outcome{0, 0, 0, true, header[SID], {}, {}};
        Clock::time_point start = Clock::now();
        outcome.result = GwSend(unit, header, READ_DM100.data(), static_cast<int32_t>(READ_DM100.size()));
        if (outcome.result >= 0) {
            outcome.result = GwReceive(unit, header, response.data(), CAPACITY, timeoutMs);
        }
        outcome.error = errno;
        outcome.ms = MillisecondsSince(start);
        for (size_t i = CAPACITY; i < response.size(); ++i) {
            outcome.guardIntact = outcome.guardIntact && response[i] == GUARD;
        }
        if (outcome.result >= 0) {
            outcome.header.assign(header, header + 10);
            outcome.response.assign(response.begin(), response.begin() + outcome.result);
        }
        return outcome;
    }

    // Gave up at the time-out, with nothing taken and nothing written past.
    static void ExpectGaveUp(const Outcome &outcome, int32_t timeoutMs = TIMEOUT_MS) {
        EXPECT_EQ(outcome.result, -1);
        EXPECT_EQ(outcome.error, ETIMEDOUT) << GwLastErrorText();
        EXPECT_TRUE(outcome.guardIntact);
        EXPECT_LT(outcome.ms, timeoutMs + MARGIN_MS);
    }

    // The word 0x1234 in the answer to this very command.
    static void ExpectTheAnswer(const Outcome &outcome) {
        ASSERT_EQ(outcome.result, 6) << GwLastErrorText();
        EXPECT_EQ(Hex(outcome.response), "01 01 00 00 12 34");
        EXPECT_EQ(outcome.header[SID], outcome.sentSid);
        EXPECT_TRUE(outcome.guardIntact);
    }

  private:
    std::unique_ptr<UdpPeer> udp_;
    std::unique_ptr<TcpPeer> tcp_;
};

struct Forgery {
    const char *name;
    size_t at; // header byte of the answer that is changed
    int by;
};

const Forgery FORGERIES[] = {
    {"earlier service id", SID, -1}, {"later service id", SID, +1}, {"source network", 6, +1},
    {"source node", 7, +1},          {"source unit", 8, +0x10},
};

Bytes Forged(const Bytes &request, const Forgery &forgery) {
    Bytes answer = ResponseTo(request, 0, {0xDE, 0xAD});
    answer[forgery.at] = static_cast<uint8_t>(answer[forgery.at] + forgery.by);
    return answer;
}

// A forgery alone ends in the time-out; a forgery before the real answer
// leaves the real answer to be taken.
TEST_F(HostilePeers, ForgedServiceIdOrSourceIsNeverTheAnswer) {
    for (Link link : {Link::Udp, Link::Tcp}) {
        for (const Forgery &forgery : FORGERIES) {
            for (bool answeredAfter : {false, true}) {
                SCOPED_TRACE(std::string(NameOf(link)) + ", " + forgery.name +
                             (answeredAfter ? ", then the answer" : ""));
                GwUnitHandle unit = OpenToPeer(link, [&forgery, answeredAfter](const Bytes &request) {
                    std::vector<Bytes> answers{Forged(request, forgery)};
                    if (answeredAfter) {
                        answers.push_back(ResponseTo(request, 0, WORD_1234));
                    }
                    return answers;
                });
                Outcome outcome = Exchange(unit);
                if (answeredAfter) {
                    ExpectTheAnswer(outcome);
                } else {
                    ExpectGaveUp(outcome);
                }
                GwCounters counters = Counters(unit);
                EXPECT_EQ(counters.discarded, 1u);
                EXPECT_EQ(counters.received, answeredAfter ? 1u : 0u);
                GwCloseUnit(unit);
            }
        }
    }
}

// The largest datagram there is, headed like the answer: longer than any
// FINS frame, so it is refused whole and nothing of it reaches the buffer.
TEST_F(HostilePeers, DatagramOf64KiBIsRefusedWhole) {
    for (bool answeredAfter : {false, true}) {
        SCOPED_TRACE(answeredAfter ? "then the answer" : "alone");
        GwUnitHandle unit = OpenToPeer(Link::Udp, [answeredAfter](const Bytes &request) {
            Bytes huge(65507, 0x55);
            Bytes head = ResponseTo(request, 0, WORD_1234);
            std::copy(head.begin(), head.end(), huge.begin());
            std::vector<Bytes> answers{huge};
            if (answeredAfter) {
                answers.push_back(ResponseTo(request, 0, WORD_1234));
            }
            return answers;
        });
        Outcome outcome = Exchange(unit);
        if (answeredAfter) {
            ExpectTheAnswer(outcome);
        } else {
            ExpectGaveUp(outcome);
        }
        EXPECT_EQ(Counters(unit).discarded, 1u);
        GwCloseUnit(unit);
    }
}

// The envelope of a 30-byte frame and 6 bytes of it, then nothing: the wait
// ends at the time-out, and the unit is of use again soon after.
TEST_F(HostilePeers, HalfTcpFrameThenSilence) {
    TcpScript script;
    script.onNodeRequest = [](const Bytes &, size_t) {
        return std::vector<Bytes>{NodeAnswer(ASSIGNED_NODE, SERVER_NODE)};
    };
    script.onFrame = [](const Bytes &frame, size_t index) {
        if (index == 0) {
            return std::vector<Bytes>{Prefix(TcpMessage(2, 0, Bytes(30, 0xC0)), 22)};
        }
        return std::vector<Bytes>{TcpFrame(ResponseTo(frame, 0, WORD_1234))};
    };
    TcpPeer peer(script);
    GwUnitHandle unit = OpenUnit010(TcpRoute("0.1", peer.Port()));
    ExpectGaveUp(Exchange(unit));
    EXPECT_EQ(Counters(unit).received, 0u);
    // The half frame waits for its rest, which the next answer's first bytes
    // seem to be; the stream is then out of step and the connection is made
    // afresh. No mixture of the two is ever taken as an answer.
    bool recovered = false;
    for (int i = 0; i < 2 && !recovered; ++i) {
        Outcome next = Exchange(unit);
        if (next.result >= 0) {
            ExpectTheAnswer(next);
            recovered = true;
        } else {
            EXPECT_EQ(next.error, EPROTO) << GwLastErrorText();
        }
    }
    EXPECT_TRUE(recovered);
}

// Sends strays that look like answers to earlier commands, as fast as it
// can, from the moment the command arrives until it is told to stop.
class StrayFlood {
  public:
    explicit StrayFlood(Link link) : link_(link) {
        fd_ = socket(AF_INET, link == Link::Udp ? SOCK_DGRAM : SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        bind(fd_, reinterpret_cast<sockaddr *>(&address), size);
        getsockname(fd_, reinterpret_cast<sockaddr *>(&address), &size);
        port_ = ntohs(address.sin_port);
        if (link == Link::Tcp) {
            listen(fd_, 4);
        }
        thread_ = std::thread([this] { link_ == Link::Udp ? FloodDatagrams() : FloodStream(); });
    }
    ~StrayFlood() {
        stop_ = true;
        shutdown(fd_, SHUT_RDWR);
        thread_.join();
        close(fd_);
    }
    uint16_t Port() const { return port_; }
    long Sent() const { return sent_; }

  private:
    static Bytes Stray(const Bytes &request, long index) {
        Bytes stray = ResponseTo(request, 0, WORD_1234);
        stray[SID] = static_cast<uint8_t>(request[SID] + 1 + index % 255);
        return stray;
    }
    void FloodDatagrams() {
        uint8_t request[64];
        sockaddr_in from{};
        socklen_t size = sizeof from;
        ssize_t length = recvfrom(fd_, request, sizeof request, 0, reinterpret_cast<sockaddr *>(&from), &size);
        Bytes frame(request, request + (length > 0 ? length : 0));
        while (!stop_ && frame.size() >= 10) {
            Bytes stray = Stray(frame, sent_);
            if (sendto(fd_, stray.data(), stray.size(), MSG_DONTWAIT, reinterpret_cast<sockaddr *>(&from), size) > 0) {
                ++sent_;
            }
        }
    }
    void FloodStream() {
        int client = accept(fd_, nullptr, nullptr);
        uint8_t request[256];
        if (client < 0 || recv(client, request, 20, MSG_WAITALL) != 20) {
            return;
        }
        Bytes welcome = NodeAnswer(ASSIGNED_NODE, SERVER_NODE);
        send(client, welcome.data(), welcome.size(), MSG_NOSIGNAL);
        ssize_t length = recv(client, request, sizeof request, 0);
        Bytes frame(request + 16, request + (length > 16 ? length : 16));
        // Whole messages only: a message cut off would be a fault of this peer.
        timeval patience{0, 50000};
        setsockopt(client, SOL_SOCKET, SO_SNDTIMEO, &patience, sizeof patience);
        while (!stop_ && frame.size() >= 10) {
            Bytes message = TcpFrame(Stray(frame, sent_));
            size_t done = 0;
            while (!stop_ && done < message.size()) {
                ssize_t n = send(client, message.data() + done, message.size() - done, MSG_NOSIGNAL);
                if (n < 0 && errno != EAGAIN && errno != EINTR) {
                    close(client); // the gateway let go
                    return;
                }
                done += n > 0 ? static_cast<size_t>(n) : 0;
            }
            ++sent_;
        }
        close(client);
    }

    Link link_;
    int fd_ = -1;
    uint16_t port_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<long> sent_{0};
    std::thread thread_;
};

// Strays that keep coming for the whole wait must not hold the caller past
// its time-out.
TEST_F(HostilePeers, EndlessFloodOfStraysEndsAtTheTimeOut) {
    for (Link link : {Link::Udp, Link::Tcp}) {
        SCOPED_TRACE(NameOf(link));
        StrayFlood flood(link);
        GwUnitHandle unit =
            OpenUnit010(link == Link::Udp ? UdpRoute("0.1", flood.Port()) : TcpRoute("0.1", flood.Port()));
        Outcome outcome = Exchange(unit);
        ExpectGaveUp(outcome);
        GwCounters counters = Counters(unit);
        EXPECT_GT(flood.Sent(), 0);
        EXPECT_GT(counters.discarded, 0u);
        EXPECT_EQ(counters.received, 0u);
        GwCloseUnit(unit);
    }
}

// Twenty thousand strays, then the answer: the answer, or the time-out if it
// was lost among them, never a stray.
TEST_F(HostilePeers, FloodOfStraysBeforeTheAnswer) {
    GwUnitHandle unit = OpenToPeer(Link::Udp, [](const Bytes &request) {
        std::vector<Bytes> flood;
        for (int i = 0; i < 20000; ++i) {
            Bytes stray = ResponseTo(request, 0, WORD_1234);
            stray[SID] = static_cast<uint8_t>(request[SID] + 1 + i % 255);
            flood.push_back(stray);
        }
        flood.push_back(ResponseTo(request, 0, WORD_1234));
        return flood;
    });
    Outcome outcome = Exchange(unit);
    EXPECT_TRUE(outcome.guardIntact);
    EXPECT_GT(Counters(unit).discarded, 0u);
    if (outcome.result >= 0) {
        ExpectTheAnswer(outcome);
    } else {
        ExpectGaveUp(outcome);
    }
}

} // namespace
