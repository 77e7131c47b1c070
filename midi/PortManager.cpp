#include "midi/PortManager.h"

#include <utility>
#include <vector>

#include "midi/MidiIOPlatform.h"

namespace velkora {

namespace {

typedef std::lock_guard<std::recursive_mutex> Hold;

const char* const kInClientName = "Velkora";
const char* const kOutClientName = "RtMidi Output Client";
const char* const kInPortName = "RtMidi Input";
const char* const kOutPortName = "RtMidi Output";
// With a limit of 2 the library keeps one unread message; the receive drains
// it before it waits, so nothing stale is ever taken for an answer.
const unsigned int kInQueueLimit = 2;

// RtMidi's JACK output hands each message to its process thread through a
// 16 KiB ring buffer, with a 4-byte length before it, and silently drops a
// message that cannot fit. A longer one is refused here, so the caller learns
// it was not sent.
const size_t kLargestJackMessage = 16379;

// Creates one library object. The API is left to the library first; when
// that raises (RtMidi 5 on Linux stops at a missing ALSA sequencer without
// trying JACK) each compiled API is tried in the library's order, and the
// first that can be created is kept. Null when none can.
template <typename Object, typename... Args>
std::unique_ptr<Object> CreateObject(const Args&... args) {
    std::unique_ptr<Object> object;
    if (MidiCall([&] { object.reset(new Object(RtMidi::UNSPECIFIED, args...)); })) return object;

    std::vector<RtMidi::Api> apis;
    RtMidi::getCompiledApi(apis);
    for (RtMidi::Api api : apis) {
        if (MidiCall([&] { object.reset(new Object(api, args...)); })) return object;
    }
    return nullptr;
}

// A new object, ready for use.
std::unique_ptr<RtMidiIn> CreateIn() {
    std::unique_ptr<RtMidiIn> in = CreateObject<RtMidiIn>(std::string(kInClientName), kInQueueLimit);
    if (in) PrepareInput(*in);
    return in;
}

std::unique_ptr<RtMidiOut> CreateOut() { return CreateObject<RtMidiOut>(std::string(kOutClientName)); }

}  // namespace

template <typename Object>
MidiSide<Object>::MidiSide(const char* port_name, std::unique_ptr<Object> (*create)())
    : port_name_(port_name), create_(create) {}

template <typename Object>
void MidiSide<Object>::Reached(Present& present) {
    present.reached = true;
    present.watching = WatchMidiSystem(present.object->getCurrentApi(), present.lost_seen);
}

template <typename Object>
void MidiSide<Object>::Unreached(Present& present) {
    present.reached = false;
    if (present.watching) UnwatchMidiSystem();
    present.watching = false;
}

// Whether the system the side reached has gone since: its object talks to
// nobody then.
template <typename Object>
bool MidiSide<Object>::Lost() const {
    return present_ && present_->reached && MidiSystemsLost() != present_->lost_seen;
}

// Ends the side's object. One whose system has gone is let go without being
// closed (a few KiB, once for each lost server): libjack frees what its client
// refers to when the next client opens, and closing it then crashes.
template <typename Object>
void MidiSide<Object>::Drop() {
    if (Lost()) {
        static std::vector<Object*>* const let_go = new std::vector<Object*>;
        let_go->push_back(present_->object.release());
    }
    Unreached(*present_);
    present_.reset();
}

// A side whose system has gone gets a new object, not yet connected, with no
// port open: the next use connects it once a system answers again.
template <typename Object>
void MidiSide<Object>::ForgetIfLost() {
    if (!Lost()) return;
    Drop();
    std::unique_ptr<Object> fresh = create_();
    if (fresh) present_.emplace(std::move(fresh));  // else no library object can be made at all
}

template <typename Object>
void MidiSide<Object>::Init() {
    Hold hold(lock_);
    if (present_) return;  // one client per side; an open port stays valid
    std::unique_ptr<Object> created = create_();
    if (!created) return;
    present_.emplace(std::move(created));
    if (MidiSystemAnswers(present_->object->getCurrentApi())) Reached(*present_);
}

template <typename Object>
void MidiSide<Object>::Delete() {
    Hold hold(lock_);
    if (present_) Drop();  // closes the open port and releases the client
}

// The present state once the side's MIDI system answers, else null. An object
// made before that has not connected, and connecting it now would leak what
// it allocated then (RtMidi's JACK output makes a ring buffer on each try and
// frees only the last); one that connected to a system since lost talks to
// nobody. Either is replaced by one made now, which connects as it is made.
// No port is open on it that a caller could still use.
template <typename Object>
typename MidiSide<Object>::Present* MidiSide<Object>::Usable() {
    ForgetIfLost();
    if (!present_) return nullptr;
    if (present_->reached) return &*present_;
    if (!MidiSystemAnswers(present_->object->getCurrentApi())) return nullptr;
    std::unique_ptr<Object> fresh = create_();
    if (fresh) present_->object = std::move(fresh);
    Reached(*present_);
    return &*present_;
}

template <typename Object>
void MidiSide<Object>::ClosePort() {
    // A close the driver refuses leaves the connection in place; OpenLocked
    // looks at the object itself before it opens anything.
    MidiCall([&] { present_->object->closePort(); });
    present_->port.reset();
}

// Opens port n (its low 31 bits) and records it. A number at or beyond the
// current count names no port: JACK would register an unconnected port
// instead of failing, so it is refused here on every backend. A negative
// number names no port either; masking alone would turn -2147483648 (what the
// host makes of any number below the 32-bit range) into port 0.
template <typename Object>
bool MidiSide<Object>::OpenLocked(long n) {
    Present* present = Usable();
    if (!present) return false;
    Object& object = *present->object;
    // Opening on top of a connection would join both ports on some backends
    // and record the wrong number on others; close what is there first.
    if (present->port || object.isPortOpen()) {
        ClosePort();
        if (object.isPortOpen()) return false;
    }
    const unsigned int masked = static_cast<uint32_t>(n) & 0x7FFFFFFFu;
    unsigned int count = 0;
    if (!MidiCall([&] { count = object.getPortCount(); }) || n < 0 || masked >= count) return false;
    // The peer is named before the open, so that any change after it shows.
    std::string peer;
    if (present->watching) MidiCall([&] { peer = object.getPortName(masked); });
    DeviceMark device = MarkDevice(present->watching, peer);
    if (!MidiCall([&] { object.openPort(masked, port_name_); })) return false;
    NoteConnected(device);
    present->port = Port{n, std::move(device)};
    return true;
}

template <typename Object>
bool MidiSide<Object>::Open(long n) {
    Hold hold(lock_);
    return OpenLocked(n);
}

template <typename Object>
bool MidiSide<Object>::Set(long n) {
    Hold hold(lock_);
    ForgetIfLost();
    if (!present_) return false;
    if (present_->port && present_->port->number == n && DeviceStillThere(present_->port->device)) return true;
    // Another port, or this one's device has gone (or gone and come back,
    // unconnected): open n anew, as a first call would.
    if (present_->port) ClosePort();
    return OpenLocked(n);
}

template <typename Object>
int32_t MidiSide<Object>::Count() {
    Hold hold(lock_);
    unsigned int count = 0;
    Present* present = Usable();
    if (present) MidiCall([&] { count = present->object->getPortCount(); });
    const unsigned int most = static_cast<unsigned int>(INT32_MAX);
    return static_cast<int32_t>(count > most ? most : count);
}

// RtMidi's JACK backend indexes its port list without a bounds check, so a
// number past the list would read beyond it: numbers at or beyond the count
// are not passed on.
template <typename Object>
std::string MidiSide<Object>::Name(uint32_t number) {
    Hold hold(lock_);
    std::string name;
    Present* present = Usable();
    if (!present) return name;
    Object& object = *present->object;
    const bool named = MidiCall([&] {
        if (number < object.getPortCount()) name = object.getPortName(number);
    });
    return named ? name : std::string();
}

template <typename Object>
bool MidiSide<Object>::Exists() const {
    Hold hold(lock_);
    return present_.has_value();
}

template <typename Object>
std::optional<long> MidiSide<Object>::OpenPort() const {
    Hold hold(lock_);
    if (!present_ || !present_->port) return std::nullopt;
    return present_->port->number;
}

template <typename Object>
bool MidiSide<Object>::LibraryPortOpen() const {
    Hold hold(lock_);
    return present_ && present_->object->isPortOpen();
}

template class MidiSide<RtMidiIn>;
template class MidiSide<RtMidiOut>;

MidiInput::MidiInput() : MidiSide<RtMidiIn>(kInPortName, CreateIn) {}

bool MidiInput::Listen(long n) {
    Hold hold(lock_);
    if (!Set(n)) return false;
    RtMidiIn& in = *present_->object;
    MidiCall([&] { in.ignoreTypes(false, true, true); });
    ByteArray stale;
    while (Poll(n, stale) == PollResult::message) {
    }
    return true;
}

PollResult MidiInput::Poll(long n, ByteArray& message) {
    Hold hold(lock_);
    if (!present_ || !present_->port || present_->port->number != n || Lost()) return PollResult::port_closed;
    RtMidiIn& in = *present_->object;
    if (!MidiCall([&] { in.getMessage(&message); })) message.clear();
    return message.empty() ? PollResult::nothing : PollResult::message;
}

MidiOutput::MidiOutput() : MidiSide<RtMidiOut>(kOutPortName, CreateOut) {}

int32_t MidiOutput::Send(long n, const unsigned char* bytes, size_t size) {
    Hold hold(lock_);
    if (!Set(n) || size == 0) return -1;
    RtMidiOut& out = *present_->object;
    if (size > kLargestJackMessage && out.getCurrentApi() == RtMidi::UNIX_JACK) return -1;
    if (MidiCall([&] { out.sendMessage(bytes, size); })) return 0;
    ClosePort();
    return -1;
}

MidiInput& MidiIn() {
    static MidiInput side;
    return side;
}

MidiOutput& MidiOut() {
    static MidiOutput side;
    return side;
}

void Init_MIDIIn() { MidiIn().Init(); }
void Init_MIDIOut() { MidiOut().Init(); }
void Delete_MIDIIn() { MidiIn().Delete(); }
void Delete_MIDIOut() { MidiOut().Delete(); }

}  // namespace velkora
