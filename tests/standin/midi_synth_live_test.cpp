// velkora-synth on a JACK server, seen from ports of this test process that
// connect to its ports: what it logs, answers, echoes and sends.
#include <memory>
#include <thread>

#include <gtest/gtest.h>

#include "TestSupport.h"
#include "midi_support.h"

namespace {

template <typename Object>
void OpenByName(Object& object, const std::string& name) {
    for (unsigned int i = 0, n = object.getPortCount(); i < n; ++i) {
        if (object.getPortName(i) == name) return object.openPort(i, "link");
    }
    FAIL() << "no port " << name;
}

// Ports of this process connected to the synth's.
class Link {
public:
    explicit Link(const SynthProcess& synth) {
        const std::string client = UniqueClientName("link");
        out_.reset(new RtMidiOut(RtMidi::UNIX_JACK, client));
        OpenByName(*out_, synth.in_port());
        in_.reset(new RtMidiIn(RtMidi::UNIX_JACK, client + "-in", 4096));
        in_->ignoreTypes(false, false, false);
        OpenByName(*in_, synth.out_port());
    }
    void Send(const Bytes& message) { out_->sendMessage(&message); }
    // The next message from the synth, or nothing within `patience`.
    Bytes Next(std::chrono::milliseconds patience = kPatience) {
        Bytes message;
        const auto deadline = std::chrono::steady_clock::now() + patience;
        while (std::chrono::steady_clock::now() < deadline) {
            in_->getMessage(&message);
            if (!message.empty()) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return message;
    }

private:
    std::unique_ptr<RtMidiOut> out_;
    std::unique_ptr<RtMidiIn> in_;
};

TEST(SynthLive, LogsEverythingItReceives) {
    SynthProcess synth;
    ASSERT_TRUE(synth.ready()) << synth.error_output();
    Link link(synth);
    const struct {
        const char* name;
        Bytes message;
    } rows[] = {
        {"note on", {144, 60, 100}},   {"timing clock", {248}}, {"active sensing", {254}},
        {"time code", {241, 0x21}},    {"program change", {192, 5}},
        {"SysEx of 2,000 bytes", SysEx(2000)},
    };
    for (const auto& row : rows) {
        link.Send(row.message);
        EXPECT_EQ(synth.NextLine(), ValueList(row.message)) << row.name;
    }
}

TEST(SynthLive, AnswersTheDumpRequestAndNothingElse) {
    SynthProcess synth;
    ASSERT_TRUE(synth.ready()) << synth.error_output();
    Link link(synth);
    link.Send({0xF0, 0x43, 0x21, 0x00, 0xF7});  // the request on channel 2: not ours
    link.Send({0xF0, 0x43, 0x20, 0x00, 0xF7});
    EXPECT_EQ(ValueList(link.Next()), SynthDump());
    EXPECT_EQ(synth.NextLine(), "240,67,33,0,247");
    EXPECT_EQ(synth.NextLine(), "240,67,32,0,247");
    EXPECT_TRUE(link.Next(std::chrono::milliseconds(300)).empty()) << "answered more than one request";
}

TEST(SynthLive, EchoesWhatItReceives) {
    SynthProcess synth({"--echo"});
    ASSERT_TRUE(synth.ready()) << synth.error_output();
    Link link(synth);
    for (const Bytes& m : {Bytes{144, 60, 100}, SysEx(500), Bytes{250}}) {
        link.Send(m);
        EXPECT_EQ(link.Next(), m);
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
