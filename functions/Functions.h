// SysEx files, checksum, radix conversion and 7-bit packing: external
// functions that hold no state and touch no MIDI object.
#ifndef VELKORA_FUNCTIONS_FUNCTIONS_H
#define VELKORA_FUNCTIONS_FUNCTIONS_H

#include "values/Sdk.h"

fmx::errcode Velkora_Checksum(short funcId, const fmx::ExprEnv& env, const fmx::DataVect& parms, fmx::Data& result);
fmx::errcode Velkora_SysexWrite(short funcId, const fmx::ExprEnv& env, const fmx::DataVect& parms, fmx::Data& result);
fmx::errcode Velkora_SysexRead(short funcId, const fmx::ExprEnv& env, const fmx::DataVect& parms, fmx::Data& result);
fmx::errcode Velkora_NumToBin(short funcId, const fmx::ExprEnv& env, const fmx::DataVect& parms, fmx::Data& result);
fmx::errcode Velkora_BinToNum(short funcId, const fmx::ExprEnv& env, const fmx::DataVect& parms, fmx::Data& result);
fmx::errcode Velkora_NumToHex(short funcId, const fmx::ExprEnv& env, const fmx::DataVect& parms, fmx::Data& result);
fmx::errcode Velkora_HexToNum(short funcId, const fmx::ExprEnv& env, const fmx::DataVect& parms, fmx::Data& result);
fmx::errcode Velkora_BytesToValue(short funcId, const fmx::ExprEnv& env, const fmx::DataVect& parms, fmx::Data& result);
fmx::errcode Velkora_ValueToBytes(short funcId, const fmx::ExprEnv& env, const fmx::DataVect& parms, fmx::Data& result);

#endif
