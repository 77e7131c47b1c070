// The MIDI external functions: send, receive, and port enumeration. They
// select ports only through Set_InPort / Set_OutPort and never raise anything
// but the host's own exceptions. Any of them may run on several of the host's
// threads at once (see PortManager.h for why and how).
#ifndef VELKORA_MIDI_MIDIFUNCTIONS_H
#define VELKORA_MIDI_MIDIFUNCTIONS_H

#include "values/Sdk.h"

namespace velkora {

ExternalFunction Velkora_MIDISend;
ExternalFunction Velkora_PortCount;
ExternalFunction Velkora_PortName;
// Blocks the calculation's thread until a message arrives, SIGINT comes, or 30
// polls a second apart have found nothing: up to about 30 s. All that time it
// holds the receive lock (MidiIO.cpp), so a second receive waits for it; the
// input side's lock only for each poll, so counts, names and sends go on
// meanwhile. For the wait it installs its own SIGINT handler, which ends the
// wait, and puts the host's handler back when the wait ends.
ExternalFunction Velkora_MIDIReceive;

}  // namespace velkora

#endif
