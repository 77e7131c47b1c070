// Windows and macOS: the MIDI service is part of the system; the library's
// backend finds out itself, at no cost, whether a device is there, and a
// device that goes away makes its calls fail instead of hang.
#include "midi/MidiSystem.h"

namespace velkora {

bool MidiSystemAnswers(RtMidi::Api) { return true; }

bool WatchMidiSystem(RtMidi::Api, unsigned& lost_so_far) {
    lost_so_far = 0;
    return false;
}

void UnwatchMidiSystem() {}

unsigned MidiSystemsLost() { return 0; }

// A device that goes away makes the library's sends fail instead; the output
// side then closes its port (MidiOutput::Send).
unsigned MidiGraphChanges() { return 0; }

DeviceMark MarkDevice(bool, const std::string&) { return DeviceMark(); }

void NoteConnected(DeviceMark&) {}

bool DeviceStillThere(DeviceMark&) { return true; }

}  // namespace velkora
