// SysEx files, checksum, radix conversion and 7-bit packing: external
// functions that hold no state and touch no MIDI object.
#ifndef VELKORA_FUNCTIONS_FUNCTIONS_H
#define VELKORA_FUNCTIONS_FUNCTIONS_H

#include "values/Sdk.h"

namespace velkora {

ExternalFunction Velkora_Checksum;
ExternalFunction Velkora_SysexWrite;
ExternalFunction Velkora_SysexRead;
ExternalFunction Velkora_NumToBin;
ExternalFunction Velkora_BinToNum;
ExternalFunction Velkora_NumToHex;
ExternalFunction Velkora_HexToNum;
ExternalFunction Velkora_BytesToValue;
ExternalFunction Velkora_ValueToBytes;

}  // namespace velkora

#endif
