#include "functions/Checksum.h"

#include "values/Scan.h"

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace velkora {

// Commas are found 64 bytes at a time, so finding the next element never waits
// for reading the one before; an element of one to three plain digits (nearly
// all of them) is read a word at a time. Anything else goes to strtol itself,
// on a terminated copy, so its rules stay the C library's.

namespace {

// Runs of at most this many digits cannot overflow long.
constexpr size_t SafeDigits() {
    size_t n = 0;
    for (long limit = LONG_MAX; limit >= 10; limit /= 10) ++n;
    return n;
}

// The low 8 bits of text[begin, end) read as strtol reads it in base 10.
unsigned ElementByte(const char* text, size_t begin, size_t end) {
    unsigned long value = 0;
    size_t i = begin;
    for (; i < end && text[i] >= '0' && text[i] <= '9'; ++i)
        value = value * 10 + static_cast<unsigned long>(text[i] - '0');
    if (i == end && end - begin <= SafeDigits()) return static_cast<unsigned>(value & 0xFF);

    // Signs, blanks, stray characters and long runs: strtol on a terminated
    // copy of the element (on the stack when it is short, as it nearly always is).
    const size_t length = end - begin;
    long read;
    char small[64];
    if (length < sizeof small) {
        std::memcpy(small, text + begin, length);
        small[length] = '\0';
        read = std::strtol(small, nullptr, 10);
    } else {
        read = std::strtol(std::string(text + begin, length).c_str(), nullptr, 10);
    }
    return static_cast<unsigned>(static_cast<unsigned long>(read) & 0xFF);
}

}  // namespace

unsigned ChecksumOf(const std::string& numbers) {
    const char* const data = numbers.data();
    const size_t size = numbers.size();
    unsigned sum = 0;
    size_t begin = 0;
    if (scan::LittleEndian()) {
        for (size_t block = 0; block + 64 + 8 <= size; block += 64) {
            for (uint64_t found = scan::MatchMask(data + block, scan::Repeated(',')); found != 0; found &= found - 1) {
                const size_t end = block + scan::LowestBit(found);
                unsigned byte;
                sum += end - begin <= 3 && scan::ShortDecimal(data + begin, end - begin, byte)
                           ? byte
                           : ElementByte(data, begin, end);
                begin = end + 1;
            }
        }
    }
    for (;;) {
        const void* comma = std::memchr(data + begin, ',', size - begin);
        const size_t end = comma ? static_cast<size_t>(static_cast<const char*>(comma) - data) : size;
        sum += ElementByte(data, begin, end);
        if (comma == nullptr) break;
        begin = end + 1;
    }
    return sum & 0x7F;
}

}  // namespace velkora
