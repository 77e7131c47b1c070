// The MIDI functions as a calculation sees them: velkora-host with the built
// plug-in, talking to a running velkora-synth on the test's JACK server.

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "TestSupport.h"
#include "midi_support.h"

namespace {

std::string Quote(const std::string& text) { return "\"" + text + "\""; }

// Evaluates the expressions in one host run; one printed line each.
std::vector<std::string> Host(const std::vector<std::string>& expressions) {
    std::string input;
    for (const std::string& e : expressions) input += e + "\n";
    const ProcessResult run = RunHost({}, input, 90);
    EXPECT_EQ(run.status, 0) << run.err;
    std::vector<std::string> lines;
    size_t begin = 0;
    for (size_t nl; (nl = run.out.find('\n', begin)) != std::string::npos; begin = nl + 1) {
        lines.push_back(run.out.substr(begin, nl - begin));
    }
    lines.resize(expressions.size());
    return lines;
}

std::string HostOne(const std::string& expression) { return Host({expression})[0]; }

// The number under which a fresh host lists `name` on side `type`, or -1.
long HostPort(const std::string& type, const std::string& name) {
    std::vector<std::string> expressions;
    for (int i = 0; i < 8; ++i)
        expressions.push_back("Velkora_PortName ( " + Quote(type) + " ; " + std::to_string(i) + " )");
    const std::vector<std::string> names = Host(expressions);
    for (size_t i = 0; i < names.size(); ++i) {
        if (names[i] == name) return static_cast<long>(i);
    }
    return -1;
}

std::string Send(long port, const std::string& message) {
    return "Velkora_MIDISend ( " + std::to_string(port) + " ; " + Quote(message) + " )";
}

// One velkora-host for several calculations in turn, as one FileMaker
// session: ports opened by one call stay open for the next.
class HostSession {
  public:
    explicit HostSession(const std::vector<std::string>& extra_env = {})
        : host_({VELKORA_HOST_PATH, "--plugin", VELKORA_PLUGIN_PATH}, extra_env) {}
    // End of input: the host shuts the plug-in down and exits; one stuck for
    // half a minute is killed.
    ~HostSession() {
        host_.Send("", true);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (std::chrono::steady_clock::now() < deadline && host_.Exchange(1000)) {
        }
    }

    // The line the host printed for `expression`, or "(no answer)".
    std::string Eval(const std::string& expression) {
        Start(expression);
        return Answer();
    }
    void Start(const std::string& expression) {
        host_.Send(expression + "\n");
        host_.Exchange(0);  // written now, not at the next read
    }
    // The next line the host prints, or "(no answer)".
    std::string Answer() {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(90);
        size_t nl;
        while ((nl = host_.out.find('\n')) == std::string::npos) {
            if (std::chrono::steady_clock::now() >= deadline || !host_.Exchange(1000)) return "(no answer)";
        }
        std::string result = host_.out.substr(0, nl);
        host_.out.erase(0, nl + 1);
        return result;
    }

    long Port(const std::string& type, const std::string& name) {
        for (int i = 0; i < 8; ++i) {
            if (Eval("Velkora_PortName ( " + Quote(type) + " ; " + std::to_string(i) + " )") == name) return i;
        }
        return -1;
    }

  private:
    ChildProcess host_;
};

std::string Receive(long in, long out, const std::string& request) {
    return "Velkora_MIDIReceive ( " + std::to_string(in) + " ; " + std::to_string(out) + " ; " + Quote(request) + " )";
}

// The answer to `request` through `host`, asked again when none came: JACK
// drops the events of a missed period.
std::string Ask(HostSession& host, long in, long out, const std::string& request) {
    std::string got;
    int attempt = 0;
    for (; attempt < 3 && got.empty(); ++attempt) got = host.Eval(Receive(in, out, request));
    ReportRetries("the request " + request, attempt - 1);
    return got;
}

class MidiHost : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(synth_.ready()) << synth_.error_output(); }
    // A client name with a non-ASCII letter: port names are UTF-8 and must
    // reach the calculation unchanged.
    SynthProcess synth_{{"--client", UniqueClientName("vsynth-\xC3\xA9")}};
};

TEST_F(MidiHost, PortCountAndNameNameTheSynthsPortsAndNothingElse) {
    // The test's JACK server runs nothing but the synth.
    const struct {
        std::string expression;
        std::string expected;
    } rows[] = {
        {"Velkora_PortCount ( \"out\" )", "1"},
        {"Velkora_PortCount ( \"in\" )", "1"},
        {"Velkora_PortName ( \"out\" ; 0 )", synth_.in_port()},
        {"Velkora_PortName ( \"in\" ; 0 )", synth_.out_port()},
        {"Velkora_PortCount ( \"IN\" )", "0"},
        {"Velkora_PortCount ( \" in\" )", "0"},
        {"Velkora_PortCount ( \"\" )", "0"},
        {"Velkora_PortName ( \"IN\" ; 0 )", ""},
        {"Velkora_PortName ( \" in\" ; 0 )", ""},
        {"Velkora_PortName ( \"\" ; 0 )", ""},
        {"Velkora_PortName ( \"out\" ; 1 )", ""},
        {"Velkora_PortName ( \"in\" ; 5 )", ""},
        {"Velkora_PortName ( \"out\" ; -1 )", ""},
        {"Velkora_PortName ( \"in\" ; -2147483648 )", ""},
    };
    std::vector<std::string> expressions;
    for (const auto& row : rows) expressions.push_back(row.expression);
    const std::vector<std::string> got = Host(expressions);
    for (size_t i = 0; i < got.size(); ++i) EXPECT_EQ(got[i], rows[i].expected) << rows[i].expression;
}

