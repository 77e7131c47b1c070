#include "midi/MidiIO.h"

#include <atomic>
#include <mutex>

#include "midi/MidiIOPlatform.h"
#include "midi/PortManager.h"

namespace velkora {

namespace {

// Ends the wait of a receive. Written by the loop and by the SIGINT handler,
// so it must be lock-free to be touched from a signal handler.
std::atomic<bool> done{false};
static_assert(std::atomic<bool>::is_always_lock_free, "done is set from a signal handler");

std::atomic<int> receive_polls{30};
std::atomic<long long> receive_pause_ms{1000};
std::atomic<int> polls_made{0};

void finish(int) { done.store(true); }

// Receives run one at a time: there is one input object with one open port
// (on Windows a device takes one handle only). Held for a receive's whole
// length, so no receive has its port switched under it; the input side's
// own lock is taken only for each use of the object.
std::mutex receive_lock;

// Polls until a message arrives on input port `inport`, `done` is set or the
// polls run out. Ends early when that port has been closed meanwhile.
void Wait(long inport, ByteArray& message) {
    const int polls = receive_polls.load();
    const std::chrono::milliseconds pause(receive_pause_ms.load());
    done.store(false);
    // SIGINT ends the wait; the host's own handler is put back when it ends.
    const bool installed = CatchInterrupt(finish);
    try {
        for (int pass = 0; pass < polls && !done.load(); ++pass) {
            const PollResult got = MidiIn().Poll(inport, message);
            if (got == PollResult::port_closed) break;
            polls_made.fetch_add(1);
            if (got == PollResult::message) {
                done.store(true);
                break;
            }
            Pause(pause, done);
        }
    } catch (...) {
        if (installed) RestoreInterrupt();
        throw;
    }
    if (installed) RestoreInterrupt();
}

}  // namespace

int32_t SendToPort(long port, const unsigned char* bytes, size_t size) { return MidiOut().Send(port, bytes, size); }

int32_t CountPorts(const std::string& type) {
    if (type == "out") return MidiOut().Count();
    if (type == "in") return MidiIn().Count();
    return 0;
}

std::string NameOfPort(const std::string& type, long number) {
    const uint32_t port = static_cast<uint32_t>(number);
    if (type == "in") return MidiIn().Name(port);
    if (type == "out") return MidiOut().Name(port);
    return std::string();
}

ByteArray ReceiveFromPort(long inport, bool with_request, long outport, const ByteArray& request) {
    std::lock_guard<std::mutex> one_at_a_time(receive_lock);
    polls_made.store(0);
    ByteArray message;
    if (!MidiIn().Listen(inport)) return message;
    // A single byte is never sent (an empty request reads as one 0), but the
    // output port is selected even so.
    if (with_request) MidiOut().Send(outport, request.data(), request.size() >= 2 ? request.size() : 0);
    Wait(inport, message);
    return message;
}

void SetReceiveTiming(int polls, std::chrono::milliseconds pause) {
    receive_polls.store(polls);
    receive_pause_ms.store(static_cast<long long>(pause.count()));
    polls_made.store(0);
}

int ReceivePollCount() { return polls_made.load(); }

}  // namespace velkora
