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

// Appends the UTF-16 form of n UTF-8 bytes and returns how many bytes were
// invalid (each one became U+FFFD on its own, so the count equals the number
// of replacement characters that the input did not spell out itself).
inline size_t AppendUtf8(std::u16string& out, const char* s, size_t n) {
    size_t invalid = 0;
    const auto* b = reinterpret_cast<const unsigned char*>(s);
    for (size_t i = 0; i < n;) {
        if (b[i] < 0x80) {
            // A run of ASCII, most texts' whole content, widened in one go.
            size_t end = i;
            while (n - end >= 16 && SixteenAscii(b + end)) end += 16;
            while (end < n && b[end] < 0x80) ++end;
            const size_t at = out.size();
            out.resize(at + (end - i));
            for (size_t k = i; k < end; ++k) out[at + (k - i)] = static_cast<char16_t>(b[k]);
            i = end;
            continue;
        }
        unsigned char lead = b[i];
        size_t len = lead < 0x80 ? 1 : lead >= 0xC2 && lead <= 0xDF ? 2 : lead >= 0xE0 && lead <= 0xEF ? 3
                   : lead >= 0xF0 && lead <= 0xF4 ? 4 : 0;
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
            size_t end = i;
            while (s.size() - end >= 16 && SixteenAscii(s.data() + end)) end += 16;
            while (end < s.size() && s[end] < 0x80) ++end;
            const size_t at = out.size();
            out.resize(at + (end - i));
            for (size_t k = i; k < end; ++k) out[at + (k - i)] = static_cast<char>(s[k]);
            i = end;
            continue;
        }
        out.append(bytes, EncodeUtf8(NextChar(s, i, s.size()), bytes));
    }
    return out;
}

inline std::u16string FromUtf8(const char* s, size_t n) {
    std::u16string out;
    out.reserve(n);
    AppendUtf8(out, s, n);
    return out;
}

}  // namespace unicode

#endif
