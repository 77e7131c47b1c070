// The platform's side of receiving (MidiIO.cpp, PortManager.cpp): one file
// per platform, chosen by the build (MidiIO_posix.cpp, MidiIO_windows.cpp).
// Only the running receive calls the interrupt and pause functions, and
// receives run one at a time.
#ifndef VELKORA_MIDI_MIDIIOPLATFORM_H
#define VELKORA_MIDI_MIDIIOPLATFORM_H

#include <atomic>
#include <chrono>

#include <RtMidi.h>

namespace velkora {

// From now on SIGINT calls `finish`; the handler it replaces (the host's) is
// kept for RestoreInterrupt. False when the handler could not be installed.
bool CatchInterrupt(void (*finish)(int));
// Puts back the handler that CatchInterrupt replaced.
void RestoreInterrupt();

// Sleeps for `pause`; on POSIX systems it returns early once `finish` has set
// `done` (Windows' sleep sees no signal).
void Pause(std::chrono::milliseconds pause, const std::atomic<bool>& done);

// [under the input side's lock] Readies a new input object before any port
// opens on it. Windows: SysEx input buffers large enough for a whole dump.
void PrepareInput(RtMidiIn& in);

}  // namespace velkora

#endif
