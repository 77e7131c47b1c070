// Peers for the MIDI tests on a JACK server: velkora-synth as a child process,
// JACK ports inside the test process, and calls of the external functions with
// host values made through FMXHost.h.
#ifndef VELKORA_TESTS_MIDI_SUPPORT_H
#define VELKORA_TESTS_MIDI_SUPPORT_H

#include <signal.h>
#include <sys/types.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <jack/jack.h>

#include "FMXHost.h"
#include "HostValues.h"
#include "InProcess.h"
#include "TestSupport.h"

typedef std::vector<unsigned char> Bytes;

// Deadline for anything that should happen within a few JACK periods; only
// a broken peer ever waits this long.
const std::chrono::milliseconds kPatience(10000);

// Reports, in the test's output and its XML record, that `what` had to be
// done again `retries` times (JACK drops the events of a missed period);
// nothing when it was not. Repeats that grow show a slow machine or a fault.
void ReportRetries(const std::string& what, int retries);

// A client name no other test or run of this binary uses.
std::string UniqueClientName(const std::string& stem);

std::string ValueList(const Bytes& bytes);
// A SysEx message of `length` bytes: F0 7D <counting data bytes> F7.
Bytes SysEx(size_t length);

// The synth's voice dump as a value list (velkora-synth --print-dump).
std::string SynthDump();

// velkora-synth as a child process under a unique client name. The
// constructor returns once the synth said it is ready (or has died).
class SynthProcess {
  public:
    explicit SynthProcess(const std::vector<std::string>& extra_args = {},
                          const std::vector<std::string>& extra_env = {});
    ~SynthProcess();
    SynthProcess(const SynthProcess&) = delete;
    SynthProcess& operator=(const SynthProcess&) = delete;

    bool ready() const { return !in_port_.empty(); }
    const std::string& in_port() const { return in_port_; }    // where the synth listens
    const std::string& out_port() const { return out_port_; }  // where the synth sends
    const std::string& error_output() const { return child_->err; }

    // The next line the synth logged, or "" when none came within `timeout`.
    // Lines equal to `repeat` (a resent message that arrived twice) are skipped.
    std::string NextLine(std::chrono::milliseconds timeout = kPatience, const std::string& repeat = "");
    // Calls `send` until the synth logs a line other than `repeat`, again after
    // each two seconds without one: JACK drops the events of a period a client
    // misses, and those written before a new connection is live. Gives the
    // line, or "" when five tries brought none.
    std::string Deliver(const std::function<void()>& send, const std::string& repeat = "");
    // Sends `signal` (unless it has ended already), then gives its exit
    // status (128 + signal when a signal ended it).
    int Stop(int signal = SIGTERM);
    // Sends `signal` and gives whether that ended it within `patience`; one
    // that did not end is killed.
    bool EndsOn(int signal, std::chrono::milliseconds patience);

  private:
    std::unique_ptr<ChildProcess> child_;
    std::string in_port_;
    std::string out_port_;
};

// A JACK client of the test process with two ports: "NAME:in" collects what
// arrives, "NAME:out" sends. Written against libjack, not RtMidi: RtMidi's JACK
// objects cannot be torn down safely (an output object frees its ring buffer
// before it stops its client's process thread, and unregistering a port races
// libjack's notification thread, which walks the client's port list), so a
// peer never unregisters a port: closing its client drops both.
class JackPeer {
  public:
    explicit JackPeer(const std::string& stem = "peer");
    ~JackPeer();
    JackPeer(const JackPeer&) = delete;
    JackPeer& operator=(const JackPeer&) = delete;

    const std::string& in_port() const { return in_port_; }
    const std::string& out_port() const { return out_port_; }
    // Joins two ports of the server, e.g. out_port() to a device's input.
    bool Connect(const std::string& source, const std::string& destination);

    // Goes out in the next period; JACK drops it if no connection is live then.
    void Send(const Bytes& message);
    // Waits until at least `count` messages have arrived; false on timeout.
    bool WaitFor(size_t count, std::chrono::milliseconds timeout = kPatience);
    std::vector<Bytes> Received();
    size_t ReceivedCount();

  private:
    struct State;
    static int Process(jack_nframes_t frames, void* state);

    jack_client_t* client_ = nullptr;
    std::unique_ptr<State> state_;
    std::string in_port_;
    std::string out_port_;
};

// Returns once the JACK server has told every client about the graph changes
// made so far. libjack's notification thread walks a client's port list
// whenever the server recomputes latencies after a change, while removing a
// port from that list (closing a port of the plug-in) frees its node: a port
// closed during such a round can crash the process. The server runs those
// rounds, one per queued graph switch, on the thread that serves requests,
// and answers a latency recomputation of ours only after every client has
// handled it; so this asks for such turns until three in a row carried no
// queued round.
void SettleJack();

// Port number under which the plug-in's side "in" / "out" lists `name`
// now, or -1.
long FindPort(const std::string& type, const std::string& name);

#endif
