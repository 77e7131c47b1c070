// velkora-synth on a JACK server, seen from ports of this test process that
// connect to its ports: what it logs, answers, echoes and sends.
#include <gtest/gtest.h>

#include "TestSupport.h"
#include "midi_support.h"

namespace {

// A peer of this process joined to the synth's ports both ways.
class Link {
  public:
    explicit Link(const SynthProcess& synth) : peer_("link") {
        EXPECT_TRUE(peer_.Connect(peer_.out_port(), synth.in_port())) << synth.in_port();
        EXPECT_TRUE(peer_.Connect(synth.out_port(), peer_.in_port())) << synth.out_port();
    }
    void Send(const Bytes& message) { peer_.Send(message); }
    // The next message from the synth other than `repeat` (a resent one that
    // arrived twice), or nothing within `patience`.
    Bytes Next(std::chrono::milliseconds patience = kPatience, const Bytes& repeat = Bytes()) {
        const auto deadline = std::chrono::steady_clock::now() + patience;
        for (;;) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0 || !peer_.WaitFor(next_ + 1, left)) return Bytes();
            const Bytes message = peer_.Received()[next_++];
            if (message != repeat) return message;
        }
    }
    size_t Count() { return peer_.ReceivedCount(); }

  private:
    JackPeer peer_;
    size_t next_ = 0;
};

TEST(SynthLive, LogsEverythingItReceives) {
    SynthProcess synth;
    ASSERT_TRUE(synth.ready()) << synth.error_output();
    Link link(synth);
    const struct {
        const char* name;
        Bytes message;
    } rows[] = {
        {"note on", {144, 60, 100}}, {"timing clock", {248}},      {"active sensing", {254}},
        {"time code", {241, 0x21}},  {"program change", {192, 5}}, {"SysEx of 2,000 bytes", SysEx(2000)},
    };
    std::string previous;
    for (const auto& row : rows) {
        const std::string line = synth.Deliver([&] { link.Send(row.message); }, previous);
        EXPECT_EQ(line, ValueList(row.message)) << row.name;
        previous = line;
    }
}

TEST(SynthLive, AnswersTheDumpRequestAndNothingElse) {
    SynthProcess synth;
    ASSERT_TRUE(synth.ready()) << synth.error_output();
    Link link(synth);
    const Bytes other = {0xF0, 0x43, 0x21, 0x00, 0xF7};  // the request on channel 2: not ours
    const Bytes request = {0xF0, 0x43, 0x20, 0x00, 0xF7};
    EXPECT_EQ(synth.Deliver([&] { link.Send(other); }), "240,67,33,0,247");
    // Asked again after two seconds without an answer: JACK drops the events
    // of a missed period, either way.
    Bytes answer;
    for (int attempt = 0; attempt < 5 && answer.empty(); ++attempt) {
        link.Send(request);
        answer = link.Next(std::chrono::seconds(2));
    }
    EXPECT_EQ(ValueList(answer), SynthDump());
    // At most one answer for each request that arrived (some may be lost),
    // none for the other.
    size_t requests = 0;
    while (synth.NextLine(std::chrono::milliseconds(300), "240,67,33,0,247") == "240,67,32,0,247") ++requests;
    EXPECT_GE(requests, 1u);
    EXPECT_LE(link.Count(), requests) << "answers to " << requests << " request(s)";
}

TEST(SynthLive, EchoesWhatItReceives) {
    SynthProcess synth({"--echo"});
    ASSERT_TRUE(synth.ready()) << synth.error_output();
    Link link(synth);
    Bytes previous;
    for (const Bytes& m : {Bytes{144, 60, 100}, SysEx(500), Bytes{250}}) {
        // Again after two seconds without the echo: JACK drops the events of a missed period.
        Bytes echo;
        for (int attempt = 0; attempt < 5 && echo.empty(); ++attempt) {
            link.Send(m);
            echo = link.Next(std::chrono::seconds(2), previous);
        }
        EXPECT_EQ(echo, m);
        previous = m;
    }
}

TEST(SynthLive, SendsPeriodically) {
    SynthProcess synth({"--send", "176,7,100", "--every", "20"});
    ASSERT_TRUE(synth.ready()) << synth.error_output();
    Link link(synth);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(link.Next(), (Bytes{176, 7, 100})) << i;
}

TEST(SynthLive, EndsCleanlyOnSigtermAndSigint) {
    for (int signal : {SIGTERM, SIGINT}) {
        SynthProcess synth;
        ASSERT_TRUE(synth.ready()) << synth.error_output();
        EXPECT_EQ(synth.Stop(signal), 0) << signal;
    }
}

TEST(SynthLive, ASecondSynthUnderTheSameNameRefusesToStart) {
    const std::string client = UniqueClientName("twin");
    SynthProcess first({"--client", client});
    ASSERT_TRUE(first.ready()) << first.error_output();
    SynthProcess second({"--client", client});
    EXPECT_FALSE(second.ready());
    EXPECT_EQ(second.Stop(), 1);
    EXPECT_NE(second.error_output().find("exists already"), std::string::npos) << second.error_output();
}

}  // namespace
