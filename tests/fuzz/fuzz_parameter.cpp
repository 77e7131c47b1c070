// ParameterAsString against a model of what it must give: the host's text as
// UTF-8 up to its first U+0000 (encoding 1), or one code page 437 byte per
// character, '?' where the code page has none (encoding 2). The first byte
// picks a length the rest is repeated up to, around the sizes where the helper
// leaves its 8096-byte stack buffer for the heap (2698 units of three UTF-8
// bytes, 8096 single bytes); the rest arrives as UTF-8, invalid sequences
// included (the host reads those as U+FFFD).
#include <string>

#include "values/Parameters.h"
#include "FMXHost.h"
#include "fuzz_check.h"

using namespace velkora;

namespace {

const size_t kLengths[] = {0, 2690 * 3, 8090, 8200};

// Next code point of valid UTF-8 at s[i], advancing i.
char32_t NextCodePoint(const std::string& s, size_t& i) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    const int extra = c < 0x80 ? 0 : c < 0xE0 ? 1 : c < 0xF0 ? 2 : 3;
    char32_t cp = extra == 0 ? c : extra == 1 ? (c & 0x1F) : extra == 2 ? (c & 0x0F) : (c & 0x07);
    ++i;
    for (int k = 0; k < extra && i < s.size(); ++k, ++i) cp = (cp << 6) | (static_cast<unsigned char>(s[i]) & 0x3F);
    return cp;
}

// The host's code page 437, asked of the host once: the byte that stands for
// each character of the Basic Multilingual Plane ('?' where none does).
const std::string& CodePage437() {
    static const std::string table = [] {
        std::string t(0x10000, '?');
        for (int b = 0; b < 0x80; ++b) t[b] = static_cast<char>(b);
        for (int b = 0x80; b <= 0xFF; ++b) {
            const char byte = static_cast<char>(b);
            fmx::TextUniquePtr text;
            text->AssignWithLength(&byte, 1, fmx::Text::kEncoding_ASCII_DOS);
            char utf8[8] = {};
            text->GetBytes(utf8, sizeof utf8 - 1, 0, fmx::Text::kSize_End, fmx::Text::kEncoding_UTF8);
            size_t i = 0;
            const char32_t cp = NextCodePoint(utf8, i);
            if (cp < 0x10000) t[cp] = byte;
        }
        return t;
    }();
    return table;
}

std::string ModelCodePage437(const std::string& utf8) {
    const std::string& table = CodePage437();
    std::string out;
    for (size_t i = 0; i < utf8.size();) {
        const char32_t cp = NextCodePoint(utf8, i);
        out += cp < 0x10000 ? table[cp] : '?';
    }
    return out;
}

struct Parameters {
    fmx::DataVect* v = fmx::FMH_DataVect_New();
    ~Parameters() { fmx::FMH_DataVect_Delete(v); }
    // The value at index 1; index 0 holds a number, so the index is honoured.
    fmx::Data* Add(const std::string& utf8) {
        fmx::Data* first = fmx::FMH_Data_New();
        fmx::FMH_Data_SetNumber(first, 7);
        fmx::FMH_DataVect_PushBack(v, first);
        fmx::Data* d = fmx::FMH_Data_New();
        fmx::FMH_Data_SetText(d, utf8.data(), static_cast<fmx::uint32>(utf8.size()));
        fmx::FMH_DataVect_PushBack(v, d);
        return d;
    }
};

std::string UpToZero(const std::string& s) { return s.substr(0, s.find('\0')); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const std::string piece(reinterpret_cast<const char*>(data + 1), size - 1);
    std::string input = piece;
    const size_t wanted = kLengths[data[0] % 4];
    while (!piece.empty() && input.size() < wanted) input += piece;

    Parameters parms;
    const fmx::Data* value = parms.Add(input);
    fmx::uint32 length = 0;
    const char* held = fmx::FMH_Data_AsUTF8(value, &length);
    const std::string expected_utf8 = UpToZero(std::string(held, length));

    const std::string utf8 = ParameterAsString(*parms.v, 1, fmx::Text::kEncoding_UTF8);
    if (utf8 != expected_utf8) {
        fuzz::Mismatch("ParameterAsString, encoding 1", input, "\"" + fuzz::Escaped(utf8) + "\"",
                       "\"" + fuzz::Escaped(expected_utf8) + "\"");
    }
    const std::string dos = ParameterAsString(*parms.v, 1, fmx::Text::kEncoding_ASCII_DOS);
    const std::string expected_dos = ModelCodePage437(expected_utf8);
    if (dos != expected_dos) {
        fuzz::Mismatch("ParameterAsString, encoding 2", input, "\"" + fuzz::Escaped(dos) + "\"",
                       "\"" + fuzz::Escaped(expected_dos) + "\"");
    }
    if (ParameterAsString(*parms.v, 1) != expected_dos) {
        fuzz::Mismatch("ParameterAsString, default encoding", input, "differs from encoding 2", "the same");
    }

    // What came out goes back in unchanged: the text is already what the
    // host holds, without U+0000.
    Parameters again;
    again.Add(utf8);
    const std::string twice = ParameterAsString(*again.v, 1, fmx::Text::kEncoding_UTF8);
    if (twice != utf8) {
        fuzz::Mismatch("ParameterAsString, UTF-8 round trip", utf8, "\"" + fuzz::Escaped(twice) + "\"",
                       "\"" + fuzz::Escaped(utf8) + "\"");
    }
    return 0;
}
