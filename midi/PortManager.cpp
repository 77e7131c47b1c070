#include "midi/PortManager.h"

#include <utility>
#include <vector>

std::unique_ptr<RtMidiIn> midiin;
std::unique_ptr<RtMidiOut> midiout;
int32_t in_flag = 0;
int32_t out_flag = 0;
int32_t inport_flag = 0;
int32_t outport_flag = 0;
long inport_number = 0;
long outport_number = 0;

std::recursive_mutex midiin_lock;
std::recursive_mutex midiout_lock;

namespace {

// Whether each object's MIDI system has answered since the object was made.
// The object has connected then, and keeps its connection: no probe after
// that. Asked once at creation, so that with the system running no call ever
// pays for a probe.
bool in_reached = false;
bool out_reached = false;
// Whether each side is among those the watch of its system counts, and how
// many systems had been lost when it reached its own (see WatchMidiSystem).
bool in_watching = false;
bool out_watching = false;
unsigned in_lost_seen = 0;
unsigned out_lost_seen = 0;

const char* const kInClientName = "Velkora";
const char* const kOutClientName = "RtMidi Output Client";
const char* const kInPortName = "RtMidi Input";
const char* const kOutPortName = "RtMidi Output";
// With a limit of 2 the library keeps one unread message; the receive drains
// it before it waits, so nothing stale is ever taken for an answer.
const unsigned int kInQueueLimit = 2;

// Creates one library object. The API is left to the library first; when
// that raises (RtMidi 5 on Linux stops at a missing ALSA sequencer without
// trying JACK) each compiled API is tried in the library's order, and the
// first that can be created is kept. Null when none can.
template <typename Object, typename... Args>
std::unique_ptr<Object> CreateObject(const Args&... args) {
    std::unique_ptr<Object> object;
    std::string error = MidiCall([&] { object.reset(new Object(RtMidi::UNSPECIFIED, args...)); });
    if (MidiCallSucceeded(error)) return object;

    std::vector<RtMidi::Api> apis;
    RtMidi::getCompiledApi(apis);
    for (RtMidi::Api api : apis) {
        error = MidiCall([&] { object.reset(new Object(api, args...)); });
        if (MidiCallSucceeded(error)) return object;
    }
    return nullptr;
}

std::unique_ptr<RtMidiIn> CreateIn() { return CreateObject<RtMidiIn>(std::string(kInClientName), kInQueueLimit); }

std::unique_ptr<RtMidiOut> CreateOut() { return CreateObject<RtMidiOut>(std::string(kOutClientName)); }

void ClosePort(RtMidi& object, int32_t& port_flag) {
    // A close the driver refuses leaves the connection in place; OpenPort
    // looks at the object itself before it opens anything.
    MidiCall([&] { object.closePort(); });
    port_flag = 0;
}

// Opens port n (its low 31 bits) on object and records it. A number at or
// beyond the current count names no port: JACK would register an unconnected
// port instead of failing, so it is refused here on every backend. A negative
// number names no port either; masking alone would turn -2147483648 (what the
// host makes of any number below the 32-bit range) into port 0.
bool OpenPort(RtMidi& object, long n, const char* port_name, int32_t& port_flag, long& port_number) {
    const unsigned int masked = static_cast<uint32_t>(n) & 0x7FFFFFFFu;

    // Opening on top of a connection would join both ports on some backends
    // and record the wrong number on others; close what is there first.
    if (port_flag == 1 || object.isPortOpen()) {
        ClosePort(object, port_flag);
        if (object.isPortOpen()) return false;
    }

    unsigned int count = 0;
    std::string error = MidiCall([&] { count = object.getPortCount(); });
    if (!MidiCallSucceeded(error) || n < 0 || masked >= count) return false;

    error = MidiCall([&] { object.openPort(masked, port_name); });
    if (!MidiCallSucceeded(error)) return false;
    port_flag = 1;
    port_number = n;
    return true;
}

// One side of the manager: its object, lock and state, which the In and Out
// forms of each operation below pass to one body.
template <typename Object>
struct Side {
    std::unique_ptr<Object>& object;
    std::recursive_mutex& lock;
    int32_t& flag;
    int32_t& port_flag;
    long& port_number;
    bool& reached;
    bool& watching;
    unsigned& lost_seen;
    std::unique_ptr<Object> (*create)();
    const char* port_name;
};

const Side<RtMidiIn> kIn{midiin,     midiin_lock, in_flag,      inport_flag, inport_number,
                         in_reached, in_watching, in_lost_seen, CreateIn,    kInPortName};
const Side<RtMidiOut> kOut{midiout,     midiout_lock, out_flag,      outport_flag, outport_number,
                           out_reached, out_watching, out_lost_seen, CreateOut,    kOutPortName};

// What a new object needs before it is used.
void Prepare(RtMidiIn& in) {
#if defined(_WIN32)
    // WinMM hands SysEx over one input buffer at a time and RtMidi queues each
    // buffer as a message of its own, which the queue limit then drops: with
    // the default 1024-byte buffers a bank dump (4104 bytes) would come back
    // cut. Buffers this large take any dump whole; they must be set before a
    // port opens.
    MidiCall([&] { in.setBufferSize(65536, 4); });
#else
    (void)in;
#endif
}
void Prepare(RtMidiOut&) {}

// The side's object has just connected to its MIDI system.
template <typename Object>
void Reached(const Side<Object>& side) {
    side.reached = true;
    side.watching = WatchMidiSystem(side.object->getCurrentApi(), side.lost_seen);
}

template <typename Object>
void Unreached(const Side<Object>& side) {
    side.reached = false;
    if (side.watching) UnwatchMidiSystem();
    side.watching = false;
}

// Whether the system the side reached has gone since: its object talks to
// nobody then.
template <typename Object>
bool Lost(const Side<Object>& side) {
    return side.reached && MidiSystemsLost() != side.lost_seen;
}

// Ends the side's object. One whose system has gone is let go without being
// closed (a few KiB, once for each lost server): libjack frees what its client
// refers to when the next client opens, and closing it then crashes.
template <typename Object>
void Drop(const Side<Object>& side) {
    if (Lost(side)) {
        static std::vector<Object*>* const let_go = new std::vector<Object*>;
        let_go->push_back(side.object.release());
    } else {
        side.object.reset();
    }
}

// A side whose system has gone gets a new object, not yet connected, and
// counts as not reached, its port as closed: the next use connects it once a
// system answers again.
template <typename Object>
void ForgetIfLost(const Side<Object>& side) {
    if (!Lost(side)) return;
    Drop(side);
    side.object = side.create();
    if (side.object) {
        Prepare(*side.object);
    } else {
        side.flag = 0;  // no library object can be made at all
    }
    side.port_flag = 0;
    Unreached(side);
}

template <typename Object>
void Init(const Side<Object>& side) {
    std::lock_guard<std::recursive_mutex> hold(side.lock);
    if (side.flag == 1) return;  // one client per side; an open port stays valid
    std::unique_ptr<Object> created = side.create();
    if (!created) return;
    Prepare(*created);
    side.object = std::move(created);
    side.flag = 1;
    side.port_flag = 0;
    side.reached = false;
    if (MidiSystemAnswers(side.object->getCurrentApi())) Reached(side);
}

template <typename Object>
void Delete(const Side<Object>& side) {
    std::lock_guard<std::recursive_mutex> hold(side.lock);
    if (side.flag != 1) return;
    Drop(side);  // closes the open port and releases the client
    side.flag = 0;
    side.port_flag = 0;
    Unreached(side);
}

// True once the side's MIDI system answers. An object made before that has
// not connected, and connecting it now would leak what it allocated then
// (RtMidi's JACK output makes a ring buffer on each try and frees only the
// last); one that connected to a system since lost talks to nobody. Either is
// replaced by one made now, which connects as it is made. No port is open on
// it that a caller could still use.
template <typename Object>
bool Reachable(const Side<Object>& side) {
    std::lock_guard<std::recursive_mutex> hold(side.lock);
    ForgetIfLost(side);
    if (side.flag != 1) return false;
    if (side.reached) return true;
    if (!MidiSystemAnswers(side.object->getCurrentApi())) return false;
    std::unique_ptr<Object> fresh = side.create();
    if (fresh) {
        Prepare(*fresh);
        side.object = std::move(fresh);
    }
    Reached(side);
    return true;
}

template <typename Object>
bool Open(const Side<Object>& side, long n) {
    std::lock_guard<std::recursive_mutex> hold(side.lock);
    if (side.flag != 1 || !side.object || !Reachable(side)) return false;
    return OpenPort(*side.object, n, side.port_name, side.port_flag, side.port_number);
}

template <typename Object>
bool Set(const Side<Object>& side, long n) {
    std::lock_guard<std::recursive_mutex> hold(side.lock);
    ForgetIfLost(side);
    // The open port is reused without asking the library, even if the device
    // behind it has gone since.
    if (side.port_flag == 1 && side.port_number == n) return true;
    if (side.port_flag == 1) ClosePort(*side.object, side.port_flag);
    Open(side, n);
    return true;
}

}  // namespace

std::string MidiErrorText(const std::string& message) {
    // The text "0" means success; a library message that happens to read "0"
    // must still count as a failure.
    if (MidiCallSucceeded(message)) return "0 (MIDI library error)";
    return message;
}

void Init_MIDIIn() { Init(kIn); }
void Init_MIDIOut() { Init(kOut); }
void Delete_MIDIIn() { Delete(kIn); }
void Delete_MIDIOut() { Delete(kOut); }
bool Open_InPort(long n) { return Open(kIn, n); }
bool Open_OutPort(long n) { return Open(kOut, n); }
bool Set_InPort(long n) { return Set(kIn, n); }
bool Set_OutPort(long n) { return Set(kOut, n); }
bool MidiInReachable() { return Reachable(kIn); }
bool MidiOutReachable() { return Reachable(kOut); }
