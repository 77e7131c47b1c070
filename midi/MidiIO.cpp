#include "midi/MidiIO.h"

#include <atomic>
#include <limits>
#include <mutex>

#include "midi/MidiIOPlatform.h"
#include "midi/PortManager.h"

namespace {

typedef std::lock_guard<std::recursive_mutex> Hold;

// Ends the wait of a receive. Written by the loop and by the SIGINT handler,
// so it must be lock-free to be touched from a signal handler.
std::atomic<bool> done{false};
static_assert(std::atomic<bool>::is_always_lock_free, "done is set from a signal handler");

std::atomic<int> receive_polls{30};
std::atomic<long long> receive_pause_ms{1000};
std::atomic<int> polls_made{0};

void finish(int) { done.store(true); }

// RtMidi's JACK output hands each message to its process thread through a
// 16 KiB ring buffer, with a 4-byte length before it, and silently drops a
// message that cannot fit. A longer one is refused here, so the caller learns
// it was not sent.
const size_t kLargestJackMessage = 16379;

// Sends on the open output port. Caller holds midiout_lock and has seen
// outport_flag == 1.
bool SendOnOpenPort(const unsigned char* bytes, size_t size) {
    if (size == 0) return false;  // no message at all
    if (size > kLargestJackMessage && midiout->getCurrentApi() == RtMidi::UNIX_JACK) return false;
    return MidiCallSucceeded(MidiCall([&] { midiout->sendMessage(bytes, size); }));
}

// One non-blocking poll of the input queue; false when nothing was queued.
// Caller holds midiin_lock and has seen inport_flag == 1.
bool Poll(ByteArray& message) {
    if (!MidiCallSucceeded(MidiCall([&] { midiin->getMessage(&message); }))) message.clear();
    return !message.empty();
}

// Receives run one at a time: there is one input object with one open port
// (on Windows a device takes one handle only). Held for a receive's whole
// length, so no receive has its port switched under it; the input side's
// own lock is taken only for each use of the object.
std::mutex receive_lock;

// Polls until a message arrives on input port `inport`, `done` is set or the
// polls run out. Ends early when that port has been closed meanwhile (the
// plug-in was shut down).
void Wait(long inport, ByteArray& message) {
    const int polls = receive_polls.load();
    const std::chrono::milliseconds pause(receive_pause_ms.load());
    done.store(false);
    // SIGINT ends the wait; the host's own handler is put back when it ends.
    const bool installed = CatchInterrupt(finish);
    try {
        for (int pass = 0; pass < polls; ++pass) {
            if (done.load()) break;
            bool got = false;
            {
                Hold hold(midiin_lock);
                if (inport_flag != 1 || inport_number != inport) break;
                got = Poll(message);
            }
            polls_made.fetch_add(1);
            if (got) {
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

// The library's name of a port, or "". RtMidi's JACK backend indexes its
// port list without a bounds check, so a number past the list would read
// beyond it: numbers at or beyond the count are not passed on.
std::string PortName(RtMidi& object, unsigned int port) {
    std::string name;
    const std::string error = MidiCall([&] {
        if (port < object.getPortCount()) name = object.getPortName(port);
    });
    return MidiCallSucceeded(error) ? name : std::string();
}

int32_t ToCount(unsigned int count) {
    const unsigned int most = static_cast<unsigned int>(std::numeric_limits<int32_t>::max());
    return static_cast<int32_t>(count > most ? most : count);
}

}  // namespace

int32_t SendToPort(long port, const unsigned char* bytes, size_t size) {
    Hold hold(midiout_lock);
    Set_OutPort(port);
    if (outport_flag != 1) return -1;
    return SendOnOpenPort(bytes, size) ? 0 : -1;
}

int32_t CountPorts(const std::string& type) {
    unsigned int count = 0;
    if (type == "out") {
        Hold hold(midiout_lock);
        if (out_flag == 1 && MidiOutReachable()) MidiCall([&] { count = midiout->getPortCount(); });
    } else if (type == "in") {
        Hold hold(midiin_lock);
        if (in_flag == 1 && MidiInReachable()) MidiCall([&] { count = midiin->getPortCount(); });
    }
    return ToCount(count);
}

std::string NameOfPort(const std::string& type, long number) {
    const unsigned int port = static_cast<uint32_t>(number);
    if (type == "in") {
        Hold hold(midiin_lock);
        return in_flag == 1 && MidiInReachable() ? PortName(*midiin, port) : std::string();
    }
    if (type == "out") {
        Hold hold(midiout_lock);
        return out_flag == 1 && MidiOutReachable() ? PortName(*midiout, port) : std::string();
    }
    return std::string();
}

ByteArray ReceiveFromPort(long inport, bool with_request, long outport, const ByteArray& request) {
    std::lock_guard<std::mutex> one_at_a_time(receive_lock);
    polls_made.store(0);
    ByteArray message;
    {
        Hold hold_in(midiin_lock);
        Set_InPort(inport);
        if (inport_flag != 1) return message;
        MidiCall([] { midiin->ignoreTypes(false, true, true); });
        while (Poll(message)) {
        }
    }

    if (with_request) {
        Hold hold_out(midiout_lock);
        Set_OutPort(outport);
        // A single byte is never sent: an empty request reads as one 0.
        if (outport_flag == 1 && request.size() >= 2) SendOnOpenPort(request.data(), request.size());
    }

    Wait(inport, message);
    return message;
}

void SetReceiveTiming(int polls, std::chrono::milliseconds pause) {
    receive_polls.store(polls);
    receive_pause_ms.store(static_cast<long long>(pause.count()));
    polls_made.store(0);
}

int ReceivePollCount() { return polls_made.load(); }
