// What the port manager asks of the MIDI system beyond the library: whether
// it answers, whether it has gone, and whether the device behind an open port
// is still the one it was opened on. One file per platform, chosen by the
// build: MidiSystem_linux.cpp (JACK, through libjack) and MidiSystem_other.cpp
// (nothing to ask: the library's backend finds out itself).
#ifndef VELKORA_MIDI_MIDISYSTEM_H
#define VELKORA_MIDI_MIDISYSTEM_H

#include <cstdint>
#include <string>
#include <vector>

#include <RtMidi.h>

namespace velkora {

// [any thread; no lock; blocks for one client open and close of the MIDI
// system, longer when it answers than when not] False when the backend `api`
// has no MIDI system to talk to now. JACK: a client opened and closed at
// once; JACK's backend, left to find out itself, leaks a 16 KiB ring buffer
// on each try. Elsewhere true at once.
bool MidiSystemAnswers(RtMidi::Api api);

// [any thread; the watch lock, taken after the side's; blocks for a client
// open at most] JACK's backend does not notice when its server goes (its
// sends then report success and, once its buffer is full, spin forever). A
// side that has just reached its system calls WatchMidiSystem: it gives the
// count of systems lost so far, and true when it now watches (JACK: one
// client of ours, the watcher, opened for the first side; libjack tells it
// when its server goes and when the graph changes). Such a side calls
// UnwatchMidiSystem once it is deleted or lost. Elsewhere: nothing watched.
bool WatchMidiSystem(RtMidi::Api api, unsigned& lost_so_far);
void UnwatchMidiSystem();
// Systems lost so far: a side that reached its own under a lower count talks
// to a dead one. [any thread; no lock; an atomic read]
unsigned MidiSystemsLost();

// The device behind an open port: the port it connected to, our port that
// connected, and the graph's change count when it did.
struct DeviceMark {
    std::string peer;                   // "" when nothing is watched
    std::string ours;                   // "" until known
    std::vector<std::string> peer_had;  // the peer's connections before ours
    unsigned graph_seen = 0;
};
// [any thread; no lock; an atomic read] Changes of the graph seen by the
// watcher (ports registered or connected, either way); never changes when
// nothing is watched.
unsigned MidiGraphChanges();
// [any thread; the watch lock; reads shared memory, no server call] The mark
// of the port named `peer`, taken before a side connects to it; `watching`:
// whether that side is watched. NoteConnected completes it once the side has
// connected (its new connection is ours).
DeviceMark MarkDevice(bool watching, const std::string& peer);
void NoteConnected(DeviceMark& mark);
// [the mark's side, under its lock; an atomic read, and after a change of the
// graph the watch lock and a look into shared memory] Whether the device
// behind `mark` is still there: the graph has not changed since the mark, or
// the peer port is there and still connected to ours (a peer that left and
// came back has a port of the same name, connected to nothing of ours).
// Updates the mark's count when it is.
bool DeviceStillThere(DeviceMark& mark);

}  // namespace velkora

#endif
