// The lifecycle under abuse, in-process against a JACK server: a hundred
// rounds of Init, calls with real ports open, Shutdown; calls that arrive
// after Shutdown; Init and Shutdown sent twice. Nothing may leak (host objects,
// descriptors), no port may survive a restart, and nothing may crash (ASan
// catches a use after free or a double free).
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "midi/MidiIO.h"
#include "midi/PortManager.h"
#include "midi_support.h"
#include "reliability_inprocess.h"

namespace {

using velkora::ReceivePollCount;
using velkora::SetReceiveTiming;

// Sides that exist and ports open on them: 0 once the plug-in is shut down.
int MidiInUse() {
    return velkora::MidiIn().Exists() + velkora::MidiOut().Exists() + velkora::MidiIn().OpenPort().has_value() +
           velkora::MidiOut().OpenPort().has_value();
}

using reliability::Arg;
using reliability::Outcome;

const int kRounds = 100;

class Lifecycle : public ::testing::Test {
  protected:
    void SetUp() override {
        fmx::FMH_Hook_Reset();
        SetReceiveTiming(2, std::chrono::milliseconds(1));
    }
    void TearDown() override {
        SendShutdown();
        SetReceiveTiming(30, std::chrono::milliseconds(1000));
    }

    static std::string CallOk(const std::string& name, const std::vector<Arg>& args) {
        fmx::ExtPluginType fn = reliability::Find(name);
        EXPECT_NE(fn, nullptr) << name;
        if (fn == nullptr) return "?";
        const Outcome o = reliability::Call(fn, args);
        EXPECT_EQ(o.exception, Outcome::kNone) << name << " raised " << reliability::Describe(o.exception);
        return o.result;
    }