// Sends `message` through `host` until the synth logs a line other than
// `repeat` (see SynthProcess::Deliver) and gives that line.
std::string DeliverThroughHost(HostSession& host, SynthProcess& synth, long port, const std::string& message,
                               const std::string& repeat = "") {
    return synth.Deliver([&] { EXPECT_EQ(host.Eval(Send(port, message)), "0") << message; }, repeat);
}

TEST_F(MidiHost, SentMessagesArriveExactlyAsWritten) {
    // One host run: the second and third send reuse the port the first opened.
    HostSession host;
    const long port = host.Port("out", synth_.in_port());
    ASSERT_GE(port, 0);
    std::string previous;
    for (const std::string& message : {std::string("144,60,100"), std::string("128,60,0"), ValueList(SysEx(2000))}) {
        EXPECT_EQ(DeliverThroughHost(host, synth_, port, message, previous), message);
        previous = message;
    }
}

TEST_F(MidiHost, ASendToAPortThatDoesNotExistSendsNothing) {
    HostSession host;
    const long port = host.Port("out", synth_.in_port());
    ASSERT_GE(port, 0);
    EXPECT_EQ(host.Eval(Send(1, "144,1,1")), "-1");
    EXPECT_EQ(host.Eval(Send(-1, "144,2,2")), "-1");
    EXPECT_EQ(host.Eval(Send(99, "144,3,3")), "-1");
    EXPECT_EQ(DeliverThroughHost(host, synth_, port, "144,4,4"), "144,4,4")
        << "the synth got a message meant for no port";
}

TEST(MidiHostSession, ARequestBringsTheSynthsDump) {
    // The plug-in's own ports join the port lists once open, and may come
    // before the synth's; so each number is looked up after the plug-in's
    // port of the other kind is open, as a careful script does.
    SynthProcess synth({"--echo"});
    ASSERT_TRUE(synth.ready()) << synth.error_output();
    // Its echo must have gone out before the input port opens, or the receive
    // below could take it: a witness waits for it.
    JackPeer witness("witness");
    ASSERT_TRUE(witness.Connect(synth.out_port(), witness.in_port()));
    SettleJack();  // the witness's connection is live
    HostSession host;
    const long out = host.Port("out", synth.in_port());
    ASSERT_GE(out, 0);
    ASSERT_EQ(DeliverThroughHost(host, synth, out, "144,60,100"), "144,60,100");
    ASSERT_TRUE(witness.WaitFor(1)) << "the synth's echo never went out";
    const long in = host.Port("in", synth.out_port());
    ASSERT_GE(in, 0);
    // Opens the input port; the open output port is reused, whatever its number names now.
    EXPECT_EQ(Ask(host, in, out, "144,60,101"), "144,60,101");
    EXPECT_EQ(Ask(host, in, out, "240,67,32,0,247"), SynthDump());
    EXPECT_EQ(synth.NextLine(), "144,60,101");
    EXPECT_EQ(synth.NextLine(kPatience, "144,60,101"), "240,67,32,0,247");
}

// Whether jack_lsp, run with `env`, shows `port` connected to anything.
bool Connected(const std::string& port, const std::vector<std::string>& env) {
    const ProcessResult run = RunProcess({"jack_lsp", "-c", port}, "", 10, env);
    return run.out.find("\n   ") != std::string::npos;
}

