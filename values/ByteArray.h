// The byte array: a value list, a MIDI message or a SysEx file's content in
// memory, unsigned 8-bit values of any length. The type alone, for code that
// passes bytes around without reading or writing value lists.
#ifndef VELKORA_VALUES_BYTEARRAY_H
#define VELKORA_VALUES_BYTEARRAY_H

#include <vector>

namespace velkora {

typedef std::vector<unsigned char> ByteArray;

}  // namespace velkora

#endif
