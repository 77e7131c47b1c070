// Velkora_MIDISend against a raw RtMidiOut::sendMessage, both to the same
// JACK port of a receiver in this process, on a private JACK server that the
// first MIDI benchmark starts and main() stops. Without JACK both are skipped.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "BenchSupport.h"
#include "MidiBench.h"
#include "MidiFunctions.h"
#include "PortManager.h"
#include "RtMidi.h"

namespace {

const char kReceiverClient[] = "velkora-bench-receiver";
// Sends between two waits for delivery: few enough that JACK's ring buffer
// (16 KiB in RtMidi) never fills, so no send is a dropped one.
constexpr long kBatch = 512;

struct Rig {
    bool tried = false;
    std::string server;  // set once the server answers
    std::string failure;
    std::unique_ptr<RtMidiIn> receiver;
    std::unique_ptr<RtMidiOut> raw;
    long port = -1;  // the receiver's port, as both output objects number it
};
Rig rig;
std::atomic<long> received{0};

void Count(double, std::vector<unsigned char>*, void*) { received.fetch_add(1, std::memory_order_relaxed); }

std::string RigScript() { return std::string(VELKORA_SOURCE_DIR) + "/tools/jack-rig.sh"; }

long PortOf(RtMidiOut& out) {
    const unsigned count = out.getPortCount();
    for (unsigned i = 0; i < count; ++i)
        if (out.getPortName(i).find(kReceiverClient) != std::string::npos) return static_cast<long>(i);
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
    setenv("JACK_DEFAULT_SERVER", name.c_str(), 1);
    try {
        rig.receiver.reset(new RtMidiIn(RtMidi::UNIX_JACK, kReceiverClient, 100));
        rig.receiver->setCallback(&Count);
        rig.receiver->openVirtualPort("in");
        Init_MIDIOut();
        {
            std::lock_guard<std::recursive_mutex> hold(midiout_lock);
            if (out_flag == 1) rig.port = PortOf(*midiout);
        }
        rig.raw.reset(new RtMidiOut(RtMidi::UNIX_JACK, "velkora-bench-raw"));
        if (rig.port < 0 || PortOf(*rig.raw) != rig.port) {
            rig.failure = "the receiver's port is not listed the same way by both output objects";
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
// had plenty of process cycles to deliver them).
void AwaitDelivery(long total) {
    for (int i = 0; i < 500 && received.load() < total; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

bool Ready(benchmark::State& state) {
    if (SetUp()) return true;
    state.SkipWithError(("midi_send skipped: " + rig.failure).c_str());
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
    state.counters["delivered"] = sent ? static_cast<double>(received.load() - before) / static_cast<double>(sent) : 0;
}

void BM_midi_send(benchmark::State& state) {
    if (!Ready(state)) return;
    HostCall call = MakeCall();
    AddNumber(call, static_cast<double>(rig.port));
    AddText(call, "144,60,100");
    Run(state, [&] { Velkora_MIDISend(0, Env(), *call.parms, *call.result); });
    FreeCall(call);
}

void BM_midi_send_baseline(benchmark::State& state) {
    if (!Ready(state)) return;
    const std::vector<unsigned char> message = {144, 60, 100};
    Run(state, [&] { rig.raw->sendMessage(&message); });
}

}  // namespace

void StopMidiRig() {
    if (rig.server.empty()) return;
    rig.raw.reset();
    Delete_MIDIOut();
    rig.receiver.reset();
    const std::string command = RigScript() + " stop " + rig.server + " >/dev/null 2>&1";
    if (std::system(command.c_str()) != 0) std::fprintf(stderr, "could not stop JACK server %s\n", rig.server.c_str());
    const char* tmp = std::getenv("TMPDIR");
    std::remove((std::string(tmp && *tmp ? tmp : "/tmp") + "/velkora-jack-" + rig.server + ".log").c_str());
    rig.server.clear();
}

BENCHMARK(BM_midi_send)->UseRealTime()->MinTime(0.2);
BENCHMARK(BM_midi_send_baseline)->UseRealTime()->MinTime(0.2);
