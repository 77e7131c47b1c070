#include "Checksum.h"

#include <climits>
#include <cstdlib>

namespace {

// The low 8 bits of text[begin, end) read as strtol reads it in base 10.
unsigned ElementByte(const std::string& text, size_t begin, size_t end) {
    // Plain digits, the usual case, are read here with strtol's saturation.
    unsigned long value = 0;
    bool overflow = false;
    size_t i = begin;
    for (; i < end && text[i] >= '0' && text[i] <= '9'; ++i) {
        const unsigned long d = static_cast<unsigned long>(text[i] - '0');
        if (value > (static_cast<unsigned long>(LONG_MAX) - d) / 10) overflow = true;
        value = value * 10 + d;
    }
    if (i == end) return overflow ? static_cast<unsigned>(LONG_MAX & 0xFF) : static_cast<unsigned>(value & 0xFF);

    // Signs, blanks and stray characters: strtol itself, on a terminated copy
    // of the element (on the stack when it is short, as it nearly always is).
    const size_t length = end - begin;
    long read;
    char small[64];
    if (length < sizeof small) {
        text.copy(small, length, begin);
        small[length] = '\0';
        read = std::strtol(small, nullptr, 10);
    } else {
        read = std::strtol(text.substr(begin, length).c_str(), nullptr, 10);
    }
    return static_cast<unsigned>(static_cast<unsigned long>(read) & 0xFF);
}

}  // namespace

unsigned ChecksumOf(const std::string& numbers) {
    unsigned sum = 0;
    size_t begin = 0;
    for (;;) {
        const size_t comma = numbers.find(',', begin);
        const size_t end = comma == std::string::npos ? numbers.size() : comma;
        sum += ElementByte(numbers, begin, end);
        if (comma == std::string::npos) break;
        begin = comma + 1;
    }
    return sum & 0x7F;
}
