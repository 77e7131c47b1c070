// UTF-8 <-> UTF-16 conversion shared by the FMWrapper and CoreFoundation
// stand-ins. Decoding never fails: a byte that does not start a well-formed
// sequence becomes U+FFFD; encoding writes lone surrogates as U+FFFD.
#ifndef VELKORA_SDK_UNICODE_H
#define VELKORA_SDK_UNICODE_H

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

namespace unicode {

constexpr char32_t kReplacement = 0xFFFD;

inline bool IsSurrogate(char32_t c) { return c >= 0xD800 && c <= 0xDFFF; }

inline void AppendChar(std::u16string& out, char32_t c) {
    if (c > 0xFFFF) {
        c -= 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
    } else {
        out.push_back(static_cast<char16_t>(c));
    }
}

// True when the 16 units at p are all ASCII, tested a word at a time.
inline bool SixteenAscii(const unsigned char* p) {
    uint64_t w[2];
    std::memcpy(w, p, sizeof w);
    return ((w[0] | w[1]) & 0x8080808080808080ull) == 0;
}

inline bool SixteenAscii(const char16_t* p) {
    uint64_t w[4];
    std::memcpy(w, p, sizeof w);
    return ((w[0] | w[1] | w[2] | w[3]) & 0xFF80FF80FF80FF80ull) == 0;
}

// Length of the run of ASCII units that s[0, n) starts with, scanned a word
// at a time.
template <typename Unit>
size_t AsciiPrefix(const Unit* s, size_t n) {
    size_t i = 0;
    while (n - i >= 16 && SixteenAscii(s + i)) i += 16;
    while (i < n && s[i] < 0x80) ++i;
    return i;
}

// Copies n ASCII units from one width to the other (the compiler vectorises
// these loops: the two ranges never overlap).
inline void WidenAscii(char16_t* __restrict to, const unsigned char* __restrict from, size_t n) {
    for (size_t k = 0; k < n; ++k) to[k] = static_cast<char16_t>(from[k]);
}
inline void NarrowAscii(char* __restrict to, const char16_t* __restrict from, size_t n) {
    for (size_t k = 0; k < n; ++k) to[k] = static_cast<char>(from[k]);
}

// Narrows the run of ASCII units that from[0, n) starts with into to[], in
// one pass over the units, and returns its length.
inline size_t NarrowAsciiRun(char* __restrict to, const char16_t* __restrict from, size_t n) {
    size_t i = 0;
    for (; n - i >= 16 && SixteenAscii(from + i); i += 16)
        for (size_t k = 0; k < 16; ++k) to[i + k] = static_cast<char>(from[i + k]);
    for (; i < n && from[i] < 0x80; ++i) to[i] = static_cast<char>(from[i]);
    return i;
}

// Appends the UTF-16 form of n UTF-8 bytes and returns how many bytes were
// invalid (each one became U+FFFD on its own, so the count equals the number
// of replacement characters that the input did not spell out itself).
inline size_t AppendUtf8(std::u16string& out, const char* s, size_t n) {
    size_t invalid = 0;
    const auto* b = reinterpret_cast<const unsigned char*>(s);
    for (size_t i = 0; i < n;) {
        if (b[i] < 0x80) {
            // A run of ASCII, most texts' whole content, widened in one go.
            const size_t run = AsciiPrefix(b + i, n - i);
            const size_t at = out.size();
            out.resize(at + run);
            WidenAscii(&out[at], b + i, run);
            i += run;
            continue;
        }
        unsigned char lead = b[i];
        size_t len = lead < 0x80                    ? 1
                     : lead >= 0xC2 && lead <= 0xDF ? 2
                     : lead >= 0xE0 && lead <= 0xEF ? 3
                     : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                    : 0;
        char32_t c = len == 1 ? lead : len == 2 ? lead & 0x1F : len == 3 ? lead & 0x0F : lead & 0x07;
        bool ok = len != 0 && i + len <= n;
        for (size_t k = 1; ok && k < len; ++k) {
            ok = (b[i + k] & 0xC0) == 0x80;
            c = (c << 6) | (b[i + k] & 0x3F);
        }
        // Overlong forms, surrogates and values beyond U+10FFFF are not characters.
        if (ok && len == 3) ok = c >= 0x800 && !IsSurrogate(c);
        if (ok && len == 4) ok = c >= 0x10000 && c <= 0x10FFFF;
        if (!ok) {
            out.push_back(static_cast<char16_t>(kReplacement));
            ++invalid;
            ++i;
            continue;
        }
        AppendChar(out, c);
        i += len;
    }
    return invalid;
}

// Reads the character at s[i] (a surrogate pair counts as one, but only when
// both halves lie before end) and moves i past it. A lone half reads as U+FFFD.
inline char32_t NextChar(const std::u16string& s, size_t& i, size_t end) {
    char32_t c = s[i++];
    if (c >= 0xD800 && c <= 0xDBFF && i < end && s[i] >= 0xDC00 && s[i] <= 0xDFFF)
        return 0x10000 + ((c - 0xD800) << 10) + (s[i++] - 0xDC00);
    return IsSurrogate(c) ? kReplacement : c;
}

// Writes the UTF-8 bytes of c to out and returns their count (1 to 4).
inline size_t EncodeUtf8(char32_t c, char out[4]) {
    if (IsSurrogate(c) || c > 0x10FFFF) c = kReplacement;
    if (c < 0x80) {
        out[0] = static_cast<char>(c);
        return 1;
    }
    size_t len = c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
    static const unsigned char kLeadMark[] = {0, 0, 0xC0, 0xE0, 0xF0};
    for (size_t k = len - 1; k > 0; --k, c >>= 6) out[k] = static_cast<char>(0x80 | (c & 0x3F));
    out[0] = static_cast<char>(kLeadMark[len] | c);
    return len;
}

inline std::string ToUtf8(const std::u16string& s) {
    std::string out;
    out.reserve(s.size());
    char bytes[4];
    for (size_t i = 0; i < s.size();) {
        if (s[i] < 0x80) {
            const size_t run = AsciiPrefix(s.data() + i, s.size() - i);
            const size_t at = out.size();
            out.resize(at + run);
            NarrowAscii(&out[at], s.data() + i, run);
            i += run;
            continue;
        }
        out.append(bytes, EncodeUtf8(NextChar(s, i, s.size()), bytes));
    }
    return out;
}

inline std::u16string FromUtf8(const char* s, size_t n) {
    // The ASCII start (usually the whole text) is widened as it is copied in,
    // without zeroing a buffer first.
    const auto* b = reinterpret_cast<const unsigned char*>(s);
    const size_t ascii = AsciiPrefix(b, n);
    std::u16string out(b, b + ascii);
    if (ascii < n) {
        out.reserve(n);
        AppendUtf8(out, s + ascii, n - ascii);
    }
    return out;
}

}  // namespace unicode

#endif
