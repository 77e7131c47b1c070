// The four MIDI external functions called in-process as the host calls them,
// against JACK peers; the receive runs with short test timing.
#include <malloc.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <memory>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "midi/MidiFunctions.h"
#include "midi/MidiIO.h"
#include "midi/PortManager.h"
#include "midi_support.h"
#include "TestSupport.h"

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
extern "C" size_t __sanitizer_get_current_allocated_bytes();
#define VELKORA_LIVE_BYTES() __sanitizer_get_current_allocated_bytes()
#else
#define VELKORA_LIVE_BYTES() mallinfo2().uordblks
#endif

namespace {

using namespace velkora;

// Bytes the process holds allocated: the sanitizer's count when it owns the heap.
size_t LiveBytes() { return VELKORA_LIVE_BYTES(); }

const int kPolls = 500;
const std::chrono::milliseconds kPause(10);

class MidiFunctions : public ::testing::Test {
  protected:
    void SetUp() override {
        Init_MIDIIn();
        Init_MIDIOut();
        SetReceiveTiming(kPolls, kPause);
    }
    void TearDown() override {
        // Ports are closed only once the server has told everyone of the
        // changes before (see SettleJack).
        SettleJack();
        Delete_MIDIIn();
        SettleJack();
        Delete_MIDIOut();
        SetReceiveTiming(30, std::chrono::milliseconds(1000));
    }
};

std::string Receive(const std::vector<Param>& params) { return CallFunction(Velkora_MIDIReceive, params); }

// Sends `text` to output port `port` until `peer` has one message more, again
// after each second without: JACK drops the events of a period a client
// misses, and those written before a new connection is live.
bool SendUntilHeard(JackPeer& peer, long port, const std::string& text) {
    const size_t before = peer.ReceivedCount();
    for (int attempt = 0; attempt < 10; ++attempt) {
        EXPECT_EQ(CallFunction(Velkora_MIDISend, {port, text}), "0") << text;
        if (!peer.WaitFor(before + 1, std::chrono::milliseconds(1000))) continue;
        ReportRetries("a send until the peer heard it", attempt);
        return true;
    }
    return false;
}

// Sends `messages` from peer once a receive has started to wait, 30 ms apart
// (so each meets a poll of its own), then repeats the last one every 200 ms
// until the receive is over: a JACK client that misses a period loses that
// period's events.
class SendWhileWaiting {
  public:
    SendWhileWaiting(JackPeer& peer, const std::vector<Bytes>& messages)
        : thread_([this, &peer, messages] {
              const auto deadline = std::chrono::steady_clock::now() + kPatience;
              while (ReceivePollCount() < 1 && !over_.load() && std::chrono::steady_clock::now() < deadline) {
                  std::this_thread::sleep_for(std::chrono::milliseconds(1));
              }
              for (const Bytes& m : messages) {
                  peer.Send(m);
                  std::this_thread::sleep_for(std::chrono::milliseconds(30));
              }
              for (int i = 0; !over_.load(); ++i) {
                  if (i % 20 == 19) peer.Send(messages.back());
                  std::this_thread::sleep_for(std::chrono::milliseconds(10));
              }
          }) {}
    ~SendWhileWaiting() {
        over_.store(true);
        thread_.join();
    }