    // One round with ports open: the peer hears the note, our input listens
    // on the peer's output.
    static void Round(JackPeer& peer, int round) {
        ASSERT_EQ(SendInit(), 55) << "round " << round;
        ASSERT_TRUE(velkora::MidiIn().Exists()) << "round " << round;
        ASSERT_TRUE(velkora::MidiOut().Exists()) << "round " << round;
        EXPECT_FALSE(velkora::MidiIn().OpenPort()) << "round " << round << ": an input port survived the restart";
        EXPECT_FALSE(velkora::MidiOut().OpenPort()) << "round " << round << ": an output port survived the restart";

        const long out = FindPort("out", peer.in_port());
        ASSERT_GE(out, 0) << "round " << round;
        const size_t heard = peer.ReceivedCount();
        EXPECT_EQ(CallOk("Velkora_MIDISend", {double(out), "144,60,100"}), "0") << "round " << round;
        EXPECT_TRUE(velkora::MidiOut().OpenPort()) << "round " << round << ": the first send did not open the port";
        // JACK makes the new connection in a later cycle and drops what was
        // written before it: the first note may be lost, a later one is not.
        bool arrived = peer.WaitFor(heard + 1, std::chrono::milliseconds(500));
        for (int again = 0; again < 5 && !arrived; ++again) {
            EXPECT_EQ(CallOk("Velkora_MIDISend", {double(out), "144,60,100"}), "0") << "round " << round;
            arrived = peer.WaitFor(heard + 1, std::chrono::milliseconds(2000));
        }
        EXPECT_TRUE(arrived) << "round " << round << ": the peer heard nothing on the reopened port";

        const long in = FindPort("in", peer.out_port());
        ASSERT_GE(in, 0) << "round " << round;
        EXPECT_EQ(CallOk("Velkora_MIDIReceive", {double(in), double(out), "240,67,32,0,247"}), "") << "round " << round;
        EXPECT_TRUE(velkora::MidiIn().OpenPort()) << "round " << round;
        EXPECT_EQ(CallOk("Velkora_NumToHex", {"255,10,0"}), "FF,0A,00") << "round " << round;
        EXPECT_NE(CallOk("Velkora_PortName", {"out", double(out)}), "") << "round " << round;

        SettleJack();  // the receive's new connection first reaches every client
        SendShutdown();
        EXPECT_EQ(MidiInUse(), 0) << "round " << round;
        EXPECT_EQ(fmx::FMH_Registry_Count(), 0u) << "round " << round;
    }
};

TEST_F(Lifecycle, HundredRestartsWithOpenPortsLeakNothing) {
    std::unique_ptr<JackPeer> peer;
    ASSERT_NO_THROW(peer.reset(new JackPeer("lifecycle"))) << "the JACK server of the test fixture is missing";

    // Two rounds first: the JACK library opens some descriptors once per process.
    for (int round = 0; round < 2; ++round) Round(*peer, round);
    const reliability::LiveCounts live = reliability::Live();
    const int descriptors = reliability::OpenDescriptors();

    for (int round = 2; round < kRounds && !HasFatalFailure(); ++round) {
        Round(*peer, round);
        ASSERT_EQ(reliability::Show(reliability::Live()), reliability::Show(live)) << "round " << round;
        ASSERT_EQ(reliability::OpenDescriptors(), descriptors) << "round " << round << ": descriptors leak";
    }
    EXPECT_GE(peer->ReceivedCount(), static_cast<size_t>(kRounds));
}

// A host that calls functions it was told are gone (it kept the pointers)
// gets neutral results: no MIDI object is touched, nothing waits.
TEST_F(Lifecycle, CallsAfterShutdownAreNeutral) {
    std::unique_ptr<JackPeer> peer;
    ASSERT_NO_THROW(peer.reset(new JackPeer("after")));
    ASSERT_EQ(SendInit(), 55);
    const long out = FindPort("out", peer->in_port());
    const long in = FindPort("in", peer->out_port());
    ASSERT_GE(out, 0);
    ASSERT_GE(in, 0);

    const char* const kNames[] = {
        "Velkora_Version",  "Velkora_MIDISend",   "Velkora_PortCount",    "Velkora_PortName",    "Velkora_MIDIReceive",
        "Velkora_Checksum", "Velkora_SysexWrite", "Velkora_SysexRead",    "Velkora_NumToBin",    "Velkora_BinToNum",
        "Velkora_NumToHex", "Velkora_HexToNum",   "Velkora_BytesToValue", "Velkora_ValueToBytes"};
    std::vector<fmx::ExtPluginType> fns;
    for (const char* name : kNames) {
        fns.push_back(reliability::Find(name));
        ASSERT_NE(fns.back(), nullptr) << name;
    }
    EXPECT_EQ(reliability::Call(fns[1], {double(out), "144,60,100"}).result, "0");
    EXPECT_TRUE(velkora::MidiOut().OpenPort());
    const reliability::LiveCounts live = reliability::Live();

    SendShutdown();
    SetReceiveTiming(30, std::chrono::milliseconds(1000));  // a wait now would be a real one

    struct Case {
        size_t function;
        std::vector<Arg> args;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {1, {double(out), "144,60,100"}, "-1"},
        {2, {"out"}, "0"},
        {2, {"in"}, "0"},
        {3, {"out", double(out)}, ""},
        {4, {double(in)}, ""},
        {4, {double(in), double(out), "240,67,32,0,247"}, ""},
        {5, {"1,2,3"}, "6"},
        {8, {"5,240"}, "00000101,11110000"},
        {9, {"101"}, "5"},
        {10, {"255"}, "FF"},
        {11, {"ff"}, "255"},
        {12, {"2,44", ""}, "300"},
        {13, {300, 2, "true"}, "44,2"},
        {7, {"/nonexistent/velkora.syx"}, ""},
        {0, {"platform"}, "Linux"},
    };
    for (const Case& c : cases) {
        const Outcome o = reliability::Call(fns[c.function], c.args);
        EXPECT_EQ(o.exception, Outcome::kNone) << kNames[c.function];
        EXPECT_EQ(o.result, c.expected) << kNames[c.function] << " after Shutdown";
    }
    EXPECT_EQ(ReceivePollCount(), 0) << "a receive after Shutdown waited";
    // The string table is out of reach once the host's call structure is
    // gone: the version text is empty rather than read through a stale pointer.
    const Outcome version = reliability::Call(fns[0], {});
    EXPECT_EQ(version.exception, Outcome::kNone);
    EXPECT_EQ(version.result, "");
    EXPECT_EQ(MidiInUse(), 0);
    EXPECT_EQ(reliability::Show(reliability::Live()), reliability::Show(live));
    SetReceiveTiming(2, std::chrono::milliseconds(1));
}

// Init twice and Shutdown twice (a confused host): one client per side, no
// leak, and after the last Shutdown nothing is left registered or open.
TEST_F(Lifecycle, RepeatedMessagesAreHarmless) {
    const reliability::LiveCounts live = reliability::Live();
    ASSERT_EQ(SendInit(), 55);
    const long second = SendInit();
    EXPECT_TRUE(second == 55 || second == -2) << "second Init answered " << second;
    SendShutdown();
    SendShutdown();
    EXPECT_EQ(MidiInUse(), 0);
    EXPECT_EQ(fmx::FMH_Registry_Count(), 0u);
    EXPECT_EQ(reliability::Show(reliability::Live()), reliability::Show(live));
    ASSERT_EQ(SendInit(), 55) << "the plug-in starts again after all that";
    EXPECT_EQ(fmx::FMH_Registry_Count(), 14u);
}

}  // namespace
