// The port manager against a real JACK server: which port is open on each
// side, when the library is asked, and what a failed open leaves behind.
// Every case runs for both sides.
#include <climits>
#include <functional>
#include <optional>
#include <memory>
#include <thread>

#include <gtest/gtest.h>

#include "midi/MidiIO.h"
#include "midi/PortManager.h"
#include "midi_support.h"

namespace {

using namespace velkora;

struct Side {
    const char* type;  // as Velkora_PortCount names it
    std::function<bool(long)> set;
    std::function<bool(long)> open;
    std::function<void()> init;
    std::function<void()> remove;
    std::function<bool()> exists;
    std::function<std::optional<long>()> port;
    std::function<bool()> library_port_open;  // the library's own view
    const std::string& (JackPeer::*peer_port)() const;
};

template <typename S>
Side MakeSide(const char* type, S& (*side)(), const std::string& (JackPeer::*peer_port)() const) {
    return {type,
            [side](long n) { return side().Set(n); },
            [side](long n) { return side().Open(n); },
            [side] { side().Init(); },
            [side] { side().Delete(); },
            [side] { return side().Exists(); },
            [side] { return side().OpenPort(); },
            [side] { return side().LibraryPortOpen(); },
            peer_port};
}

const Side kSides[] = {MakeSide("in", MidiIn, &JackPeer::out_port), MakeSide("out", MidiOut, &JackPeer::in_port)};

long PortOf(const Side& side, const JackPeer& peer) { return FindPort(side.type, (peer.*side.peer_port)()); }

// True when a message gets through the side's open port to or from peer.
// The note goes again every 200 ms until one arrives: a JACK client that
// misses a period loses that period's events. False needs the whole patience.
bool Delivers(const Side& side, JackPeer& peer, std::chrono::milliseconds patience = kPatience) {
    const std::optional<long> port = side.port();
    if (!port) return false;
    const Bytes note = {144, 60, 100};
    const auto deadline = std::chrono::steady_clock::now() + patience;
    const bool out = side.type == std::string("out");
    Bytes got;
    while (!out && MidiIn().Poll(*port, got) == PollResult::message) {
    }
    const size_t before = peer.ReceivedCount();
    while (std::chrono::steady_clock::now() < deadline) {
        if (out) {
            MidiOut().Send(*port, note.data(), note.size());
            if (peer.WaitFor(before + 1, std::chrono::milliseconds(200))) return peer.Received()[before] == note;
            continue;
        }
        peer.Send(note);
        const auto next = std::chrono::steady_clock::now() + std::chrono::milliseconds(200);
        while (std::chrono::steady_clock::now() < next) {
            if (MidiIn().Poll(*port, got) == PollResult::message) return got == note;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }
    return false;
}

class PortManager : public ::testing::TestWithParam<Side> {
  protected:
    // Each case starts both sides afresh, so the only ports a side lists are
    // the peers' of this case.
    void SetUp() override {
        Init_MIDIIn();
        Init_MIDIOut();
    }
    void TearDown() override {
        // Ports are closed only once the server has told everyone of the
        // changes before (see SettleJack).
        SettleJack();
        Delete_MIDIIn();
        SettleJack();
        Delete_MIDIOut();
    }
};

TEST_P(PortManager, StartsWithAWorkingObject) {
    // With no ALSA sequencer here, this needs the fall-back to the next API.
    const Side& side = GetParam();
    JackPeer peer;
    EXPECT_TRUE(side.exists());
    EXPECT_EQ(side.port(), std::nullopt);
    EXPECT_GE(PortOf(side, peer), 0) << "the object does not see the JACK server's ports";
}

TEST_P(PortManager, SelectingAPortOpensItAndRecordsTheNumber) {
    const Side& side = GetParam();
    JackPeer peer;
    const long n = PortOf(side, peer);
    ASSERT_GE(n, 0);
    EXPECT_TRUE(side.set(n));
    EXPECT_TRUE(side.port());
    EXPECT_EQ(side.port(), n);
    EXPECT_TRUE(Delivers(side, peer));
}

TEST_P(PortManager, NumbersThatNameNoPortOpenNothing) {
    const Side& side = GetParam();
    JackPeer peer;
    const long count = CountPorts(side.type);
    const struct {
        const char* name;
        long number;
    } rows[] = {
        {"-1 (asks for port 2147483647)", -1},
        {"the count", count},
        {"far beyond the count", count + 9},
        {"INT_MAX", INT_MAX},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        ASSERT_TRUE(side.set(PortOf(side, peer)));
        ASSERT_TRUE(side.port());
        EXPECT_FALSE(side.set(row.number));
        EXPECT_EQ(side.port(), std::nullopt);
        // JACK would register an unconnected port for such a number.
        EXPECT_FALSE(side.library_port_open());
        EXPECT_FALSE(side.open(row.number));
        EXPECT_EQ(side.port(), std::nullopt);
        EXPECT_FALSE(side.library_port_open());
    }
}

TEST_P(PortManager, TheOpenPortIsReusedWhileItsDeviceStays) {
    const Side& side = GetParam();
    std::unique_ptr<JackPeer> first(new JackPeer("first")), second(new JackPeer("second"));
    const long n = PortOf(side, *second);
    ASSERT_TRUE(side.set(n));
    first.reset();  // the graph changes; the device behind n stays
    SettleJack();
    // An open of n would fail now, so a kept port shows that none was tried.
    ASSERT_GE(n, CountPorts(side.type));
    EXPECT_TRUE(side.set(n));
    EXPECT_EQ(side.port(), n);
    EXPECT_TRUE(Delivers(side, *second));
    second.reset();  // now the device goes
    SettleJack();
    EXPECT_FALSE(side.set(n));
    EXPECT_EQ(side.port(), std::nullopt);
    EXPECT_FALSE(side.library_port_open());
}

TEST_P(PortManager, SwitchingToAMissingPortClosesTheOpenOne) {
    const Side& side = GetParam();
    JackPeer first, second;
    const long n = PortOf(side, second);
    ASSERT_GE(n, 0);
    ASSERT_LT(CountPorts(side.type), 9);
    ASSERT_TRUE(side.set(n));
    EXPECT_FALSE(side.set(9));
    EXPECT_EQ(side.port(), std::nullopt);
    EXPECT_FALSE(side.library_port_open());
    side.set(n);  // and back: opened again
    EXPECT_TRUE(side.port());
    EXPECT_TRUE(Delivers(side, second));
}

TEST_P(PortManager, AnotherPortTakesTheConnectionOver) {
    const Side& side = GetParam();
    const struct {
        const char* name;
        const std::function<bool(long)>& select;
    } rows[] = {{"Set", side.set}, {"Open on top of an open port", side.open}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        JackPeer first, second;
        row.select(PortOf(side, first));
        ASSERT_TRUE(side.port());
        row.select(PortOf(side, second));
        EXPECT_TRUE(side.port());
        EXPECT_EQ(side.port(), PortOf(side, second));
        EXPECT_TRUE(Delivers(side, second));
        // Still connected to the first peer, the side would reach it too.
        EXPECT_FALSE(Delivers(side, first, std::chrono::milliseconds(300)));
    }
}

TEST_P(PortManager, AnAbsentSideOpensNothing) {
    const Side& side = GetParam();
    JackPeer peer;
    const long n = PortOf(side, peer);
    side.remove();
    EXPECT_FALSE(side.exists());
    EXPECT_FALSE(side.set(n));  // would crash on the missing object if it asked
    EXPECT_EQ(side.port(), std::nullopt);
    EXPECT_FALSE(side.open(n));
    EXPECT_EQ(CountPorts(side.type), 0);
    EXPECT_EQ(NameOfPort(side.type, n), "");
}

TEST_P(PortManager, ANewStartOpensThePortThatWasOpenBefore) {
    const Side& side = GetParam();
    JackPeer peer;
    const long n = PortOf(side, peer);
    side.set(n);
    ASSERT_TRUE(side.port());
    side.remove();
    side.init();
    EXPECT_TRUE(side.exists());
    EXPECT_EQ(side.port(), std::nullopt);
    side.set(n);
    EXPECT_TRUE(side.port());
    EXPECT_TRUE(Delivers(side, peer));
}

TEST_P(PortManager, DeletingTwiceDestroysOnce) {
    const Side& side = GetParam();
    side.remove();
    side.remove();
    EXPECT_FALSE(side.exists());
    EXPECT_EQ(side.port(), std::nullopt);
}

TEST_P(PortManager, StartingTwiceKeepsTheObjectAndItsPort) {
    const Side& side = GetParam();
    JackPeer peer;
    side.set(PortOf(side, peer));
    ASSERT_TRUE(side.port());
    side.init();
    EXPECT_TRUE(side.port());
    EXPECT_TRUE(Delivers(side, peer));
}

INSTANTIATE_TEST_SUITE_P(Side, PortManager, ::testing::ValuesIn(kSides),
                         [](const ::testing::TestParamInfo<Side>& info) { return std::string(info.param.type); });

}  // namespace
