// The platform's side of a receive's wait (MidiIO.cpp): one file per
// platform, chosen by the build (MidiIO_posix.cpp, MidiIO_windows.cpp). Only
// the running receive calls these, and receives run one at a time.
#ifndef VELKORA_MIDI_MIDIIOPLATFORM_H
#define VELKORA_MIDI_MIDIIOPLATFORM_H

#include <atomic>
#include <chrono>

// From now on SIGINT calls `finish`; the handler it replaces (the host's) is
// kept for RestoreInterrupt. False when the handler could not be installed.
bool CatchInterrupt(void (*finish)(int));
// Puts back the handler that CatchInterrupt replaced.
void RestoreInterrupt();

// Sleeps for `pause`; on POSIX systems it returns early once `finish` has set
// `done` (Windows' sleep sees no signal).
void Pause(std::chrono::milliseconds pause, const std::atomic<bool>& done);

#endif
