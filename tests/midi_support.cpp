#include "midi_support.h"

#include <unistd.h>

#include <jack/midiport.h>

#include <atomic>
#include <cstdio>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <stdexcept>
#include <thread>

#include <gtest/gtest.h>

#include "midi/MidiIO.h"
#include "TestSupport.h"

void ReportRetries(const std::string& what, int retries) {
    if (retries == 0) return;
    std::printf("retried %d time(s): %s\n", retries, what.c_str());
    ::testing::Test::RecordProperty("retried " + what, retries);
}

std::string UniqueClientName(const std::string& stem) {
    static std::atomic<int> counter{0};
    return stem + "-" + std::to_string(getpid()) + "-" + std::to_string(++counter);
}

std::string ValueList(const Bytes& bytes) {
    std::string text;
    for (size_t i = 0; i < bytes.size(); ++i) text += (i ? "," : "") + std::to_string(bytes[i]);
    return text;
}

Bytes SysEx(size_t length) {
    Bytes message(length);
    for (size_t i = 0; i < length; ++i) message[i] = static_cast<unsigned char>(i % 128);
    message.front() = 0xF0;
    message[1] = 0x7D;  // non-commercial id
    message.back() = 0xF7;
    return message;
}

std::string SynthDump() {
    ProcessResult run = RunProcess({VELKORA_SYNTH_PATH, "--print-dump"});
    if (run.status != 0) throw std::runtime_error("velkora-synth --print-dump: " + run.err);
    while (!run.out.empty() && run.out.back() == '\n') run.out.pop_back();
    return run.out;
}

// ---- SynthProcess -------------------------------------------------------------

SynthProcess::SynthProcess(const std::vector<std::string>& extra_args, const std::vector<std::string>& extra_env) {
    std::vector<std::string> argv = {VELKORA_SYNTH_PATH, "--client", UniqueClientName("vsynth")};
    argv.insert(argv.end(), extra_args.begin(), extra_args.end());
    child_.reset(new ChildProcess(argv, extra_env));
    // "velkora-synth: ready (in: A, out: B)"
    const std::string in_tag = "ready (in: ", out_tag = ", out: ";
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    while (std::chrono::steady_clock::now() < deadline) {
        const std::string& err = child_->err;
        const size_t at = err.find(in_tag);
        const size_t end = err.find(")\n", at == std::string::npos ? 0 : at);
        if (at != std::string::npos && end != std::string::npos) {
            const size_t mid = err.find(out_tag, at);
            in_port_ = err.substr(at + in_tag.size(), mid - at - in_tag.size());
            out_port_ = err.substr(mid + out_tag.size(), end - mid - out_tag.size());
            return;
        }
        if (!child_->Exchange(100)) {  // it has died
            child_->Wait();
            return;
        }
    }
}

SynthProcess::~SynthProcess() { Stop(); }

std::string SynthProcess::NextLine(std::chrono::milliseconds timeout, const std::string& repeat) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::string& out = child_->out;
    for (;;) {
        size_t nl;
        while ((nl = out.find('\n')) == std::string::npos) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0 || !child_->Exchange(static_cast<int>(left.count()))) return "";
        }
        std::string line = out.substr(0, nl);
        out.erase(0, nl + 1);
        if (line != repeat) return line;
    }
}

std::string SynthProcess::Deliver(const std::function<void()>& send, const std::string& repeat) {
    for (int attempt = 0; attempt < 5; ++attempt) {
        send();
        const std::string line = NextLine(std::chrono::seconds(2), repeat);
        if (line.empty()) continue;
        ReportRetries("a send until the synth heard it", attempt);
        return line;
    }
    ReportRetries("a send until the synth heard it (never)", 4);
    return "";
}

int SynthProcess::Stop(int signal) {
    const bool was_running = child_->pid() > 0;
    const int status = child_->Stop(signal);
    if (was_running) SettleJack();  // it closed its clients
    return status;
}

bool SynthProcess::EndsOn(int signal, std::chrono::milliseconds patience) {
    if (child_->pid() > 0) kill(static_cast<pid_t>(child_->pid()), signal);
    const auto deadline = std::chrono::steady_clock::now() + patience;
    bool ended = false;
    while (!ended && std::chrono::steady_clock::now() < deadline) ended = !child_->Exchange(50);
    Stop(SIGKILL);  // reaps it
    return ended;
}

// ---- settling the JACK graph ----------------------------------------------------

namespace {

// A client of the test process that counts the latency calls the server makes
// on it; a process callback puts it in the graph, so it gets them.
struct Watcher {
    jack_client_t* client = nullptr;
    std::atomic<long> latency_calls{0};

