// The value-list codec against its reference model, for every radix word and
// for one- and multi-character separators. The first byte picks the radix
// word and the separator (a fixed one, or 1 to 4 bytes taken from the input);
// the rest is the text. Reading must agree with the model; writing what was
// read must agree with the model; and for "dec", "hex" and "bin" writing and
// reading again gives the same bytes whenever the separator holds no digit of
// the radix.
#include <algorithm>
#include <string>

#include "values/ValueList.h"
#include "fuzz_check.h"
#include "reference_models.h"

using namespace velkora;

namespace {

const char* const kRadixWords[] = {"dec", "hex", "bin", "raw"};
const char* const kSeparators[] = {",", ", ", "::", "ab", "0", "\r\n"};

bool IsDigitOf(unsigned char c, const std::string& radix) {
    if (radix == "bin") return c == '0' || c == '1';
    if (radix == "hex") return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
    return c >= '0' && c <= '9';
}

void CheckRead(const std::string& text, const std::string& separator, const std::string& radix) {
    const ByteArray got = ValuesToByteArray(text, separator, model::RadixOf(radix));
    const model::Bytes want = model::ReadValueList(text, separator, radix);
    if (got != want) {
        fuzz::Mismatch(
            ("ValuesToByteArray, separator \"" + fuzz::Escaped(separator) + "\", radix \"" + radix + "\"").c_str(),
            text, fuzz::Escaped(got), fuzz::Escaped(want));
    }
    if (separator != "," || radix != "dec") return;
    // The send's reading into a fixed buffer: the same bytes, or their count only.
    unsigned char small[64];
    const size_t n = DecimalListToBytes(text, small, sizeof small);
    if (n != want.size() || (n <= sizeof small && !std::equal(small, small + n, want.begin()))) {
        fuzz::Mismatch("DecimalListToBytes", text, fuzz::Escaped(ByteArray(small, small + std::min(n, sizeof small))),
                       fuzz::Escaped(want));
    }
}

void CheckWrite(const ByteArray& bytes, const std::string& separator, const std::string& radix) {
    const std::string got = ByteArrayToString(bytes, separator, model::RadixOf(radix));
    const std::string want = model::WriteValueList(bytes, separator, radix);
    if (got != want) {
        fuzz::Mismatch(
            ("ByteArrayToString, separator \"" + fuzz::Escaped(separator) + "\", radix \"" + radix + "\"").c_str(),
            std::string(bytes.begin(), bytes.end()), "\"" + fuzz::Escaped(got) + "\"",
            "\"" + fuzz::Escaped(want) + "\"");
    }
}

void CheckRoundTrip(const ByteArray& bytes, const std::string& separator, const std::string& radix) {
    if (radix != "dec" && radix != "hex" && radix != "bin") return;
    for (unsigned char c : separator) {
        if (IsDigitOf(c, radix)) return;
    }
    const std::string written = ByteArrayToString(bytes, separator, model::RadixOf(radix));
    const ByteArray back = ValuesToByteArray(written, separator, model::RadixOf(radix));
    // An empty array writes as the empty text, which reads as one 0.
    const ByteArray want = bytes.empty() ? ByteArray(1, 0) : bytes;
    if (back != want) {
        fuzz::Mismatch(("round trip, separator \"" + fuzz::Escaped(separator) + "\", radix \"" + radix + "\"").c_str(),
                       written, fuzz::Escaped(back), fuzz::Escaped(want));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const unsigned char selector = data[0];
    const std::string radix = kRadixWords[selector % (sizeof kRadixWords / sizeof kRadixWords[0])];
    const unsigned mode = (selector >> 3) % 8;
    size_t at = 1;
    std::string separator;
    if (mode < 6) {
        separator = kSeparators[mode];
    } else {
        if (size < 2) return 0;
        const size_t length = 1 + data[1] % 4;
        at = 2;
        if (size < at + length) return 0;
        separator.assign(reinterpret_cast<const char*>(data + at), length);
        at += length;
    }
    const std::string text(reinterpret_cast<const char*>(data + at), size - at);

    CheckRead(text, separator, radix);

    const ByteArray read = ValuesToByteArray(text, separator, model::RadixOf(radix));
    CheckWrite(read, separator, radix);
    // The input's own bytes as an array: every byte value, zero included.
    const ByteArray raw(text.begin(), text.end());
    CheckWrite(raw, separator, radix);
    CheckWrite(raw, "", radix);
    CheckRoundTrip(raw, separator, radix);
    return 0;
}