  private:
    std::atomic<bool> over_{false};
    std::thread thread_;
};

// ---- port enumeration -------------------------------------------------------------

TEST_F(MidiFunctions, PortNameOfANumberWithoutPortIsEmpty) {
    JackPeer peer;
    for (const char* type : {"in", "out"}) {
        for (long number : {1L, 2L, -1L, 2147483647L, -2147483647L - 1}) {
            EXPECT_EQ(CallFunction(Velkora_PortName, {type, number}), "") << type << " " << number;
        }
    }
}

TEST_F(MidiFunctions, EnumerationLeavesTheOpenPortOpen) {
    JackPeer peer;
    const long n = FindPort("out", peer.in_port());
    ASSERT_EQ(CallFunction(Velkora_MIDISend, {n, "144,60,100"}), "0");
    CallFunction(Velkora_PortCount, {"out"});
    CallFunction(Velkora_PortName, {"out", n});
    EXPECT_EQ(MidiOut().OpenPort(), n);
}

// ---- send ----------------------------------------------------------------------

TEST_F(MidiFunctions, SendDeliversTheMessageWhole) {
    JackPeer peer;
    const long n = FindPort("out", peer.in_port());
    ASSERT_GE(n, 0);
    const struct {
        const char* name;
        std::string text;
        Bytes expected;
    } rows[] = {
        {"note on", "144,60,100", {144, 60, 100}},
        {"blanks around values", " 176, 7 ,100", {176, 7, 100}},
        {"SysEx of 64 bytes, the most read on the stack", ValueList(SysEx(64)), SysEx(64)},
        {"SysEx of 65 bytes", ValueList(SysEx(65)), SysEx(65)},
        {"SysEx of 2,000 bytes", ValueList(SysEx(2000)), SysEx(2000)},
        {"SysEx of 8,000 bytes", ValueList(SysEx(8000)), SysEx(8000)},
        {"SysEx of 16,379 bytes, the most JACK's send takes", ValueList(SysEx(16379)), SysEx(16379)},
    };
    for (const auto& row : rows) {
        const size_t before = peer.ReceivedCount();
        ASSERT_TRUE(SendUntilHeard(peer, n, row.text)) << row.name;
        EXPECT_EQ(peer.Received()[before], row.expected) << row.name;
    }
    // One byte more would be dropped on the way without a word: it is refused.
    const size_t before = peer.ReceivedCount();
    EXPECT_EQ(CallFunction(Velkora_MIDISend, {n, ValueList(SysEx(16380))}), "-1");
    ASSERT_TRUE(SendUntilHeard(peer, n, "144,1,1"));
    EXPECT_EQ(peer.Received()[before], (Bytes{144, 1, 1}));
}

TEST_F(MidiFunctions, SendToAMissingPortSendsNothingAndOpensNothing) {
    JackPeer peer;
    const long count = CountPorts("out");
    for (long n : {-1L, count, count + 50}) {
        fmx::errcode code = -1;
        EXPECT_EQ(CallFunction(Velkora_MIDISend, {n, "144,60,100"}, &code), "-1") << n;
        EXPECT_EQ(code, 0) << n;
        EXPECT_EQ(MidiOut().OpenPort(), std::nullopt) << n;
        EXPECT_FALSE(MidiOut().LibraryPortOpen()) << n;
    }
    EXPECT_EQ(peer.ReceivedCount(), 0u);
}

TEST_F(MidiFunctions, SendWithoutAnOutputObjectGivesMinusOne) {
    JackPeer peer;
    const long n = FindPort("out", peer.in_port());
    Delete_MIDIOut();
    EXPECT_EQ(CallFunction(Velkora_MIDISend, {n, "144,60,100"}), "-1");
}

TEST_F(MidiFunctions, ASendAfterItsDeviceHasGoneSendsNothing) {
    std::unique_ptr<JackPeer> peer(new JackPeer);
    const long n = FindPort("out", peer->in_port());
    ASSERT_TRUE(SendUntilHeard(*peer, n, "144,60,100"));
    peer.reset();
    SettleJack();
    ASSERT_GE(n, CountPorts("out"));  // an attempt to open n fails now
    EXPECT_EQ(CallFunction(Velkora_MIDISend, {n, "128,60,0"}), "-1");
    EXPECT_EQ(MidiOut().OpenPort(), std::nullopt);
}

// ---- no MIDI system reachable ----------------------------------------------------

// With no JACK server, calls give what a failed open gives, and memory does not
// grow with their number; a server that comes later is found by the next call.
TEST_F(MidiFunctions, WithNoServerCallsHoldNoMemoryAndALaterServerIsFound) {
    const std::string server = std::getenv("JACK_DEFAULT_SERVER");
    Delete_MIDIIn();
    Delete_MIDIOut();
    setenv("JACK_DEFAULT_SERVER", "velkora-no-such-server", 1);
    Init_MIDIIn();
    Init_MIDIOut();
    const struct {
        fmx::ExtPluginType function;
        std::vector<Param> params;
        const char* expected;
    } rows[] = {{Velkora_MIDISend, {0, "144,60,100"}, "-1"},
                {Velkora_PortCount, {"out"}, "0"},
                {Velkora_PortName, {"out", 0}, ""},
                {Velkora_MIDIReceive, {0, 0, "1,2"}, ""}};
    // Each call costs a failed JACK connection (~5 ms): 10 rounds against 250.
    size_t after_10 = 0;
    for (int round = 1; round <= 250; ++round) {
        for (const auto& row : rows) EXPECT_EQ(CallFunction(row.function, row.params), row.expected);
        if (round == 10) after_10 = LiveBytes();
    }
    EXPECT_LT(LiveBytes(), after_10 + 16384) << "memory grew with the number of calls";

    setenv("JACK_DEFAULT_SERVER", server.c_str(), 1);
    JackPeer peer;
    EXPECT_GE(FindPort("in", peer.out_port()), 0);
    const long out = FindPort("out", peer.in_port());
    ASSERT_GE(out, 0);
    EXPECT_EQ(CallFunction(Velkora_MIDISend, {out, "144,60,100"}), "0");
    EXPECT_TRUE(peer.WaitFor(1));
}

// ---- receive -------------------------------------------------------------------

TEST_F(MidiFunctions, RequestBringsTheSynthDump) {
    SynthProcess synth;
    ASSERT_TRUE(synth.ready()) << synth.error_output();
    const long in = FindPort("in", synth.out_port());
    ASSERT_TRUE(MidiIn().Set(in));  // our input port joins the output list; number after it
    const long out = FindPort("out", synth.in_port());
    // Asked again when no answer came: the request goes out on a connection
    // just made, and JACK drops what is written before it is live.
    std::string answer;
    int attempt = 0;
    for (; attempt < 3 && answer.empty(); ++attempt) answer = Receive({in, out, "240,67,32,0,247"});
    ReportRetries("a dump request", attempt - 1);
    EXPECT_EQ(answer, SynthDump());
    EXPECT_EQ(synth.NextLine(), "240,67,32,0,247");
}

TEST_F(MidiFunctions, WithOnlyAnInPortTheNextMessageComesBack) {
    SynthProcess synth({"--send", "176,7,100", "--every", "20"});
    ASSERT_TRUE(synth.ready()) << synth.error_output();
    EXPECT_EQ(Receive({FindPort("in", synth.out_port())}), "176,7,100");
}

TEST_F(MidiFunctions, ClockSensingAndTimeCodeDoNotEndTheWait) {
    JackPeer peer;
    SendWhileWaiting sender(peer, {{248}, {254}, {241, 0x21}, {248}, {144, 60, 100}});
    EXPECT_EQ(Receive({FindPort("in", peer.out_port())}), "144,60,100");
}

TEST_F(MidiFunctions, SysExEndsTheWait) {
    JackPeer peer;
    SendWhileWaiting sender(peer, {SysEx(300)});
    EXPECT_EQ(Receive({FindPort("in", peer.out_port())}), ValueList(SysEx(300)));
}

TEST_F(MidiFunctions, AOneByteMessageEndsTheWaitEmpty) {
    JackPeer peer;
    {
        SendWhileWaiting sender(peer, {{250}});
        EXPECT_EQ(Receive({FindPort("in", peer.out_port())}), "");
    }
    EXPECT_LT(ReceivePollCount(), kPolls) << "the wait ran out instead";
}

TEST_F(MidiFunctions, AMessageQueuedBeforeTheCallIsDrained) {
    JackPeer peer;
    const long in = FindPort("in", peer.out_port());
    SetReceiveTiming(1, std::chrono::milliseconds(1));
    ASSERT_EQ(Receive({in}), "");  // leaves the port open; whatever arrives now queues
    SetReceiveTiming(kPolls, kPause);
    // A witness hears what our input hears, in the same period. Once it has
    // heard the note, then a tick from another peer, then a second tick, a
    // whole period has passed since the last copy of the note reached our input.
    JackPeer witness("witness"), ticker("ticker");
    ASSERT_TRUE(witness.Connect(peer.out_port(), witness.in_port()));
    ASSERT_TRUE(witness.Connect(ticker.out_port(), witness.in_port()));
    const auto send_until_heard = [&](JackPeer& from, const Bytes& message) {
        for (int sends = 0; sends < 50; ++sends) {  // until the new connection is live
            from.Send(message);
            witness.WaitFor(witness.ReceivedCount() + 1, std::chrono::milliseconds(200));
            const std::vector<Bytes> got = witness.Received();
            if (std::find(got.begin(), got.end(), message) != got.end()) return true;
        }
        return false;
    };
    ASSERT_TRUE(send_until_heard(peer, {144, 60, 1}));
    ASSERT_TRUE(send_until_heard(ticker, {144, 60, 8}));
    ASSERT_TRUE(send_until_heard(ticker, {144, 60, 9}));
    SendWhileWaiting sender(peer, {{144, 60, 2}});
    EXPECT_EQ(Receive({in}), "144,60,2");
}

TEST_F(MidiFunctions, NoAnswerGivesTheEmptyTextAfterAllPolls) {
    JackPeer peer;
    SetReceiveTiming(30, std::chrono::milliseconds(1));
    EXPECT_EQ(Receive({FindPort("in", peer.out_port())}), "");
    EXPECT_EQ(ReceivePollCount(), 30);
}

TEST_F(MidiFunctions, TwoParametersSendNoRequestAndSelectNoOutput) {
    JackPeer peer;
    SetReceiveTiming(3, std::chrono::milliseconds(1));
    EXPECT_EQ(Receive({FindPort("in", peer.out_port()), FindPort("out", peer.in_port())}), "");
    EXPECT_EQ(MidiOut().OpenPort(), std::nullopt);
    EXPECT_EQ(ReceivePollCount(), 3);
}

TEST_F(MidiFunctions, RequestsShorterThanTwoBytesAreNotSentButTheWaitHappens) {
    JackPeer peer;
    const long in = FindPort("in", peer.out_port());
    ASSERT_TRUE(MidiIn().Set(in));
    const long out = FindPort("out", peer.in_port());
    SetReceiveTiming(3, std::chrono::milliseconds(1));
    for (const char* request : {"", "5", "300"}) {
        EXPECT_EQ(Receive({in, out, request}), "") << "'" << request << "'";
        EXPECT_EQ(ReceivePollCount(), 3) << "'" << request << "'";
        EXPECT_EQ(MidiOut().OpenPort(), out) << "'" << request << "'";
    }
    // A marker sent afterwards is the first thing the peer ever got.
    ASSERT_TRUE(SendUntilHeard(peer, out, "144,1,1"));
    EXPECT_EQ(peer.Received().front(), (Bytes{144, 1, 1}));
}

TEST_F(MidiFunctions, AnInPortThatCannotBeOpenedReturnsAtOnceWithoutRequest) {
    JackPeer peer;
    const long out = FindPort("out", peer.in_port());
    for (long in : {-1L, 7L}) {
        EXPECT_EQ(Receive({in, out, "240,67,32,0,247"}), "") << in;
        EXPECT_EQ(ReceivePollCount(), 0) << in;
        EXPECT_EQ(MidiOut().OpenPort(), std::nullopt) << in;
    }
    Delete_MIDIIn();
    EXPECT_EQ(Receive({0, out, "240,67,32,0,247"}), "");
    EXPECT_EQ(ReceivePollCount(), 0);
    EXPECT_EQ(peer.ReceivedCount(), 0u);
}

TEST_F(MidiFunctions, PortQueriesDoNotWaitForAWaitingReceive) {
    JackPeer peer;
    const long in = FindPort("in", peer.out_port());
    const std::string count = CallFunction(Velkora_PortCount, {"in"});
    const std::string name = CallFunction(Velkora_PortName, {"in", 0});
    SetReceiveTiming(100, std::chrono::milliseconds(100));  // 10 s unless a note ends it
    std::atomic<bool> over{false};
    std::string got;
    std::thread receiver([&] {
        got = Receive({in});
        over.store(true);
    });
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    while (ReceivePollCount() < 1 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_EQ(CallFunction(Velkora_PortCount, {"in"}), count);
    EXPECT_EQ(CallFunction(Velkora_PortName, {"in", 0}), name);
    EXPECT_FALSE(over.load()) << "the port queries waited for the receive to end";
    while (!over.load() && std::chrono::steady_clock::now() < deadline) {
        peer.Send({144, 60, 100});
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    receiver.join();
    EXPECT_EQ(got, "144,60,100");
}

TEST_F(MidiFunctions, ReceivesStartedTogetherEachGetTheirOwnPort) {
    JackPeer a("turn-a"), b("turn-b");
    const long port_a = FindPort("in", a.out_port()), port_b = FindPort("in", b.out_port());
    std::atomic<bool> over{false};
    std::thread players([&] {
        for (; !over.load(); std::this_thread::sleep_for(std::chrono::milliseconds(5))) {
            a.Send({144, 1, 100});
            b.Send({144, 2, 100});
        }
    });
    // Receives 0 and 2 listen to a, 1 and 3 to b: a switch under one gives it b's note or nothing.
    // JACK makes a port's connections live at a period's start, so a port just
    // switched can still bring the old peer's note of that one period (about
    // 5 ms here); a round that met it is run again. Without one receive at a
    // time, most rounds go wrong.
    std::vector<std::string> got(4);
    const auto round_right = [&] {
        std::vector<std::thread> receivers;
        for (size_t i = 0; i < got.size(); ++i) {
            receivers.emplace_back([&, i] { got[i] = Receive({i % 2 ? port_b : port_a}); });
        }
        for (std::thread& t : receivers) t.join();
        for (size_t i = 0; i < got.size(); ++i) {
            if (got[i] != (i % 2 ? "144,2,100" : "144,1,100")) return false;
        }
        return true;
    };
    int round = 0;
    while (round < 3 && !round_right()) ++round;
    ReportRetries("a round of four receives", round);
    over.store(true);
    players.join();
    for (size_t i = 0; i < got.size(); ++i) EXPECT_EQ(got[i], i % 2 ? "144,2,100" : "144,1,100") << "receive " << i;
}

std::atomic<int> host_interrupts{0};
void HostInterruptHandler(int) { host_interrupts.fetch_add(1); }

TEST_F(MidiFunctions, SigintEndsTheWaitAndTheHostHandlerIsBackAfterwards) {
    struct sigaction host {
    }, previous{};
    host.sa_handler = HostInterruptHandler;
    sigemptyset(&host.sa_mask);
    ASSERT_EQ(sigaction(SIGINT, &host, &previous), 0);
    JackPeer peer;
    SetReceiveTiming(2000, std::chrono::milliseconds(10));  // 20 s: far longer than the test needs
    std::thread interrupter([] {
        const auto deadline = std::chrono::steady_clock::now() + kPatience;
        while (ReceivePollCount() < 2 && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        kill(getpid(), SIGINT);
    });
    EXPECT_EQ(Receive({FindPort("in", peer.out_port())}), "");
    interrupter.join();
    EXPECT_LT(ReceivePollCount(), 2000);
    EXPECT_EQ(host_interrupts.load(), 0) << "the wait let the host handler take its SIGINT";

    struct sigaction now {};
    sigaction(SIGINT, nullptr, &now);
    EXPECT_EQ(now.sa_handler, &HostInterruptHandler);
    raise(SIGINT);
    EXPECT_EQ(host_interrupts.load(), 1);
    sigaction(SIGINT, &previous, nullptr);
}

}  // namespace
