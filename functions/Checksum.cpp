#include "functions/Checksum.h"

#include "values/Scan.h"

#include <climits>
#include <cstdlib>
#include <cstring>

namespace velkora {

// Commas are found 64 bytes at a time, so finding the next element never waits
// for reading the one before; an element of one to three plain digits (nearly
// all of them) is read a word at a time. Anything else goes to strtol itself,
// so its rules stay the C library's.

namespace {

constexpr size_t kSafeDigits = scan::SafeDigits(LONG_MAX, 10);

unsigned ElementByte(const char* p, size_t length) {
    return scan::ElementByte<10>(p, length, kSafeDigits, [](const char* s) { return std::strtol(s, nullptr, 10); });
}

}  // namespace

unsigned ChecksumOf(const std::string& numbers) {
    const char* const data = numbers.data();
    const size_t size = numbers.size();
    unsigned sum = 0;
    size_t begin = scan::ForEachInBlocks(data, size, ',', [&](size_t from, size_t end) {
        unsigned byte;
        sum += end - from <= 3 && scan::ShortDecimal(data + from, end - from, byte)
                   ? byte
                   : ElementByte(data + from, end - from);
    });
    for (;;) {
        const void* comma = std::memchr(data + begin, ',', size - begin);
        const size_t end = comma ? static_cast<size_t>(static_cast<const char*>(comma) - data) : size;
        sum += ElementByte(data + begin, end - begin);
        if (comma == nullptr) break;
        begin = end + 1;
    }
    return sum & 0x7F;
}

}  // namespace velkora
