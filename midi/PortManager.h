// The MIDI port manager: one object per direction, each owning its RtMidi
// object, its lock, its state and its open port. The process has one of each
// (MidiIn(), MidiOut(), made on first use); each holds its library object
// from start-up (Init) to shut-down (Delete).
//
// Invariant, kept by the types: a port is open only on an existing library
// object (the open port lives inside the object's state), and no state is
// read or changed without the side's lock, which every operation takes
// itself. No operation lets a library error escape; only std::bad_alloc
// passes, like the host's own out-of-memory report.
//
// Threads: every operation may run on any thread. FileMaker Server runs
// calculations on many threads at once, so each side has its own lock; it is
// held for one use of the side (one switch, drain, poll, query or send),
// never across a receive's pause, and the two sides never wait for each other.
#ifndef VELKORA_MIDI_PORTMANAGER_H
#define VELKORA_MIDI_PORTMANAGER_H

#include <cstddef>
#include <cstdint>
#include <exception>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <string>
#include <utility>

#include <RtMidi.h>

#include "midi/MidiSystem.h"
#include "values/ByteArray.h"

namespace velkora {

// Runs one call into the library: true when it raised nothing. Library
// failures (RtMidiError, and any other std::exception the library lets out)
// are caught here; only std::bad_alloc passes.
template <typename Call>
bool MidiCall(Call&& call) {
    try {
        call();
        return true;
    } catch (const std::bad_alloc&) {
        throw;
    } catch (const std::exception&) {
        return false;
    }
}

// The part both directions share. Object is RtMidiIn or RtMidiOut.
template <typename Object>
class MidiSide {
  public:
    MidiSide(const MidiSide&) = delete;
    MidiSide& operator=(const MidiSide&) = delete;

    // Each operation: [the threads that call it; the lock it takes; how long it may block].

    // [start-up; side lock; a client open] Creates the library object unless
    // one exists (its open port then stays). A side whose object cannot be
    // created has no ports. The side owns the object until Delete.
    void Init();
    // [shut-down; side lock; a client close] Destroys the object, which
    // closes its port. Nothing when absent.
    void Delete();
    // [any; side lock; a port listing and open] Opens port n (whatever is
    // open is closed first). True when it is open.
    bool Open(long n);
    // [any; side lock; an atomic read when n is open, else as Open] Makes
    // port n the open one: reused while it is open and its device is the one
    // it was opened on, without asking the library; otherwise opened anew, as
    // by Open. True when port n is open afterwards.
    bool Set(long n);

    // [any; side lock; a port listing] The number of ports, and the library's
    // name of one ("" when none); both 0 / "" while the MIDI system does not
    // answer.
    int32_t Count();
    std::string Name(uint32_t number);

    // [any; side lock; none] What the side holds now, for tests and checks:
    // whether the object exists, its open port, and the library's own view.
    bool Exists() const;
    std::optional<long> OpenPort() const;
    bool LibraryPortOpen() const;

  protected:
    MidiSide(const char* port_name, std::unique_ptr<Object> (*create)());

    struct Port {
        long number;
        DeviceMark device;  // what the port connected to
    };
    // Present from Init to Delete.
    struct Present {
        explicit Present(std::unique_ptr<Object> made) : object(std::move(made)) {}
        std::unique_ptr<Object> object;
        // Whether the object's MIDI system has answered since it was made:
        // it has connected then and keeps its connection.
        bool reached = false;
        bool watching = false;     // counted by WatchMidiSystem
        unsigned lost_seen = 0;    // systems lost when it reached its own
        std::optional<Port> port;  // only on a present object
    };

    // All below: the caller holds lock_.
    // The present state when calls may go to the object now, else null.
    Present* Usable();
    bool Lost() const;
    void ForgetIfLost();
    void ClosePort();
    bool OpenLocked(long n);
    void Reached(Present& present);

    mutable std::recursive_mutex lock_;
    std::optional<Present> present_;

  private:
    void Drop();
    void Unreached(Present& present);

    const char* const port_name_;
    std::unique_ptr<Object> (*const create_)();
};

// What a poll of the input found.
enum class PollResult { message, nothing, port_closed };

class MidiInput : public MidiSide<RtMidiIn> {
  public:
    MidiInput();
    // [any; side lock; as Set] Makes port n the open one (as Set), sets the
    // receive's filter and drains what was queued before. False when port n
    // is not open.
    bool Listen(long n);
    // [any; side lock; none] One poll of port n into the caller's message:
    // port_closed when n is no longer the open port (the plug-in was shut
    // down) or its MIDI system has gone, so a waiting receive ends.
    PollResult Poll(long n, ByteArray& message);
};

class MidiOutput : public MidiSide<RtMidiOut> {
  public:
    MidiOutput();
    // [any; side lock; as Set] Makes port n the open one (as Set) and hands
    // bytes[0, size) to the library as one message (copied; the bytes stay
    // the caller's); with size 0 it only selects the port. 0 when the library
    // took it; -1 when nothing was sent (no such port, an empty message, a
    // message too long for the backend, a library failure). A failed send
    // closes the port: its device may have gone, and the next call opens it
    // anew.
    int32_t Send(long n, const unsigned char* bytes, size_t size);
};

// The process's two sides.
MidiInput& MidiIn();
MidiOutput& MidiOut();

// The operations start-up and shut-down call.
void Init_MIDIIn();
void Init_MIDIOut();
void Delete_MIDIIn();
void Delete_MIDIOut();

}  // namespace velkora

#endif
