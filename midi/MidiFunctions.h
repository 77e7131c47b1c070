// The MIDI external functions: send, receive, and port enumeration. They
// select ports only through Set_InPort / Set_OutPort and never raise anything
// but the host's own exceptions.
#ifndef VELKORA_MIDI_MIDIFUNCTIONS_H
#define VELKORA_MIDI_MIDIFUNCTIONS_H

#include "values/Sdk.h"

ExternalFunction Velkora_MIDISend;
ExternalFunction Velkora_PortCount;
ExternalFunction Velkora_PortName;
ExternalFunction Velkora_MIDIReceive;

#endif
