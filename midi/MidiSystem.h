// What the port manager asks of the MIDI system beyond the library: whether
// it answers and whether it has gone. One file per platform, chosen by the
// build: MidiSystem_linux.cpp (JACK, through libjack) and MidiSystem_other.cpp
// (nothing to ask: the library's backend finds out itself).
#ifndef VELKORA_MIDI_MIDISYSTEM_H
#define VELKORA_MIDI_MIDISYSTEM_H

#include <RtMidi.h>

namespace velkora {

// [any thread; no lock; blocks for one client open and close of the MIDI
// system, longer when it answers than when not] False when the backend `api`
// has no MIDI system to talk to now. JACK: a client opened and closed at
// once; JACK's backend, left to find out itself, leaks a 16 KiB ring buffer
// on each try. Elsewhere true at once.
bool MidiSystemAnswers(RtMidi::Api api);

// JACK's backend does not notice when its server goes (its sends then report
// success and, once its buffer is full, spin forever). A side that has just
// reached its system calls WatchMidiSystem: it gives the count of systems
// lost so far, and true when it now watches (JACK: one client of ours, the
// watcher, opened for the first side; libjack tells it when its server goes
//). Such a side calls UnwatchMidiSystem once it is
// deleted or lost. Takes a lock of its own, after the side's; blocks for a
// client open at most. Elsewhere: nothing watched.
bool WatchMidiSystem(RtMidi::Api api, unsigned& lost_so_far);
void UnwatchMidiSystem();
// Systems lost so far: a side that reached its own under a lower count talks
// to a dead one. An atomic read, any thread.
unsigned MidiSystemsLost();

}  // namespace velkora

#endif