// A JACK server of its own that goes away while the session's ports are open:
// a waiting receive ends at its next poll, sends give -1 (the library alone
// reports them sent, then spins for ever once its buffer is full), the synth
// still ends on SIGTERM and SIGINT, and a server started again is found.
TEST(MidiHostSession, WhenTheServerGoesSendsGiveMinusOneAndANewServerIsFound) {
    const std::string server = std::string(std::getenv("JACK_DEFAULT_SERVER")) + "-gone";
    const std::vector<std::string> env = {"JACK_DEFAULT_SERVER=" + server};
    const auto rig = [&](const char* action) {
        return RunProcess({VELKORA_SOURCE_DIR "/tools/jack-rig.sh", action, server}).status;
    };
    struct StopAtEnd {
        std::function<int(const char*)> rig;
        ~StopAtEnd() { rig("stop"); }
    } stop_at_end{rig};
    ASSERT_EQ(rig("start"), 0);
    HostSession host(env);
    const std::string big = ValueList(SysEx(16000));
    {
        SynthProcess synth({}, env), idle({}, env);
        ASSERT_TRUE(synth.ready()) << synth.error_output();
        ASSERT_TRUE(idle.ready()) << idle.error_output();
        const long out = host.Port("out", synth.in_port());
        ASSERT_GE(out, 0);
        ASSERT_EQ(DeliverThroughHost(host, synth, out, "144,60,100"), "144,60,100");
        const long in = host.Port("in", synth.out_port());
        ASSERT_GE(in, 0);
        host.Start("Velkora_MIDIReceive ( " + std::to_string(in) + " )");
        const auto deadline = std::chrono::steady_clock::now() + kPatience;
        while (!Connected(synth.out_port(), env) && std::chrono::steady_clock::now() < deadline) {
        }
        ASSERT_TRUE(Connected(synth.out_port(), env)) << "the receive never opened its port";
        const auto stop = std::chrono::steady_clock::now();
        ASSERT_EQ(rig("stop"), 0);
        const auto stopped = std::chrono::steady_clock::now();
        EXPECT_EQ(host.Answer(), "");
        const auto ms = [](std::chrono::steady_clock::duration d) {
            return std::chrono::duration_cast<std::chrono::milliseconds>(d).count();
        };
        std::printf("the receive ended %lld ms after the stop began, %lld ms after it ended\n",
                    static_cast<long long>(ms(std::chrono::steady_clock::now() - stop)),
                    static_cast<long long>(ms(std::chrono::steady_clock::now() - stopped)));
        EXPECT_LT(std::chrono::steady_clock::now() - stopped, std::chrono::seconds(2)) << "the receive waited on";
        // The first may go out before the news of the server's end arrives.
        const std::string first = host.Eval(Send(out, big));
        EXPECT_TRUE(first == "0" || first == "-1") << first;
        ASSERT_EQ(host.Eval(Send(out, big)), "-1");
        EXPECT_EQ(host.Eval(Send(out, big)), "-1");
        EXPECT_EQ(host.Eval("Velkora_PortCount ( \"out\" )"), "0");
        EXPECT_TRUE(synth.EndsOn(SIGTERM, std::chrono::seconds(3))) << "the synth ignored SIGTERM";
        EXPECT_TRUE(idle.EndsOn(SIGINT, std::chrono::seconds(3))) << "the synth ignored SIGINT";
    }
    ASSERT_EQ(rig("start"), 0);
    SynthProcess synth({}, env);
    ASSERT_TRUE(synth.ready()) << synth.error_output();
    const long out = host.Port("out", synth.in_port());
    ASSERT_GE(out, 0);
    EXPECT_EQ(DeliverThroughHost(host, synth, out, "144,1,1"), "144,1,1");
}

// A synthesizer switched off and on again in one session, as a user would:
// sends while it is gone give -1; once it is back the same port numbers send
// and receive again, with no call on another port in between. The second
// round finds the input port open on the synth that went.
TEST(MidiHostSession, ASynthSwitchedOffAndOnIsFoundAgain) {
    const std::string client = UniqueClientName("vsynth-again");
    for (int signal : {SIGTERM, SIGKILL}) {
        SCOPED_TRACE(signal == SIGTERM ? "SIGTERM" : "SIGKILL");
        std::unique_ptr<SynthProcess> synth(new SynthProcess({"--client", client}));
        ASSERT_TRUE(synth->ready()) << synth->error_output();
        HostSession host;
        const long out = host.Port("out", synth->in_port());
        ASSERT_EQ(out, 0);
        ASSERT_EQ(DeliverThroughHost(host, *synth, out, "144,60,1"), "144,60,1");
        for (int round = 0; round < 2; ++round) {
            synth->Stop(round == 0 ? signal : SIGTERM);
            if (round == 0) {
                EXPECT_EQ(host.Eval("Velkora_PortCount ( \"out\" )"), "0");
                EXPECT_EQ(host.Eval(Send(out, "144,60,2")), "-1");
            }
            synth.reset(new SynthProcess({"--client", client}));
            ASSERT_TRUE(synth->ready()) << synth->error_output();
            EXPECT_EQ(host.Eval("Velkora_PortName ( \"out\" ; 0 )"), synth->in_port());
            EXPECT_EQ(DeliverThroughHost(host, *synth, out, "144,60,3"), "144,60,3");
            const long in = host.Port("in", synth->out_port());
            EXPECT_EQ(Ask(host, in, out, "240,67,32,0,247"), SynthDump()) << "round " << round;
        }
    }
}

TEST(MidiHostSending, WithOnlyAnInPortTheNextMessageOfTheDeviceComesBack) {
    SynthProcess synth({"--send", "176,7,100", "--every", "100"});
    ASSERT_TRUE(synth.ready()) << synth.error_output();
    const long in = HostPort("in", synth.out_port());
    ASSERT_GE(in, 0);
    EXPECT_EQ(HostOne("Velkora_MIDIReceive ( " + std::to_string(in) + " )"), "176,7,100");
}

}  // namespace
