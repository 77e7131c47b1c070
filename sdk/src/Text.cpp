// fmx::Text and fmx::Locale. Texts are UTF-16; the byte encodings are UTF-8
// (native and 1) and code page 437 (2). Positions and sizes count UTF-16
// units and are clamped to the text.
#include <algorithm>
#include <cstring>

#include "Internal.h"
#include "Unicode.h"

using namespace fmxhost;

namespace {

// Code page 437, bytes 0x80..0xFF; 0x00..0x7F are ASCII.
const char16_t kCp437High[128] = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7, 0x00EA, 0x00EB, 0x00E8, 0x00EF, 0x00EE, 0x00EC, 0x00C4, 0x00C5,
    0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9, 0x00FF, 0x00D6, 0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192,
    0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA, 0x00BA, 0x00BF, 0x2310, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB,
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556, 0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510,
    0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F, 0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x2567,
    0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B, 0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580,
    0x03B1, 0x00DF, 0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4, 0x03A6, 0x0398, 0x03A9, 0x03B4, 0x221E, 0x03C6, 0x03B5, 0x2229,
    0x2261, 0x00B1, 0x2265, 0x2264, 0x2320, 0x2321, 0x00F7, 0x2248, 0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0,
};

bool IsUtf8(fmx::int32 encoding) {
    if (encoding == fmx::Text::kEncoding_Native || encoding == fmx::Text::kEncoding_UTF8) return true;
    if (encoding == fmx::Text::kEncoding_ASCII_DOS) return false;
    throw BadArgument();  // an encoding this host does not have
}

std::u16string Decode(const char* s, size_t n, fmx::int32 encoding) {
    if (s == nullptr && n != 0) throw BadArgument();
    if (IsUtf8(encoding)) return unicode::FromUtf8(s, n);
    std::u16string out(n, u'\0');
    for (size_t i = 0; i < n; ++i) {
        auto b = static_cast<unsigned char>(s[i]);
        out[i] = b < 0x80 ? b : kCp437High[b - 0x80];
    }
    return out;
}

// The bytes of one character in the given encoding; returns their count.
size_t Encode(char32_t c, bool utf8, char out[4]) {
    if (utf8) return unicode::EncodeUtf8(c, out);
    if (c < 0x80) {
        out[0] = static_cast<char>(c);
        return 1;
    }
    const char16_t* end = kCp437High + 128;
    const char16_t* hit = c > 0xFFFF ? end : std::find(kCp437High, end, static_cast<char16_t>(c));
    out[0] = hit == end ? '?' : static_cast<char>(0x80 + (hit - kCp437High));
    return 1;
}

// [position, position + size) clamped to a text of length len.
std::pair<size_t, size_t> Clamp(size_t len, fmx::uint32 position, fmx::uint32 size) {
    size_t begin = std::min<size_t>(position, len);
    return {begin, begin + std::min<size_t>(size, len - begin)};
}

size_t UnicodeLength(const fmx::uint16* s) {
    if (s == nullptr) return 0;
    size_t n = 0;
    while (s[n] != 0) ++n;
    return n;
}

std::u16string FromUnits(const fmx::uint16* s, size_t n) {
    if (s == nullptr && n != 0) throw BadArgument();
    return std::u16string(reinterpret_cast<const char16_t*>(s), n);
}

}  // namespace

