// Velkora_MIDISend against a raw RtMidiOut::sendMessage, both to the input
// port of a velkora-synth started for the run, on a private JACK server that
// the first MIDI benchmark starts and main() stops. The synth prints a line
// per message it receives; counting them shows that every send arrived.
// Without JACK both are skipped.
#include <benchmark/benchmark.h>

#include <signal.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "midi/MidiFunctions.h"
#include "midi/PortManager.h"
#include "values/Parameters.h"
#include "BenchSupport.h"
#include "MidiBench.h"
#include "RtMidi.h"
#include "TestSupport.h"

namespace {

// Sends between two waits for delivery: few enough that RtMidi's ring buffers
// (16 KiB each for sizes and bytes), one JACK period's MIDI buffer and the
// synth's input queue (1,024 messages) hold them all, so no send is a dropped
// one. Each wait is at least one JACK period (256 frames at 48 kHz), so the
// count of sends is fixed rather than timed.
constexpr long kBatch = 500;
constexpr long kSends = 100000;

struct Rig {
    bool tried = false;
    std::string server;  // set once the server answers
    std::string failure;
    std::string synth_port;  // CLIENT:in
    std::unique_ptr<ChildProcess> synth;
    std::thread reader;  // counts the lines of the synth's output
    std::unique_ptr<RtMidiOut> raw;
    long port = -1;  // the synth's port, as both output objects number it
};
Rig rig;
std::atomic<long> received{0};

void CountLines(ChildProcess* synth) {
    while (synth->Exchange(-1)) {
        received.fetch_add(std::count(synth->out.begin(), synth->out.end(), '\n'), std::memory_order_relaxed);
        synth->out.clear();
        synth->err.clear();
    }
}

std::string RigScript() { return std::string(VELKORA_SOURCE_DIR) + "/tools/jack-rig.sh"; }

std::string StateFile(const std::string& server, const char* suffix) {
    const char* tmp = std::getenv("TMPDIR");
    return std::string(tmp && *tmp ? tmp : "/tmp") + "/velkora-jack-" + server + suffix;
}

// The server runs in a session of its own; a benchmark run that is
// interrupted still ends it (by its process id, from the rig's pid file).
volatile sig_atomic_t server_pid = 0;
volatile sig_atomic_t synth_pid = 0;
char pid_file[1024];
char log_file[1024];

void EndServerAndDie(int signal_number) {
    if (synth_pid > 0) kill(static_cast<pid_t>(synth_pid), SIGKILL);  // it keeps nothing worth a clean exit
    if (server_pid > 0) {
        // As the rig's own stop does: a server whose clients vanish at the
        // same moment may hang in its shutdown, so it gets two seconds.
        const pid_t server = static_cast<pid_t>(server_pid);
        kill(server, SIGTERM);
        const timespec tenth = {0, 100000000};
        for (int i = 0; i < 20 && kill(server, 0) == 0; ++i) nanosleep(&tenth, nullptr);
        kill(server, SIGKILL);
    }
    unlink(pid_file);
    unlink(log_file);
    ::signal(signal_number, SIG_DFL);
    raise(signal_number);
}

void WatchForInterrupts(const std::string& server) {
    FILE* f = std::fopen(StateFile(server, ".pid").c_str(), "r");
    long pid = 0;
    if (f != nullptr) {
        if (std::fscanf(f, "%ld", &pid) != 1) pid = 0;
        std::fclose(f);
    }
    std::snprintf(pid_file, sizeof pid_file, "%s", StateFile(server, ".pid").c_str());
    std::snprintf(log_file, sizeof log_file, "%s", StateFile(server, ".log").c_str());
    server_pid = static_cast<sig_atomic_t>(pid);
    for (int s : {SIGINT, SIGTERM, SIGHUP}) ::signal(s, &EndServerAndDie);
}

// The number of the synth's port among `count` ports that `name` names, or -1.
template <typename Name>
long PortOf(unsigned count, Name&& name) {
    for (unsigned i = 0; i < count; ++i)
        if (name(i) == rig.synth_port) return static_cast<long>(i);
    return -1;
}

// Starts velkora-synth on the rig's server with its output read by a thread
// of ours; false when it cannot be started.
bool StartSynth(const std::string& client) {
    try {
        rig.synth.reset(new ChildProcess({VELKORA_SYNTH_PATH, "--client", client}));
    } catch (const std::exception&) {
        return false;
    }
    rig.synth->Send("", true);
    synth_pid = static_cast<sig_atomic_t>(rig.synth->pid());
    rig.synth_port = client + ":in";
    rig.reader = std::thread(CountLines, rig.synth.get());
    return true;
}

// Waits until the plug-in's output lists the synth's input port (it opens
// within a second).
long AwaitSynthPort() {
    velkora::MidiOutput& out = velkora::MidiOut();
    for (int i = 0; i < 500; ++i) {
        const long port = PortOf(static_cast<unsigned>(out.Count()), [&](unsigned n) { return out.Name(n); });
        if (port >= 0) return port;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return -1;
}

bool SetUp() {
    if (rig.tried) return rig.failure.empty();
    rig.tried = true;
    const std::string name = "velkora-bench-" + std::to_string(getpid());
    const std::string command = RigScript() + " start " + name + " >/dev/null 2>&1";
    if (std::system(command.c_str()) != 0) {
        rig.failure = "no JACK server could be started (tools/jack-rig.sh start " + name + " failed)";
        return false;
    }
    rig.server = name;
    WatchForInterrupts(name);
    setenv("JACK_DEFAULT_SERVER", name.c_str(), 1);
    if (!StartSynth("velkora-bench-synth-" + std::to_string(getpid()))) {
        rig.failure = "velkora-synth could not be started (" + std::string(VELKORA_SYNTH_PATH) + ")";
        return false;
    }
    try {
        Init_MIDIOut();
        if (velkora::MidiOut().Exists()) rig.port = AwaitSynthPort();
        if (!velkora::MidiOut().Exists()) {
            rig.failure = "the plug-in's MIDI output object could not be created";
            return false;
        }
        rig.raw.reset(new RtMidiOut(RtMidi::UNIX_JACK, "velkora-bench-raw"));
        RtMidiOut& raw = *rig.raw;
        if (rig.port < 0 || PortOf(raw.getPortCount(), [&](unsigned n) { return raw.getPortName(n); }) != rig.port) {
            rig.failure = "the synth's port " + rig.synth_port + " is not listed the same way by both output objects";
            return false;
        }
        rig.raw->openPort(static_cast<unsigned>(rig.port));
    } catch (const RtMidiError& e) {
        rig.failure = "RtMidi: " + e.getMessage();
        return false;
    }
    return true;
}

// Waits, outside the timing, until `total` messages have arrived (or JACK has
// had plenty of process cycles to deliver them). It yields rather than
// sleeps: a thread that slept resumes on cold caches, and the first sends of
// each batch would pay for the wait, the longer code path more than RtMidi's
// own send (about 75 ns a send for ours, against 5 for RtMidi's).
void AwaitDelivery(long total) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(500);
    while (received.load() < total && std::chrono::steady_clock::now() < end) std::this_thread::yield();
}

bool Ready(benchmark::State& state) {
    if (SetUp()) return true;
    state.SkipWithError(rig.failure.c_str());
    return false;
}

template <typename Send>
void Run(benchmark::State& state, Send&& send) {
    send();  // a first message, untimed: a port opened lazily opens here
    AwaitDelivery(received.load() + 1);
    const long before = received.load();
    long sent = 0;
    for (auto _ : state) {
        send();
        if (++sent % kBatch == 0) {
            state.PauseTiming();
            AwaitDelivery(before + sent);
            state.ResumeTiming();
        }
    }
    AwaitDelivery(before + sent);
    const long arrived = received.load() - before;
    state.counters["delivered"] = sent ? static_cast<double>(arrived) / static_cast<double>(sent) : 0;
    // A send that was dropped costs less than one that was delivered.
    if (arrived < sent)
        state.SkipWithError(
            ("only " + std::to_string(arrived) + " of " + std::to_string(sent) + " messages arrived").c_str());
}

void BM_midi_send(benchmark::State& state) {
    if (!Ready(state)) return;
    Vect parms;
    Value result;
    parms.Number(static_cast<double>(rig.port));
    parms.Text("144,60,100");
    Run(state, [&] { Velkora_MIDISend(0, Env(), *parms.v, *result.d); });
}

void BM_midi_send_baseline(benchmark::State& state) {
    if (!Ready(state)) return;
    const std::vector<unsigned char> message = {144, 60, 100};
    Run(state, [&] { rig.raw->sendMessage(&message); });
}

// The host's part of one Velkora_MIDISend: the eight SDK calls that read its
// two parameters and store its number result, with no MIDI at all.
void BM_midi_send_host(benchmark::State& state) {
    Vect parms;
    Value result;
    parms.Number(0);
    parms.Text("144,60,100");
    for (auto _ : state) {
        benchmark::DoNotOptimize(ParameterAsLong(*parms.v, 0));
        std::string text = ParameterAsString(*parms.v, 1);
        benchmark::DoNotOptimize(text.data());
        SetResultNumber(*result.d, 0);
    }
}

}  // namespace

void StopMidiRig() {
    if (rig.server.empty()) return;
    rig.raw.reset();
    Delete_MIDIOut();
    if (rig.synth) {
        rig.synth->Stop(SIGTERM);
        synth_pid = 0;
    }
    if (rig.reader.joinable()) rig.reader.join();  // the pipes end with the synth
    rig.synth.reset();
    const std::string command = RigScript() + " stop " + rig.server + " >/dev/null 2>&1";
    if (std::system(command.c_str()) != 0) std::fprintf(stderr, "could not stop JACK server %s\n", rig.server.c_str());
    std::remove(StateFile(rig.server, ".log").c_str());
    rig.server.clear();
    server_pid = 0;
}

BENCHMARK(BM_midi_send)->UseRealTime()->Iterations(kSends);
BENCHMARK(BM_midi_send_baseline)->UseRealTime()->Iterations(kSends);
BENCHMARK(BM_midi_send_host)->UseRealTime();
