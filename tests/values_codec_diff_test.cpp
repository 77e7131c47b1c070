// The codec against a model written the plain way: find the separator, cut
// the element off the front, strtoul it; snprintf per element when writing.
// Generated inputs from a fixed seed, rich in the things strtoul cares about.
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "fuzz/fuzz_check.h"

#include "values/ValueList.h"
#include "reference_models.h"

using namespace velkora;

namespace {

ByteArray ModelRead(const std::string& text, const std::string& separator, const std::string& radix) {
    return model::ReadValueList(text, separator, radix);
}

std::string ModelWrite(const ByteArray& bytes, const std::string& separator, const std::string& radix) {
    return model::WriteValueList(bytes, separator, radix);
}

// Pieces that strtoul treats specially, mixed with plain digits and the
// separators themselves so that elements and separators run into each other.
const std::vector<std::string> kPieces = {
    "0",
    "1",
    "7",
    "9",
    "10",
    "127",
    "255",
    "256",
    "300",
    "999",
    "a",
    "F",
    "f",
    "g",
    "Z",
    "x",
    "0x",
    "0X",
    " ",
    "  ",
    "\t",
    "\n",
    "\r",
    "+",
    "-",
    ".",
    ";",
    ":",
    ",",
    "::",
    "4294967296",
    "18446744073709551615",
    "18446744073709551616",
    "99999999999999999999999",
    "000000000000000000000000012",
    "01",
    "10",
    "11",
    "-0x",
    "+0X1",
    "ab",
    "AB",
    "\xC3\xA9",
    std::string(1, '\0'),
};

const std::vector<std::string> kSeparators = {",", "::", ":", "ab", "0", "1", " ", ", ", "x", "-"};
const std::vector<std::string> kRadixWords = {"dec", "hex", "bin", "raw"};

std::string Show(const ByteArray& bytes) {
    std::string s = "{";
    for (size_t i = 0; i < bytes.size(); ++i) s += (i ? "," : "") + std::to_string(bytes[i]);
    return s + "}";
}

TEST(CodecAgainstModel, ReadingGeneratedLists) {
    std::mt19937 rng(20240611);
    int mismatches = 0;
    for (int round = 0; round < 40000 && mismatches < 10; ++round) {
        const std::string& separator = kSeparators[rng() % kSeparators.size()];
        const std::string& radix = kRadixWords[rng() % kRadixWords.size()];
        std::string text;
        const int pieces = static_cast<int>(rng() % 40);
        for (int i = 0; i < pieces; ++i) {
            // Separators often, so most lists have several elements.
            text += rng() % 3 == 0 ? separator : kPieces[rng() % kPieces.size()];
        }
        const ByteArray got = ValuesToByteArray(text, separator, model::RadixOf(radix));
        const ByteArray want = ModelRead(text, separator, radix);
        if (got != want) {
            ++mismatches;
            ADD_FAILURE() << "text \"" << fuzz::Escaped(text) << "\", separator \"" << separator << "\", radix \""
                          << radix << "\": got " << Show(got) << ", model " << Show(want);
        }
    }
}

TEST(CodecAgainstModel, WritingRandomArrays) {
    std::mt19937 rng(7);
    const std::vector<std::string> separators = {",", "", "::", ", "};
    for (int round = 0; round < 5000; ++round) {
        ByteArray bytes(rng() % 50);
        for (unsigned char& b : bytes) b = static_cast<unsigned char>(rng());
        const std::string& separator = separators[rng() % separators.size()];
        const std::string& radix = kRadixWords[rng() % kRadixWords.size()];
        const std::string model = ModelWrite(bytes, separator, radix);
        ASSERT_EQ(ByteArrayToString(bytes, separator, model::RadixOf(radix)), model)
            << "bytes " << Show(bytes) << ", separator \"" << separator << "\", radix \"" << radix << "\"";
        // The UTF-16 form: the model's text with each character widened.
        const Utf16Text units =
            ByteArrayToUtf16(bytes, std::u16string(separator.begin(), separator.end()), model::RadixOf(radix));
        ASSERT_EQ(std::u16string(units.units.get(), units.size),
                  std::u16string(reinterpret_cast<const unsigned char*>(model.data()),
                                 reinterpret_cast<const unsigned char*>(model.data()) + model.size()))
            << "UTF-16, bytes " << Show(bytes) << ", separator \"" << separator << "\", radix \"" << radix << "\"";
    }
}

}  // namespace
