// The MIDI port manager: the one RtMidi input and the one output object that
// exist while the plug-in is started, and the port open on each. No operation
// lets a library error escape; a failed call only leaves its flag clear.
// Invariant: inport_flag == 1 only while in_flag == 1 and a port of midiin is
// open (likewise for output). Each side has its own lock, held only while its
// state or object is used (one switch, drain, poll, query or send), never
// across a receive's pause; so the sides never wait for each other.
#ifndef VELKORA_MIDI_PORTMANAGER_H
#define VELKORA_MIDI_PORTMANAGER_H

#include <cstdint>
#include <exception>
#include <memory>
#include <mutex>
#include <new>
#include <string>

#include <RtMidi.h>

extern std::unique_ptr<RtMidiIn> midiin;
extern std::unique_ptr<RtMidiOut> midiout;
extern int32_t in_flag;
extern int32_t out_flag;
extern int32_t inport_flag;
extern int32_t outport_flag;
extern long inport_number;
extern long outport_number;

// Held by every caller while it uses one side's state or object. FileMaker Pro
// calls a plug-in on one thread, and a plug-in written for it takes no lock;
// FileMaker Server runs calculations (server scripts, web and data API
// sessions) on many threads at once, so the two objects and their flags need
// locks. One per direction, so that sends never wait for a receive's input
// side, nor counts and names of one side for the other.
extern std::recursive_mutex midiin_lock;
extern std::recursive_mutex midiout_lock;

void Init_MIDIIn();
void Init_MIDIOut();
void Delete_MIDIIn();
void Delete_MIDIOut();
bool Open_InPort(long n);
bool Open_OutPort(long n);
bool Set_InPort(long n);
bool Set_OutPort(long n);

// Whether calls may go to midiin / midiout now: the side's MIDI system has
// answered since its object was made (asked at creation), or answers now; an
// object made before it answered is then made anew. Until then every call is
// refused here, as a failed open. Caller holds the side's lock and has seen
// the side's flag at 1.
bool MidiInReachable();
bool MidiOutReachable();

// ---- platform: one file per platform, chosen by the build -------------------
// False when the library's backend `api` has no MIDI system to talk to now.
// Linux: for JACK, whether a server answers: a client opened and closed at
// once (a failed open takes ~5 ms, a successful one tens of ms). JACK's
// backend, left to find out itself, leaks a 16 KiB ring buffer on each try.
// Every other backend and platform: true, at no cost.
bool MidiSystemAnswers(RtMidi::Api api);
// Linux: the JACK server a side reached can go away unnoticed by the library
// (its sends then report success and, once its buffer is full, spin
// forever). WatchMidiSystem is called by a side that has just reached its
// system: it gives the count of servers lost so far, and true when it now
// watches (JACK: one client of ours, opened for the first side, which libjack
// tells when its server goes); such a side calls UnwatchMidiSystem once it
// is deleted or lost. MidiSystemsLost: the count now; a side that reached its
// system under a lower count talks to a dead server. The watch is taken under
// a lock of its own, after the side's. Elsewhere: never lost, nothing watched.
bool WatchMidiSystem(RtMidi::Api api, unsigned& lost_so_far);
void UnwatchMidiSystem();
unsigned MidiSystemsLost();

// ---- calling the library ----------------------------------------------------
// Every call into RtMidi that can fail goes through MidiCall. It returns the
// error text: "0" when the call raised nothing, otherwise the library's
// message (never "0" itself). Library failures (RtMidiError, and any other
// std::exception the library lets out) are caught here; only std::bad_alloc
// passes, like the host's own out-of-memory report.
std::string MidiErrorText(const std::string& message);

template <typename Call>
std::string MidiCall(Call&& call) {
    std::string error = "0";
    try {
        call();
    } catch (const RtMidiError& e) {
        error = MidiErrorText(e.getMessage());
    } catch (const std::bad_alloc&) {
        throw;
    } catch (const std::exception& e) {
        error = MidiErrorText(e.what());
    }
    return error;
}

inline bool MidiCallSucceeded(const std::string& error) { return error.size() == 1 && error[0] == '0'; }

#endif
