// The MIDI external functions: send, receive, and port enumeration. They
// select ports only through Set_InPort / Set_OutPort and never raise anything
// but the host's own exceptions.
#ifndef VELKORA_MIDI_MIDIFUNCTIONS_H
#define VELKORA_MIDI_MIDIFUNCTIONS_H

#include "values/Sdk.h"

fmx::errcode Velkora_MIDISend(short funcId, const fmx::ExprEnv& env, const fmx::DataVect& parms, fmx::Data& result);
fmx::errcode Velkora_PortCount(short funcId, const fmx::ExprEnv& env, const fmx::DataVect& parms, fmx::Data& result);
fmx::errcode Velkora_PortName(short funcId, const fmx::ExprEnv& env, const fmx::DataVect& parms, fmx::Data& result);
fmx::errcode Velkora_MIDIReceive(short funcId, const fmx::ExprEnv& env, const fmx::DataVect& parms, fmx::Data& result);

#endif
