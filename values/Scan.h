// Element reading shared by the value-list codec and the checksum: finding
// one separator byte 64 bytes at a time, reading a short run of decimal
// digits in one multiply, and reading any element the C library's way. Pure
// functions on raw bytes; callers make sure the bytes they read exist (the
// word-at-a-time reads are up to 64 and 4 bytes wide).
#ifndef VELKORA_VALUES_SCAN_H
#define VELKORA_VALUES_SCAN_H

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

namespace velkora {

namespace scan {

// The word-at-a-time readers below take bytes in memory order as the low
// bytes of an integer first.
inline bool LittleEndian() {
    const uint32_t one = 1;
    unsigned char first;
    std::memcpy(&first, &one, 1);
    return first == 1;
}

// Bit k set where data[k] equals the byte repeated in `pattern`, for the 64
// bytes at data. Exact per byte: no carry crosses from one byte to the next.
inline uint64_t MatchMask(const char* data, uint64_t pattern) {
    const uint64_t low7 = 0x7F7F7F7F7F7F7F7Full;
    uint64_t mask = 0;
    for (int w = 0; w < 8; ++w) {
        uint64_t x;
        std::memcpy(&x, data + 8 * w, 8);
        const uint64_t y = x ^ pattern;
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
inline unsigned LowestBit(uint64_t m) { return kBitIndex.of[((m & (0 - m)) * kDeBruijn) >> 58]; }

// The low 8 bits of `length` (0-3) decimal digits at p, or false when one of
// them is no digit. Reads four bytes. Subtracting '0' from every byte may
// borrow only upwards; the multiply gathers 100*a + 10*b + c in the top byte.
inline bool ShortDecimal(const char* p, size_t length, unsigned& byte) {
    uint32_t x;
    std::memcpy(&x, p, 4);
    const uint32_t d = x - 0x30303030u;
    const uint32_t ours = static_cast<uint32_t>((uint64_t{1} << (8 * length)) - 1);
    if (((d + 0x76767676u) | d) & 0x80808080u & ours) return false;  // a byte above 9
    const uint32_t aligned = static_cast<uint32_t>(static_cast<uint64_t>(d & ours) << (8 * (4 - length)));
    byte = static_cast<uint32_t>(aligned * 0x00640A01u) >> 24;
    return true;
}

// The byte c repeated in all eight bytes, for MatchMask.
constexpr uint64_t Repeated(unsigned char c) { return 0x0101010101010101ull * c; }

// Calls element(begin, end) for each element of data[0, size) that a
// `separator` ends inside the 64-byte blocks scanned here (blocks followed by
// at least eight more bytes, so a reader of a short element may read a word
// past its end); gives where the rest of the text begins. Each element's end
// is found before the one before it is read, so finding never waits for
// reading. Scans nothing where words are not little-endian.
template <typename Element>
size_t ForEachInBlocks(const char* data, size_t size, char separator, Element element) {
    size_t begin = 0;
    if (!LittleEndian()) return begin;
    const uint64_t pattern = Repeated(static_cast<unsigned char>(separator));
    for (size_t block = 0; block + 64 + 8 <= size; block += 64) {
        for (uint64_t found = MatchMask(data + block, pattern); found != 0; found &= found - 1) {
            const size_t end = block + LowestBit(found);
            element(begin, end);
            begin = end + 1;
        }
    }
    return begin;
}

// Each byte's value as a digit the way strtoul and strtol see it ("0"-"9",
// then "a"-"z" and "A"-"Z" as 10-35); 36 for a byte that is a digit in no base.
struct DigitTable {
    unsigned char value[256];
};

constexpr DigitTable MakeDigitTable() {
    DigitTable t{};
    for (int c = 0; c < 256; ++c) {
        t.value[c] = static_cast<unsigned char>(c >= '0' && c <= '9'   ? c - '0'
                                                : c >= 'a' && c <= 'z' ? c - 'a' + 10
                                                : c >= 'A' && c <= 'Z' ? c - 'A' + 10
                                                                       : 36);
    }
    return t;
}

inline constexpr DigitTable kDigits = MakeDigitTable();

inline unsigned DigitOf(char c) { return kDigits.value[static_cast<unsigned char>(c)]; }

// Runs of at most this many digits in `base` cannot overflow a type whose
// largest value is `limit`.
constexpr size_t SafeDigits(unsigned long limit, unsigned long base) {
    size_t n = 0;
    for (; limit >= base; limit /= base) ++n;
    return n;
}

// The low 8 bits of the element p[0, length) as `library` reads it in Base
// (strtoul or strtol, called with a terminated string, whose rules decide).
// A plain run of at most `safe` digits (SafeDigits of the library's type) is
// read here, with the same result; anything else (signs, blanks, "0x", stray
// characters, long runs) goes to the library on a terminated copy, on the
// stack when it is short, as it nearly always is.
template <unsigned Base, typename Library>
unsigned char ElementByte(const char* p, size_t length, size_t safe, Library library) {
    unsigned long value = 0;
    size_t i = 0;
    for (; i < length; ++i) {
        const unsigned d = DigitOf(p[i]);
        if (d >= Base) break;
        value = value * Base + d;
    }
    if (i != length || length > safe) {
        char small[64];
        if (length < sizeof small) {
            std::memcpy(small, p, length);
            small[length] = '\0';
            value = static_cast<unsigned long>(library(small));
        } else {
            value = static_cast<unsigned long>(library(std::string(p, length).c_str()));
        }
    }
    return static_cast<unsigned char>(value & 0xFF);
}

}  // namespace scan

}  // namespace velkora

#endif