    Watcher() {
        client = jack_client_open(UniqueClientName("settle").c_str(), JackNoStartServer, nullptr);
        if (client == nullptr) return;
        jack_set_process_callback(
            client, [](jack_nframes_t, void*) { return 0; }, nullptr);
        jack_set_latency_callback(client, &Watcher::OnLatency, this);
        jack_activate(client);
    }
    ~Watcher() {
        if (client != nullptr) jack_client_close(client);
    }
    static void OnLatency(jack_latency_callback_mode_t, void* self) {
        static_cast<Watcher*>(self)->latency_calls.fetch_add(1);
    }
};

}  // namespace

void SettleJack() {
    static Watcher watcher;
    if (watcher.client == nullptr) return;
    // Each request here makes one latency round of its own: two calls on us.
    // A turn of the server that also ran a queued round shows as more.
    int quiet_turns = 0;
    for (int turn = 0; turn < 100 && quiet_turns < 3; ++turn) {
        const long before = watcher.latency_calls.load();
        if (jack_recompute_total_latencies(watcher.client) != 0) return;
        quiet_turns = watcher.latency_calls.load() - before <= 2 ? quiet_turns + 1 : 0;
    }
}

// ---- JackPeer -----------------------------------------------------------------

// What the process callback touches. Closing a client cancels its process
// thread wherever it is (libjack cancels asynchronously), which would abort
// the process inside a lock or a noexcept call; so the callback is told to
// stop, and confirms, before the client closes.
struct JackPeer::State {
    std::mutex mutex;
    std::condition_variable arrived;
    std::vector<Bytes> received;
    std::deque<Bytes> outbox;
    jack_port_t* in = nullptr;
    jack_port_t* out = nullptr;
    std::atomic<bool> stop{false};
    std::atomic<bool> stopped{false};
};

JackPeer::JackPeer(const std::string& stem) : state_(new State) {
    client_ = jack_client_open(UniqueClientName(stem).c_str(), JackNoStartServer, nullptr);
    if (client_ == nullptr) throw std::runtime_error("no JACK server to open a client on");
    // Ports before activation: an active client's notification thread walks
    // the port list that registering changes.
    state_->in = jack_port_register(client_, "in", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
    state_->out = jack_port_register(client_, "out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
    if (state_->in == nullptr || state_->out == nullptr ||
        jack_set_process_callback(client_, &Process, state_.get()) != 0 || jack_activate(client_) != 0) {
        jack_client_close(client_);
        throw std::runtime_error("cannot set up a JACK client");
    }
    const std::string client = jack_get_client_name(client_);
    in_port_ = client + ":in";
    out_port_ = client + ":out";
}

JackPeer::~JackPeer() {
    state_->stop.store(true);
    const auto deadline = std::chrono::steady_clock::now() + kPatience;  // a server that stalls runs no callback
    while (!state_->stopped.load() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    // Joins the process thread; the server drops the ports with the client.
    jack_client_close(client_);
    SettleJack();
}

int JackPeer::Process(jack_nframes_t frames, void* state) {
    State& s = *static_cast<State*>(state);
    if (s.stop.load()) {
        s.stopped.store(true);
        return 0;
    }
    size_t arrived = 0;
    {
        std::lock_guard<std::mutex> hold(s.mutex);
        void* in = jack_port_get_buffer(s.in, frames);
        const jack_nframes_t count = jack_midi_get_event_count(in);
        for (jack_nframes_t i = 0; i < count; ++i) {
            jack_midi_event_t event;
            if (jack_midi_event_get(&event, in, i) != 0 || event.size == 0) continue;
            s.received.emplace_back(event.buffer, event.buffer + event.size);
            ++arrived;
        }
        void* out = jack_port_get_buffer(s.out, frames);
        jack_midi_clear_buffer(out);
        // What does not fit this period goes in the next.
        while (!s.outbox.empty() &&
               jack_midi_event_write(out, 0, s.outbox.front().data(), s.outbox.front().size()) == 0) {
            s.outbox.pop_front();
        }
    }
    if (arrived > 0) s.arrived.notify_all();
    return 0;
}

bool JackPeer::Connect(const std::string& source, const std::string& destination) {
    return jack_connect(client_, source.c_str(), destination.c_str()) == 0;
}

void JackPeer::Send(const Bytes& message) {
    if (message.empty()) return;
    std::lock_guard<std::mutex> hold(state_->mutex);
    state_->outbox.push_back(message);
}

bool JackPeer::WaitFor(size_t count, std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> hold(state_->mutex);
    return state_->arrived.wait_for(hold, timeout, [&] { return state_->received.size() >= count; });
}

std::vector<Bytes> JackPeer::Received() {
    std::lock_guard<std::mutex> hold(state_->mutex);
    return state_->received;
}

size_t JackPeer::ReceivedCount() {
    std::lock_guard<std::mutex> hold(state_->mutex);
    return state_->received.size();
}

// ---- the plug-in's view ---------------------------------------------------------

long FindPort(const std::string& type, const std::string& name) {
    for (long i = 0, n = CountPorts(type); i < n; ++i) {
        if (NameOfPort(type, i) == name) return i;
    }
    return -1;
}
