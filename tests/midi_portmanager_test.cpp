// The port manager against a real JACK server: which port is open on each
// side, when the library is asked, and what a failed open leaves behind.
// Every case runs for both sides.
#include <climits>
#include <memory>
#include <thread>

#include <gtest/gtest.h>

#include "midi/MidiIO.h"
#include "midi/PortManager.h"
#include "midi_support.h"

namespace {

struct Side {
    const char* type;  // as Velkora_PortCount names it
    bool (*set)(long);
    bool (*open)(long);
    void (*init)();
    void (*remove)();
    int32_t* exists;
    int32_t* port_flag;
    long* number;
    bool (*has_object)();
    bool (*object_has_port)();  // the library's own view
    const std::string& (JackPeer::*peer_port)() const;
};

const Side kSides[] = {
    {"in", Set_InPort, Open_InPort, Init_MIDIIn, Delete_MIDIIn, &in_flag, &inport_flag, &inport_number,
     [] { return midiin != nullptr; }, [] { return midiin && midiin->isPortOpen(); }, &JackPeer::out_port},
    {"out", Set_OutPort, Open_OutPort, Init_MIDIOut, Delete_MIDIOut, &out_flag, &outport_flag, &outport_number,
     [] { return midiout != nullptr; }, [] { return midiout && midiout->isPortOpen(); }, &JackPeer::in_port},
};

long PortOf(const Side& side, const JackPeer& peer) { return FindPort(side.type, (peer.*side.peer_port)()); }

// True when a message gets through the side's open port to or from peer.
// The note goes again every 200 ms until one arrives: a JACK client that
// misses a period loses that period's events. False needs the whole patience.
bool Delivers(const Side& side, JackPeer& peer, std::chrono::milliseconds patience = kPatience) {
    const Bytes note = {144, 60, 100};
    const auto deadline = std::chrono::steady_clock::now() + patience;
    const bool out = side.type == std::string("out");
    Bytes got;
    while (out ? false : (midiin->getMessage(&got), !got.empty())) {
    }
    const size_t before = peer.ReceivedCount();
    while (std::chrono::steady_clock::now() < deadline) {
        if (out) {
            midiout->sendMessage(&note);
            if (peer.WaitFor(before + 1, std::chrono::milliseconds(200))) return peer.Received()[before] == note;
            continue;
        }
        peer.Send(note);
        const auto next = std::chrono::steady_clock::now() + std::chrono::milliseconds(200);
        while (std::chrono::steady_clock::now() < next) {
            midiin->getMessage(&got);
            if (!got.empty()) return got == note;
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
    EXPECT_EQ(*side.exists, 1);
    EXPECT_EQ(*side.port_flag, 0);
    EXPECT_GE(PortOf(side, peer), 0) << "the object does not see the JACK server's ports";
}

TEST_P(PortManager, SelectingAPortOpensItAndRecordsTheNumber) {
    const Side& side = GetParam();
    JackPeer peer;
    const long n = PortOf(side, peer);
    ASSERT_GE(n, 0);
    EXPECT_TRUE(side.set(n));
    EXPECT_EQ(*side.port_flag, 1);
    EXPECT_EQ(*side.number, n);
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
        ASSERT_EQ(*side.port_flag, 1);
        EXPECT_TRUE(side.set(row.number));  // always true; the flag tells
        EXPECT_EQ(*side.port_flag, 0);
        // JACK would register an unconnected port for such a number.
        EXPECT_FALSE(side.object_has_port());
        EXPECT_FALSE(side.open(row.number));
        EXPECT_EQ(*side.port_flag, 0);
        EXPECT_FALSE(side.object_has_port());
    }
}

TEST_P(PortManager, SelectingTheOpenPortAsksTheLibraryNothing) {
    const Side& side = GetParam();
    std::unique_ptr<JackPeer> peer(new JackPeer);
    const long n = PortOf(side, *peer);
    ASSERT_TRUE(side.set(n));
    ASSERT_EQ(*side.port_flag, 1);
    peer.reset();  // the device goes away
    // An open of n would fail now, so a kept flag shows that none was tried.
    ASSERT_GE(n, CountPorts(side.type));
    EXPECT_TRUE(side.set(n));
    EXPECT_EQ(*side.port_flag, 1);
    EXPECT_EQ(*side.number, n);
    EXPECT_TRUE(side.object_has_port());
}

TEST_P(PortManager, SwitchingToAMissingPortClosesTheOpenOne) {
    const Side& side = GetParam();
    JackPeer first, second;
    const long n = PortOf(side, second);
    ASSERT_GE(n, 0);
    ASSERT_LT(CountPorts(side.type), 9);
    side.set(n);
    ASSERT_EQ(*side.port_flag, 1);
    side.set(9);
    EXPECT_EQ(*side.port_flag, 0);
    EXPECT_FALSE(side.object_has_port());
    side.set(n);  // and back: opened again
    EXPECT_EQ(*side.port_flag, 1);
    EXPECT_TRUE(Delivers(side, second));
}

TEST_P(PortManager, AnotherPortTakesTheConnectionOver) {
    const Side& side = GetParam();
    const struct {
        const char* name;
        bool (*select)(long);
    } rows[] = {{"Set_", side.set}, {"Open_ on top of an open port", side.open}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        JackPeer first, second;
        row.select(PortOf(side, first));
        ASSERT_EQ(*side.port_flag, 1);
        row.select(PortOf(side, second));
        EXPECT_EQ(*side.port_flag, 1);
        EXPECT_EQ(*side.number, PortOf(side, second));
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
    EXPECT_EQ(*side.exists, 0);
    EXPECT_FALSE(side.has_object());
    EXPECT_TRUE(side.set(n));  // would crash on the missing object if it asked
    EXPECT_EQ(*side.port_flag, 0);
    EXPECT_FALSE(side.open(n));
    EXPECT_EQ(CountPorts(side.type), 0);
    EXPECT_EQ(NameOfPort(side.type, n), "");
}

TEST_P(PortManager, ANewStartOpensThePortThatWasOpenBefore) {
    const Side& side = GetParam();
    JackPeer peer;
    const long n = PortOf(side, peer);
    side.set(n);
    ASSERT_EQ(*side.port_flag, 1);
    side.remove();
    side.init();
    EXPECT_EQ(*side.exists, 1);
    EXPECT_EQ(*side.port_flag, 0);
    side.set(n);
    EXPECT_EQ(*side.port_flag, 1);
    EXPECT_TRUE(Delivers(side, peer));
}

TEST_P(PortManager, DeletingTwiceDestroysOnce) {
    const Side& side = GetParam();
    side.remove();
    side.remove();
    EXPECT_EQ(*side.exists, 0);
    EXPECT_EQ(*side.port_flag, 0);
    EXPECT_FALSE(side.has_object());
}

TEST_P(PortManager, StartingTwiceKeepsTheObjectAndItsPort) {
    const Side& side = GetParam();
    JackPeer peer;
    side.set(PortOf(side, peer));
    ASSERT_EQ(*side.port_flag, 1);
    side.init();
    EXPECT_EQ(*side.port_flag, 1);
    EXPECT_TRUE(Delivers(side, peer));
}

INSTANTIATE_TEST_SUITE_P(Side, PortManager, ::testing::ValuesIn(kSides),
                         [](const ::testing::TestParamInfo<Side>& info) { return std::string(info.param.type); });

}  // namespace
