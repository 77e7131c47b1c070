// Word-at-a-time scanning shared by the value-list codec and the checksum:
// finding one separator byte 64 bytes at a time, and reading a short run of
// decimal digits in one multiply. Pure functions on raw bytes; callers make
// sure the bytes they read exist (the reads are up to 64 and 4 bytes wide).
#ifndef VELKORA_VALUES_SCAN_H
#define VELKORA_VALUES_SCAN_H

#include <cstddef>
#include <cstdint>
#include <cstring>

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

}  // namespace scan

}  // namespace velkora

#endif
