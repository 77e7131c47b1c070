#include "Checksum.h"

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>

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

// The word-at-a-time code takes bytes in memory order as the low bytes first.
bool LittleEndian() {
    const uint32_t one = 1;
    unsigned char first;
    std::memcpy(&first, &one, 1);
    return first == 1;
}

// Bit k set where data[k] is a comma, for the 64 bytes at data.
uint64_t CommaMask(const char* data) {
    const uint64_t low7 = 0x7F7F7F7F7F7F7F7Full;
    uint64_t mask = 0;
    for (int w = 0; w < 8; ++w) {
        uint64_t x;
        std::memcpy(&x, data + 8 * w, 8);
        const uint64_t y = x ^ 0x2C2C2C2C2C2C2C2Cull;
        const uint64_t zero_bytes = ~(((y & low7) + low7) | y | low7);  // 0x80 in each zero byte
        mask |= (((zero_bytes >> 7) * 0x0102040810204080ull) >> 56) << (8 * w);
    }
    return mask;
}

struct BitIndex {
    unsigned char of[64];
};

constexpr uint64_t kDeBruijn = 0x03F79D71B4CB0A89ull;

constexpr BitIndex MakeBitIndex() {
    BitIndex t{};
    for (unsigned i = 0; i < 64; ++i) t.of[(kDeBruijn << i) >> 58] = static_cast<unsigned char>(i);
    return t;
}

constexpr BitIndex kBitIndex = MakeBitIndex();

// Index of the lowest set bit of m (m != 0).
unsigned LowestBit(uint64_t m) { return kBitIndex.of[((m & (0 - m)) * kDeBruijn) >> 58]; }

// The low 8 bits of `length` (0-3) decimal digits at p, or false when one of
// them is no digit. Reads four bytes.
bool ShortDecimal(const char* p, size_t length, unsigned& byte) {
    uint32_t x;
    std::memcpy(&x, p, 4);
    const uint32_t d = x - 0x30303030u;
    const uint32_t ours = static_cast<uint32_t>((uint64_t{1} << (8 * length)) - 1);
    if (((d + 0x76767676u) | d) & 0x80808080u & ours) return false;
    const uint32_t aligned = static_cast<uint32_t>(static_cast<uint64_t>(d & ours) << (8 * (4 - length)));
    byte = static_cast<uint32_t>(aligned * 0x00640A01u) >> 24;
    return true;
}

// The low 8 bits of text[begin, end) read as strtol reads it in base 10.
unsigned ElementByte(const char* text, size_t begin, size_t end) {
    unsigned long value = 0;
    size_t i = begin;
    for (; i < end && text[i] >= '0' && text[i] <= '9'; ++i) value = value * 10 + static_cast<unsigned long>(text[i] - '0');
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
    if (LittleEndian()) {
        for (size_t block = 0; block + 64 + 8 <= size; block += 64) {
            for (uint64_t found = CommaMask(data + block); found != 0; found &= found - 1) {
                const size_t end = block + LowestBit(found);
                unsigned byte;
                sum += end - begin <= 3 && ShortDecimal(data + begin, end - begin, byte) ? byte
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
