// Integers <-> lists of 7-bit groups, the form in which MIDI data bytes carry
// wider numbers. One to four groups (28 bits); pure and allocation-free in
// the pointer forms.
#ifndef VELKORA_FUNCTIONS_PACKING_H
#define VELKORA_FUNCTIONS_PACKING_H

#include <cstddef>
#include <cstdint>

#include "values/ByteArray.h"

namespace velkora {

// Groups of v (two's complement, higher bits dropped), `count` clamped to
// 1..4, least significant group first when lsbFirst, else most significant.
ByteArray ValueToGroups(long v, long count, bool lsbFirst);
// The same into out[0..3]; gives the number of groups written.
size_t ValueToGroups(long v, long count, bool lsbFirst, unsigned char out[4]);

// OR of the first four elements, each shifted to its group's place; the
// elements are not masked, so one above 127 spills into the next group.
// An empty list gives 0.
uint32_t GroupsToValue(const ByteArray& groups, bool lsbFirst);
uint32_t GroupsToValue(const unsigned char* groups, size_t count, bool lsbFirst);

}  // namespace velkora

#endif
