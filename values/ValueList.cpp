#include "ValueList.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>

// Both directions make one allocation for their result and touch each input
// byte a small, fixed number of times. Reading has a fast path for elements
// that are plain runs of digits, which canonical lists consist of; anything
// else (blanks, signs, "0x", stray characters, very long runs) is handed to
// strtoul itself, so the rules stay exactly the C library's.

namespace {

// ---- reading ----------------------------------------------------------------

// Each byte's value as a digit the way strtoul sees it ("0"-"9", then "a"-"z"
// and "A"-"Z" as 10-35); 36 for a byte that is a digit in no base.
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

constexpr DigitTable kDigits = MakeDigitTable();

unsigned DigitOf(char c) { return kDigits.value[static_cast<unsigned char>(c)]; }

// Runs of at most this many digits cannot overflow unsigned long; longer ones
// (leading zeros, huge values) go to strtoul for its saturation.
constexpr size_t SafeDigits(unsigned long base) {
    size_t n = 0;
    for (unsigned long limit = ULONG_MAX; limit >= base; limit /= base) ++n;
    return n;
}

// The word-at-a-time readers below take bytes in memory order as the low
// bytes of an integer first.
bool LittleEndian() {
    const uint32_t one = 1;
    unsigned char first;
    std::memcpy(&first, &one, 1);
    return first == 1;
}

// Bit k set where data[k] equals the byte repeated in `pattern`, for the 64
// bytes at data. Exact per byte: no carry crosses from one byte to the next.
uint64_t MatchMask(const char* data, uint64_t pattern) {
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
unsigned LowestBit(uint64_t m) { return kBitIndex.of[((m & (0 - m)) * kDeBruijn) >> 58]; }

// The low 8 bits of `length` (0-3) decimal digits at p, or false when one of
// them is no digit. Reads four bytes. Subtracting '0' from every byte may
// borrow only upwards; the multiply gathers 100*a + 10*b + c in the top byte.
bool ShortDecimal(const char* p, size_t length, unsigned& byte) {
    uint32_t x;
    std::memcpy(&x, p, 4);
    const uint32_t d = x - 0x30303030u;
    const uint32_t ours = static_cast<uint32_t>((uint64_t{1} << (8 * length)) - 1);
    if (((d + 0x76767676u) | d) & 0x80808080u & ours) return false;  // a byte above 9
    const uint32_t aligned = static_cast<uint32_t>(static_cast<uint64_t>(d & ours) << (8 * (4 - length)));
    byte = static_cast<uint32_t>(aligned * 0x00640A01u) >> 24;
    return true;
}

bool EightBinaryDigits(uint64_t x) { return (x & 0xFEFEFEFEFEFEFEFEull) == 0x3030303030303030ull; }

// Eight binary digits, first character most significant.
unsigned BinaryByte(uint64_t x) {
    return static_cast<unsigned>(((x & 0x0101010101010101ull) * 0x8040201008040201ull) >> 56);
}

// text[begin, end) read by strtoul with `base`, as if it were a string of its
// own. `text` is only borrowed: the byte at `end` stands in as terminator for
// a moment and is put back.
unsigned long Strtoul(std::string& text, size_t begin, size_t end, int base) {
    const char saved = end < text.size() ? text[end] : '\0';
    if (end < text.size()) text[end] = '\0';
    const unsigned long value = std::strtoul(text.c_str() + begin, nullptr, base);
    if (end < text.size()) text[end] = saved;
    return value;
}

// The byte of the element text[begin, end).
template <unsigned Base>
unsigned char ReadElement(std::string& text, size_t begin, size_t end) {
    constexpr size_t kSafe = SafeDigits(Base);
    unsigned long value = 0;
    size_t i = begin;
    for (; i < end; ++i) {
        const unsigned d = DigitOf(text[i]);
        if (d >= Base) break;
        value = value * Base + d;
    }
    if (i != end || end - begin > kSafe) value = Strtoul(text, begin, end, static_cast<int>(Base));
    return static_cast<unsigned char>(value & 0xFF);
}

// The same for an element followed by at least eight more bytes of text, with
// the canonical shapes read a word at a time.
template <unsigned Base>
unsigned char ReadElementInside(std::string& text, size_t begin, size_t end) {
    const char* p = text.data() + begin;
    if (Base == 10 && end - begin <= 3) {
        unsigned byte;
        if (ShortDecimal(p, end - begin, byte)) return static_cast<unsigned char>(byte);
    } else if (Base == 16 && end - begin == 2) {
        const unsigned high = DigitOf(p[0]), low = DigitOf(p[1]);
        if (high < 16 && low < 16) return static_cast<unsigned char>(high << 4 | low);
    } else if (Base == 2 && end - begin == 8) {
        uint64_t x;
        std::memcpy(&x, p, 8);
        if (EightBinaryDigits(x)) return static_cast<unsigned char>(BinaryByte(x));
    }
    return ReadElement<Base>(text, begin, end);
}

// How often the byte c occurs in data[0, size), eight bytes at a time: each
// byte lane of `lanes` counts its matches for up to 255 words.
size_t CountByte(const char* data, size_t size, unsigned char c) {
    const uint64_t pattern = 0x0101010101010101ull * c;
    const uint64_t low7 = 0x7F7F7F7F7F7F7F7Full;
    size_t total = 0;
    size_t i = 0;
    while (size - i >= 8) {
        uint64_t lanes = 0;
        const size_t words = std::min<size_t>((size - i) / 8, 255);
        for (size_t w = 0; w < words; ++w, i += 8) {
            uint64_t x;
            std::memcpy(&x, data + i, 8);
            const uint64_t y = x ^ pattern;
            lanes += ~(((y & low7) + low7) | y | low7) >> 7;
        }
        lanes = (lanes & 0x00FF00FF00FF00FFull) + ((lanes >> 8) & 0x00FF00FF00FF00FFull);
        total += static_cast<size_t>((lanes * 0x0001000100010001ull) >> 48);
    }
    for (; i < size; ++i) total += static_cast<unsigned char>(data[i]) == c;
    return total;
}

size_t CountElements(const std::string& text, const std::string& separator) {
    if (separator.size() == 1) return CountByte(text.data(), text.size(), static_cast<unsigned char>(separator[0])) + 1;
    size_t n = 1;
    for (size_t at = text.find(separator); at != std::string::npos; at = text.find(separator, at + separator.size()))
        ++n;
    return n;
}

// Cuts text from `begin` on at every separator and reads each element.
// Gives the end of what it wrote; `limit` only guards the array's end.
template <unsigned Base>
unsigned char* ReadFrom(size_t begin, std::string& text, const std::string& separator, unsigned char* out,
                        const unsigned char* limit) {
    while (out != limit) {
        const size_t found = text.find(separator, begin);
        const size_t end = found == std::string::npos ? text.size() : found;
        *out++ = ReadElement<Base>(text, begin, end);
        if (found == std::string::npos) break;
        begin = found + separator.size();
    }
    return out;
}

// A one-character separator is found 64 bytes at a time, so that finding the
// next element never waits for reading the one before.
template <unsigned Base>
ByteArray Read(std::string& text, const std::string& separator) {
    ByteArray bytes;
    if (separator.empty()) {
        bytes.push_back(ReadElement<Base>(text, 0, text.size()));
        return bytes;
    }
    // One allocation of exactly the result's size, written through a pointer
    // (stores through a vector would make the compiler reload it each time).
    bytes.resize(CountElements(text, separator));
    unsigned char* out = bytes.data();
    size_t begin = 0;
    if (separator.size() == 1 && LittleEndian()) {
        // Every separator in these blocks stands for one more element, so the
        // count above leaves room for all of them.
        const uint64_t pattern = 0x0101010101010101ull * static_cast<unsigned char>(separator[0]);
        for (size_t block = 0; block + 64 + 8 <= text.size(); block += 64) {
            for (uint64_t found = MatchMask(text.data() + block, pattern); found != 0; found &= found - 1) {
                const size_t end = block + LowestBit(found);
                *out++ = ReadElementInside<Base>(text, begin, end);
                begin = end + 1;
            }
        }
    }
    out = ReadFrom<Base>(begin, text, separator, out, bytes.data() + bytes.size());
    bytes.resize(static_cast<size_t>(out - bytes.data()));
    return bytes;
}

// ---- writing ----------------------------------------------------------------

// Every byte's "%u" form, padded to four characters so that one fixed-size copy
// writes it; `length` says how many count.
struct DecimalTable {
    char text[256][4];
    unsigned char length[256];
};

constexpr DecimalTable MakeDecimalTable() {
    DecimalTable t{};
    for (int b = 0; b < 256; ++b) {
        int n = 0;
        if (b >= 100) t.text[b][n++] = static_cast<char>('0' + b / 100);
        if (b >= 10) t.text[b][n++] = static_cast<char>('0' + b / 10 % 10);
        t.text[b][n++] = static_cast<char>('0' + b % 10);
        t.length[b] = static_cast<unsigned char>(n);
    }
    return t;
}

struct FixedTable {
    char hex[256][2];
    char bin[256][8];
};

constexpr FixedTable MakeFixedTable() {
    FixedTable t{};
    const char digits[] = "0123456789ABCDEF";
    for (int b = 0; b < 256; ++b) {
        t.hex[b][0] = digits[b >> 4];
        t.hex[b][1] = digits[b & 0x0F];
        for (int bit = 0; bit < 8; ++bit) t.bin[b][bit] = static_cast<char>('0' + ((b >> (7 - bit)) & 1));
    }
    return t;
}

constexpr DecimalTable kDecimal = MakeDecimalTable();
constexpr FixedTable kFixed = MakeFixedTable();

// Writes every element with `element(out, byte)` (which returns the new end)
// and the separator between them; gives the end of what was written.
template <bool OneCharSeparator, typename Element>
char* WriteAll(char* out, const ByteArray& bytes, const std::string& separator, Element element) {
    const char* sep = separator.data();
    const size_t sep_size = separator.size();
    out = element(out, bytes[0]);
    for (size_t i = 1; i < bytes.size(); ++i) {
        if (OneCharSeparator) {
            *out++ = sep[0];
        } else {
            std::memcpy(out, sep, sep_size);
            out += sep_size;
        }
        out = element(out, bytes[i]);
    }
    return out;
}

template <typename Element>
char* WriteAll(char* out, const ByteArray& bytes, const std::string& separator, Element element) {
    return separator.size() == 1 ? WriteAll<true>(out, bytes, separator, element)
                                 : WriteAll<false>(out, bytes, separator, element);
}

}  // namespace

ByteArray ValuesToByteArray(std::string& text, const std::string& separator, const std::string& radix) {
    if (radix == "hex") return Read<16>(text, separator);
    if (radix == "bin") return Read<2>(text, separator);
    return Read<10>(text, separator);
}

std::string ByteArrayToString(const ByteArray& bytes, std::string separator, std::string radix) {
    std::string text;
    const size_t n = bytes.size();
    if (n == 0) return text;
    const size_t separators = (n - 1) * separator.size();

    if (radix == "raw" && separator.empty()) {
        text.assign(reinterpret_cast<const char*>(bytes.data()), n);
        return text;
    }
    if (radix == "hex") {
        text.resize(2 * n + separators);
        WriteAll(&text[0], bytes, separator, [](char* out, unsigned char b) {
            std::memcpy(out, kFixed.hex[b], 2);
            return out + 2;
        });
        return text;
    }
    if (radix == "bin") {
        text.resize(8 * n + separators);
        WriteAll(&text[0], bytes, separator, [](char* out, unsigned char b) {
            std::memcpy(out, kFixed.bin[b], 8);
            return out + 8;
        });
        return text;
    }
    if (radix == "raw") {
        text.resize(n + separators);
        WriteAll(&text[0], bytes, separator, [](char* out, unsigned char b) {
            *out = static_cast<char>(b);
            return out + 1;
        });
        return text;
    }
    // Decimal: room for three digits each plus the fourth byte that the last
    // fixed-size copy may write; cut to what was written.
    text.resize(3 * n + separators + 1);
    char* end = WriteAll(&text[0], bytes, separator, [](char* out, unsigned char b) {
        std::memcpy(out, kDecimal.text[b], 4);
        return out + kDecimal.length[b];
    });
    text.resize(static_cast<size_t>(end - text.data()));
    return text;
}
