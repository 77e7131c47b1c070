// fmx::Text and fmx::Locale. Texts are UTF-16. The byte encodings: UTF-8,
// Windows-1252 (also the native one) and code page 437.
// Positions and sizes count UTF-16 units and are clamped to the text.
#include <algorithm>
#include <cstring>

#include "Internal.h"
#include "Unicode.h"

using namespace fmxhost;
using fmx::Text;

namespace {

// Code page 437, bytes 0x80..0xFF; 0x00..0x7F are ASCII.
// 16 a row, as code page charts print them.
// clang-format off
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
// clang-format on

// Windows-1252, bytes 0x80..0xFF. Its five unassigned bytes (0x81, 0x8D,
// 0x8F, 0x90, 0x9D) read as the C1 controls of the same value, as Windows
// reads them; from 0xA0 on it is ISO 8859-1.
// 16 a row, as code page charts print them.
// clang-format off
const char16_t kCp1252High[128] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
    0x00A0, 0x00A1, 0x00A2, 0x00A3, 0x00A4, 0x00A5, 0x00A6, 0x00A7, 0x00A8, 0x00A9, 0x00AA, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x00AF,
    0x00B0, 0x00B1, 0x00B2, 0x00B3, 0x00B4, 0x00B5, 0x00B6, 0x00B7, 0x00B8, 0x00B9, 0x00BA, 0x00BB, 0x00BC, 0x00BD, 0x00BE, 0x00BF,
    0x00C0, 0x00C1, 0x00C2, 0x00C3, 0x00C4, 0x00C5, 0x00C6, 0x00C7, 0x00C8, 0x00C9, 0x00CA, 0x00CB, 0x00CC, 0x00CD, 0x00CE, 0x00CF,
    0x00D0, 0x00D1, 0x00D2, 0x00D3, 0x00D4, 0x00D5, 0x00D6, 0x00D7, 0x00D8, 0x00D9, 0x00DA, 0x00DB, 0x00DC, 0x00DD, 0x00DE, 0x00DF,
    0x00E0, 0x00E1, 0x00E2, 0x00E3, 0x00E4, 0x00E5, 0x00E6, 0x00E7, 0x00E8, 0x00E9, 0x00EA, 0x00EB, 0x00EC, 0x00ED, 0x00EE, 0x00EF,
    0x00F0, 0x00F1, 0x00F2, 0x00F3, 0x00F4, 0x00F5, 0x00F6, 0x00F7, 0x00F8, 0x00F9, 0x00FA, 0x00FB, 0x00FC, 0x00FD, 0x00FE, 0x00FF,
};
// clang-format on

// An encoding of this host: UTF-8 (high == nullptr) or one byte per
// character, ASCII below 0x80 and the table above it.
struct Codec {
    const char16_t* high;
};

Codec CodecFor(fmx::int32 encoding) {
    switch (encoding) {
        case Text::kEncoding_UTF8: return Codec{nullptr};
        case Text::kEncoding_Native:
        case Text::kEncoding_ASCII_Windows: return Codec{kCp1252High};
        case Text::kEncoding_ASCII_DOS: return Codec{kCp437High};
        default: throw BadArgument();  // an encoding this host does not have
    }
}

std::u16string Decode(const char* s, size_t n, fmx::int32 encoding) {
    const Codec codec = CodecFor(encoding);
    if (s == nullptr && n != 0) throw BadArgument();
    if (codec.high == nullptr) return unicode::FromUtf8(s, n);
    std::u16string out(n, u'\0');
    for (size_t i = 0; i < n; ++i) {
        auto b = static_cast<unsigned char>(s[i]);
        out[i] = b < 0x80 ? b : codec.high[b - 0x80];
    }
    return out;
}

