#include "values/ValueList.h"

#include "values/Scan.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace velkora {

// Both directions make one allocation for their result and touch each input
// byte a small, fixed number of times. Reading has a fast path for elements
// that are plain runs of digits, which canonical lists consist of; anything
// else (blanks, signs, "0x", stray characters, very long runs) is handed to
// strtoul itself, so the rules stay exactly the C library's.

namespace {

// ---- reading ----------------------------------------------------------------

bool EightBinaryDigits(uint64_t x) { return (x & 0xFEFEFEFEFEFEFEFEull) == 0x3030303030303030ull; }

// Eight binary digits, first character most significant.
unsigned BinaryByte(uint64_t x) {
    return static_cast<unsigned>(((x & 0x0101010101010101ull) * 0x8040201008040201ull) >> 56);
}

// The byte of the element text[begin, end).
template <unsigned Base>
unsigned char ReadElement(const std::string& text, size_t begin, size_t end) {
    constexpr size_t kSafe = scan::SafeDigits(ULONG_MAX, Base);
    return scan::ElementByte<Base>(text.data() + begin, end - begin, kSafe,
                                   [](const char* s) { return std::strtoul(s, nullptr, Base); });
}

// The same for an element followed by at least eight more bytes of text, with
// the canonical shapes read a word at a time.
template <unsigned Base>
unsigned char ReadElementInside(const std::string& text, size_t begin, size_t end) {
    const char* p = text.data() + begin;
    if (Base == 10 && end - begin <= 3) {
        unsigned byte;
        if (scan::ShortDecimal(p, end - begin, byte)) return static_cast<unsigned char>(byte);
    } else if (Base == 16 && end - begin == 2) {
        const unsigned high = scan::DigitOf(p[0]), low = scan::DigitOf(p[1]);
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
    const uint64_t pattern = scan::Repeated(c);
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
unsigned char* ReadFrom(size_t begin, const std::string& text, const std::string& separator, unsigned char* out,
                        const unsigned char* limit) {
    if (separator.size() == 1) {
        // What is left after the blocks is short: a plain scan beats a
        // library search per element.
        const char sep = separator[0];
        for (size_t end = begin; out != limit; ++end) {
            if (end == text.size() || text[end] == sep) {
                *out++ = ReadElement<Base>(text, begin, end);
                begin = end + 1;
                if (end == text.size()) break;
            }
        }
        return out;
    }
    while (out != limit) {
        const size_t found = text.find(separator, begin);
        const size_t end = found == std::string::npos ? text.size() : found;
        *out++ = ReadElement<Base>(text, begin, end);
        if (found == std::string::npos) break;
        begin = found + separator.size();
    }
    return out;
}

// Reads the `count` (CountElements) elements of `text`, cut at a non-empty
// separator, into out[0, count); gives the end of what it wrote. A
// one-character separator is found 64 bytes at a time, so that finding the
// next element never waits for reading the one before.
template <unsigned Base>
unsigned char* ReadInto(const std::string& text, const std::string& separator, unsigned char* out, size_t count) {
    unsigned char* const limit = out + count;
    size_t begin = 0;
    if (separator.size() == 1) {
        // Every separator in these blocks stands for one more element, so the
        // count leaves room for all of them.
        begin = scan::ForEachInBlocks(text.data(), text.size(), separator[0], [&](size_t from, size_t end) {
            *out++ = ReadElementInside<Base>(text, from, end);
        });
    }
    return ReadFrom<Base>(begin, text, separator, out, limit);
}

template <unsigned Base>
ByteArray Read(const std::string& text, const std::string& separator) {
    ByteArray bytes;
    if (separator.empty()) {
        bytes.push_back(ReadElement<Base>(text, 0, text.size()));
        return bytes;
    }
    // One allocation of exactly the result's size, written through a pointer
    // (stores through a vector would make the compiler reload it each time).
    bytes.resize(CountElements(text, separator));
    bytes.resize(static_cast<size_t>(ReadInto<Base>(text, separator, bytes.data(), bytes.size()) - bytes.data()));
    return bytes;
}

// ---- writing ----------------------------------------------------------------

// Every byte's "%u" form, padded to four characters so that one fixed-size copy
// writes it; `length` says how many count. One table per character width.
template <typename Char>
struct DecimalTable {
    Char text[256][4];
    unsigned char length[256];
};

template <typename Char>
constexpr DecimalTable<Char> MakeDecimalTable() {
    DecimalTable<Char> t{};
    for (int b = 0; b < 256; ++b) {
        int n = 0;
        if (b >= 100) t.text[b][n++] = static_cast<Char>('0' + b / 100);
        if (b >= 10) t.text[b][n++] = static_cast<Char>('0' + b / 10 % 10);
        t.text[b][n++] = static_cast<Char>('0' + b % 10);
        t.length[b] = static_cast<unsigned char>(n);
    }
    return t;
}

template <typename Char>
struct FixedTable {
    Char hex[256][2];
    Char bin[256][8];
};

template <typename Char>
constexpr FixedTable<Char> MakeFixedTable() {
    FixedTable<Char> t{};
    const char digits[] = "0123456789ABCDEF";
    for (int b = 0; b < 256; ++b) {
        t.hex[b][0] = static_cast<Char>(digits[b >> 4]);
        t.hex[b][1] = static_cast<Char>(digits[b & 0x0F]);
        for (int bit = 0; bit < 8; ++bit) t.bin[b][bit] = static_cast<Char>('0' + ((b >> (7 - bit)) & 1));
    }
    return t;
}

template <typename Char>
constexpr DecimalTable<Char> kDecimal = MakeDecimalTable<Char>();
template <typename Char>
constexpr FixedTable<Char> kFixed = MakeFixedTable<Char>();

// Writes every element with `element(out, byte)` (which returns the new end)
// and the separator between them; gives the end of what was written.
template <bool OneCharSeparator, typename Char, typename Element>
Char* WriteAll(Char* out, const ByteArray& bytes, const std::basic_string<Char>& separator, Element element) {
    const Char* sep = separator.data();
    const size_t sep_size = separator.size();
    out = element(out, bytes[0]);
    for (size_t i = 1; i < bytes.size(); ++i) {
        if (OneCharSeparator) {
            *out++ = sep[0];
        } else {
            std::memcpy(out, sep, sep_size * sizeof(Char));
            out += sep_size;
        }
        out = element(out, bytes[i]);
    }
    return out;
}

template <typename Char, typename Element>
Char* WriteAll(Char* out, const ByteArray& bytes, const std::basic_string<Char>& separator, Element element) {
    return separator.size() == 1 ? WriteAll<true>(out, bytes, separator, element)
                                 : WriteAll<false>(out, bytes, separator, element);
}

// Room for the text of n > 0 bytes: exact, except that decimal counts three
// digits each plus the fourth character that its last fixed-size copy writes.
size_t Room(size_t n, size_t separator_size, Radix radix) {
    const size_t per_byte = radix == Radix::kHex ? 2 : radix == Radix::kBin ? 8 : radix == Radix::kRaw ? 1 : 3;
    return per_byte * n + (n - 1) * separator_size + (radix == Radix::kDecimal ? 1 : 0);
}

// Writes the text of n > 0 bytes, in characters of any width, into `out`
// (Room characters); gives its end.
template <typename Char>
Char* WriteText(Char* out, const ByteArray& bytes, const std::basic_string<Char>& separator, Radix radix) {
    switch (radix) {
        case Radix::kHex:
            return WriteAll(out, bytes, separator, [](Char* to, unsigned char b) {
                std::memcpy(to, kFixed<Char>.hex[b], 2 * sizeof(Char));
                return to + 2;
            });
        case Radix::kBin:
            return WriteAll(out, bytes, separator, [](Char* to, unsigned char b) {
                std::memcpy(to, kFixed<Char>.bin[b], 8 * sizeof(Char));
                return to + 8;
            });
        case Radix::kRaw:
            return WriteAll(out, bytes, separator, [](Char* to, unsigned char b) {
                *to = static_cast<Char>(b);
                return to + 1;
            });
        case Radix::kDecimal: break;
    }
    return WriteAll(out, bytes, separator, [](Char* to, unsigned char b) {
        std::memcpy(to, kDecimal<Char>.text[b], 4 * sizeof(Char));
        return to + kDecimal<Char>.length[b];
    });
}

}  // namespace

ByteArray ValuesToByteArray(const std::string& text, const std::string& separator, Radix radix) {
    if (radix == Radix::kHex) return Read<16>(text, separator);
    if (radix == Radix::kBin) return Read<2>(text, separator);
    return Read<10>(text, separator);
}

size_t DecimalListToBytes(const std::string& text, unsigned char* out, size_t capacity) {
    static const std::string comma(",");
    const size_t count = CountElements(text, comma);
    if (count > capacity) return count;
    return static_cast<size_t>(ReadInto<10>(text, comma, out, count) - out);
}

std::string ByteArrayToString(const ByteArray& bytes, const std::string& separator, Radix r) {
    std::string text;
    if (bytes.empty()) return text;
    if (r == Radix::kRaw && separator.empty())
        return text.assign(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    text.resize(Room(bytes.size(), separator.size(), r));
    text.resize(static_cast<size_t>(WriteText(&text[0], bytes, separator, r) - text.data()));
    return text;
}

Utf16Text ByteArrayToUtf16(const ByteArray& bytes, const std::u16string& separator, Radix r) {
    Utf16Text text;
    if (bytes.empty()) return text;
    // Not zeroed first: every unit up to the end is written.
    text.units.reset(new char16_t[Room(bytes.size(), separator.size(), r)]);
    text.size = static_cast<size_t>(WriteText(text.units.get(), bytes, separator, r) - text.units.get());
    return text;
}

}  // namespace velkora