namespace fmx {

FMX_API Text* FM_Text_Constructor1(_fmxcpt& _x) {
    return Entry(__func__, _x, [&] { return Create<Text>(kFMH_Text, TextImpl{}); });
}

FMX_API void FM_Text_Delete(Text* _self, _fmxcpt& _x) {
    Entry(__func__, _x, [&] { Destroy(_self, kFMH_Text); });
}

FMX_API uint32 FM_Text_GetSize(const Text* _self, _fmxcpt& _x) {
    return Entry(__func__, _x, [&] { return static_cast<uint32>(Impl(_self).s().size()); });
}

FMX_API void FM_Text_Assign(Text* _self, const char* s, int32 encoding, _fmxcpt& _x) {
    Entry(__func__, _x, [&] { Impl(_self).Set(Decode(s, s ? std::strlen(s) : 0, encoding)); });
}

FMX_API void FM_Text_AssignWithLength(Text* _self, const char* s, uint32 strlength, int32 encoding, _fmxcpt& _x) {
    Entry(__func__, _x, [&] { Impl(_self).Set(Decode(s, strlength, encoding)); });
}

FMX_API void FM_Text_AssignUnicode(Text* _self, const uint16* s, _fmxcpt& _x) {
    Entry(__func__, _x, [&] { Impl(_self).Set(FromUnits(s, UnicodeLength(s))); });
}

FMX_API void FM_Text_AssignUnicodeWithLength(Text* _self, const uint16* s, uint32 strlength, _fmxcpt& _x) {
    Entry(__func__, _x, [&] { Impl(_self).Set(FromUnits(s, strlength)); });
}

FMX_API void FM_Text_AppendText(Text* _self, const Text* other, uint32 position, uint32 size, _fmxcpt& _x) {
    Entry(__func__, _x, [&] {
        const std::u16string& from = Impl(other).s();
        auto range = Clamp(from.size(), position, size);
        // Copy first: other may be _self.
        std::u16string part = from.substr(range.first, range.second - range.first);
        Impl(_self).Edit() += part;
    });
}

FMX_API void FM_Text_GetBytes(const Text* _self, char* buffer, uint32 buffersize, uint32 position, uint32 size,
                              int32 encoding, _fmxcpt& _x) {
    Entry(__func__, _x, [&] {
        const std::u16string& s = Impl(_self).s();
        bool utf8 = IsUtf8(encoding);
        if (buffer == nullptr && buffersize != 0) throw BadArgument();
        auto range = Clamp(s.size(), position, size);
        size_t written = 0;
        char bytes[4];
        for (size_t i = range.first; i < range.second;) {
            // ASCII is the same single byte in every encoding of this host.
            const size_t stop = i + std::min<size_t>(range.second - i, buffersize - written);
            const size_t run = unicode::NarrowAsciiRun(buffer + written, s.data() + i, stop - i);
            written += run;
            i += run;
            if (i == range.second || s[i] < 0x80) break;  // done, or the buffer is full
            size_t n = Encode(unicode::NextChar(s, i, range.second), utf8, bytes);
            if (n > buffersize - written) break;  // whole characters only
            std::memcpy(buffer + written, bytes, n);
            written += n;
        }
    });
}

FMX_API void FM_Text_GetUnicode(const Text* _self, uint16* s, uint32 position, uint32 size, _fmxcpt& _x) {
    Entry(__func__, _x, [&] {
        const std::u16string& t = Impl(_self).s();
        auto range = Clamp(t.size(), position, size);
        if (s == nullptr && range.second != range.first) throw BadArgument();
        std::copy(t.begin() + range.first, t.begin() + range.second, s);
    });
}

FMX_API uint32 FM_Text_Find(const Text* _self, const Text* other, uint32 position, _fmxcpt& _x) {
    return Entry(__func__, _x, [&] {
        const std::u16string& s = Impl(_self).s();
        size_t at = position > s.size() ? std::u16string::npos : s.find(Impl(other).s(), position);
        return at == std::u16string::npos ? uint32(Text::kSize_Invalid) : static_cast<uint32>(at);
    });
}

FMX_API void FM_Text_DeleteText(Text* _self, uint32 position, uint32 size, _fmxcpt& _x) {
    Entry(__func__, _x, [&] {
        std::u16string& s = Impl(_self).Edit();
        auto range = Clamp(s.size(), position, size);
        s.erase(range.first, range.second - range.first);
    });
}

FMX_API bool FM_Text_operatorEQ(const Text* _self, const Text* that, _fmxcpt& _x) {
    return Entry(__func__, _x, [&] { return Impl(_self).s() == Impl(that).s(); });
}

FMX_API Locale* FM_Locale_Constructor1(int32 inputType, _fmxcpt& _x) {
    return Entry(__func__, _x, [&] { return Create<Locale>(kFMH_Locale, LocaleImpl{inputType}); });
}

FMX_API void FM_Locale_Delete(Locale* _self, _fmxcpt& _x) {
    Entry(__func__, _x, [&] { Destroy(_self, kFMH_Locale); });
}

}  // namespace fmx
