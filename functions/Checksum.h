// The 7-bit checksum of a comma-separated list of decimal numbers: the sum of
// each element's low 8 bits (read as strtol reads it), modulo 128. Pure.
#ifndef VELKORA_FUNCTIONS_CHECKSUM_H
#define VELKORA_FUNCTIONS_CHECKSUM_H

#include <string>

namespace velkora {

// 0..127. An empty text, or an empty element, counts as 0; n commas make
// n + 1 elements; a value beyond `long` counts as LONG_MAX / LONG_MIN.
unsigned ChecksumOf(const std::string& numbers);

}  // namespace velkora

#endif
