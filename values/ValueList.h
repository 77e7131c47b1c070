// The value-list codec: byte arrays <-> texts such as "144,60,100".
// Every text reads as some byte array (strtoul rules per element, low 8 bits)
// and every byte array writes as a text; nothing is ever rejected. Linear time.
#ifndef VELKORA_VALUES_VALUELIST_H
#define VELKORA_VALUES_VALUELIST_H

#include <memory>
#include <string>

#include "values/ByteArray.h"

namespace velkora {

// How numbers are written: decimal, two hex digits, eight binary digits, or
// the byte itself (for writing only; reading it is decimal).
enum class Radix { kDecimal, kHex, kBin, kRaw };

// Splits `text` at every `separator` (n separators give n + 1 bytes) and reads
// each element in `radix` (strtoul's rules). An empty separator reads the
// whole text as one element.
ByteArray ValuesToByteArray(const std::string& text, const std::string& separator, Radix radix);

// ValuesToByteArray(text, ",", Radix::kDecimal) into out[0, capacity), with
// no allocation, for the short messages sent most often: gives the count of
// bytes; a list of more than `capacity` elements gives its count and writes
// nothing.
size_t DecimalListToBytes(const std::string& text, unsigned char* out, size_t capacity);

// Writes each byte as "%u", "%02X", eight binary digits or the byte itself,
// joined by separator.
std::string ByteArrayToString(const ByteArray& bytes, const std::string& separator, Radix radix);

// The same text in UTF-16, for handing straight to the host, which keeps its
// texts in UTF-16: built once, in a buffer of its own, with no conversion
// afterwards. Radix::kRaw writes each byte as the unit of the same value.
struct Utf16Text {
    std::unique_ptr<char16_t[]> units;
    size_t size = 0;
};
Utf16Text ByteArrayToUtf16(const ByteArray& bytes, const std::u16string& separator, Radix radix);

}  // namespace velkora

#endif