// The bytes of one character in the given encoding; returns their count.
size_t Encode(char32_t c, Codec codec, char out[4]) {
    if (codec.high == nullptr) return unicode::EncodeUtf8(c, out);
    if (c < 0x80) {
        out[0] = static_cast<char>(c);
        return 1;
    }
    const char16_t* end = codec.high + 128;
    const char16_t* hit = c > 0xFFFF ? end : std::find(codec.high, end, static_cast<char16_t>(c));
    out[0] = hit == end ? '?' : static_cast<char>(0x80 + (hit - codec.high));
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

FMX_API Text* FM_Text_Constructor1(fmx::_fmxcpt& _x) noexcept {
    return Entry(__func__, _x, [&] { return Create<Text>(fmx::kFMH_Text, TextImpl{}); });
}

FMX_API void FM_Text_Delete(void* _self, fmx::_fmxcpt& _x) noexcept {
    Entry(__func__, _x, [&] { Destroy(static_cast<Text*>(_self), fmx::kFMH_Text); });
}

FMX_API fmx::uint32 FM_Text_GetSize(const void* _self, fmx::_fmxcpt& _x) noexcept {
    return Entry(__func__, _x, [&] { return static_cast<fmx::uint32>(Self<Text>(_self).s().size()); });
}

FMX_API void FM_Text_Assign(void* _self, const char* s, fmx::int32 encoding, fmx::_fmxcpt& _x) noexcept {
    Entry(__func__, _x, [&] { Self<Text>(_self).Set(Decode(s, s ? std::strlen(s) : 0, encoding)); });
}

FMX_API void FM_Text_AssignWithLength(void* _self, const char* s, fmx::uint32 strlength, fmx::int32 encoding,
                                      fmx::_fmxcpt& _x) noexcept {
    Entry(__func__, _x, [&] { Self<Text>(_self).Set(Decode(s, strlength, encoding)); });
}

FMX_API void FM_Text_AssignUnicode(void* _self, const fmx::uint16* s, fmx::_fmxcpt& _x) noexcept {
    Entry(__func__, _x, [&] { Self<Text>(_self).Set(FromUnits(s, UnicodeLength(s))); });
}

FMX_API void FM_Text_AssignUnicodeWithLength(void* _self, const fmx::uint16* s, fmx::uint32 strlength,
                                             fmx::_fmxcpt& _x) noexcept {
    Entry(__func__, _x, [&] { Self<Text>(_self).Set(FromUnits(s, strlength)); });
}

FMX_API void FM_Text_AppendText(void* _self, const Text& other, fmx::uint32 position, fmx::uint32 size,
                                fmx::_fmxcpt& _x) noexcept {
    Entry(__func__, _x, [&] {
        const std::u16string& from = Impl(&other).s();
        auto range = Clamp(from.size(), position, size);
        // Copy first: other may be _self.
        std::u16string part = from.substr(range.first, range.second - range.first);
        Self<Text>(_self).Edit() += part;
    });
}

// Writes at most buffersize - 1 bytes of whole characters, then a NUL.
FMX_API void FM_Text_GetBytes(const void* _self, char* buffer, fmx::uint32 buffersize, fmx::uint32 position,
                              fmx::uint32 size, fmx::int32 encoding, fmx::_fmxcpt& _x) noexcept {
    Entry(__func__, _x, [&] {
        const std::u16string& s = Self<Text>(_self).s();
        const Codec codec = CodecFor(encoding);
        if (buffer == nullptr && buffersize != 0) throw BadArgument();
        if (buffersize == 0) return;
        const size_t room = buffersize - 1;
        auto range = Clamp(s.size(), position, size);
        size_t written = 0;
        char bytes[4];
        for (size_t i = range.first; i < range.second;) {
            // ASCII is the same single byte in every encoding of this host.
            const size_t stop = i + std::min<size_t>(range.second - i, room - written);
            const size_t run = unicode::NarrowAsciiRun(buffer + written, s.data() + i, stop - i);
            written += run;
            i += run;
            if (i == range.second || s[i] < 0x80) break;  // done, or the buffer is full
            size_t n = Encode(unicode::NextChar(s, i, range.second), codec, bytes);
            if (n > room - written) break;  // whole characters only
            std::memcpy(buffer + written, bytes, n);
            written += n;
        }
        buffer[written] = '\0';
    });
}

FMX_API void FM_Text_GetUnicode(const void* _self, fmx::uint16* s, fmx::uint32 position, fmx::uint32 size,
                                fmx::_fmxcpt& _x) noexcept {
    Entry(__func__, _x, [&] {
        const std::u16string& t = Self<Text>(_self).s();
        auto range = Clamp(t.size(), position, size);
        if (s == nullptr && range.second != range.first) throw BadArgument();
        std::copy(t.begin() + range.first, t.begin() + range.second, s);
    });
}

FMX_API fmx::uint32 FM_Text_Find(const void* _self, const Text& other, fmx::uint32 position,
                                 fmx::_fmxcpt& _x) noexcept {
    return Entry(__func__, _x, [&] {
        const std::u16string& s = Self<Text>(_self).s();
        size_t at = position > s.size() ? std::u16string::npos : s.find(Impl(&other).s(), position);
        return at == std::u16string::npos ? fmx::uint32(Text::kSize_Invalid) : static_cast<fmx::uint32>(at);
    });
}

FMX_API void FM_Text_DeleteText(void* _self, fmx::uint32 positionToDelete, fmx::uint32 sizeToDelete,
                                fmx::_fmxcpt& _x) noexcept {
    Entry(__func__, _x, [&] {
        std::u16string& s = Self<Text>(_self).Edit();
        auto range = Clamp(s.size(), positionToDelete, sizeToDelete);
        s.erase(range.first, range.second - range.first);
    });
}

FMX_API bool FM_Text_operatorEQ(const void* _self, const Text& that, fmx::_fmxcpt& _x) noexcept {
    return Entry(__func__, _x, [&] { return Self<Text>(_self).s() == Impl(&that).s(); });
}

FMX_API fmx::Locale* FM_Locale_Constructor1(fmx::int32 inputType, fmx::_fmxcpt& _x) noexcept {
    return Entry(__func__, _x, [&] { return Create<fmx::Locale>(fmx::kFMH_Locale, LocaleImpl{inputType}); });
}

FMX_API void FM_Locale_Delete(void* _self, fmx::_fmxcpt& _x) noexcept {
    Entry(__func__, _x, [&] { Destroy(static_cast<fmx::Locale*>(_self), fmx::kFMH_Locale); });
}
