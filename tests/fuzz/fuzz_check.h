// Shared by the fuzz targets: what a mismatch looks like. A target that finds
// the code and its reference model disagreeing prints both and aborts, so
// libFuzzer saves the input and the corpus replay under CTest fails.
#ifndef VELKORA_TESTS_FUZZ_CHECK_H
#define VELKORA_TESTS_FUZZ_CHECK_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace fuzz {

// Printable form of any byte string: \xNN for everything outside ASCII text.
inline std::string Escaped(const std::string& text, size_t limit = 400) {
    std::string out;
    for (size_t i = 0; i < text.size() && i < limit; ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c >= 0x20 && c < 0x7F && c != '\\') {
            out += static_cast<char>(c);
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
        }
    }
    if (text.size() > limit) out += "... (" + std::to_string(text.size()) + " bytes)";
    return out;
}

inline std::string Escaped(const std::vector<unsigned char>& bytes) {
    std::string s;
    for (size_t i = 0; i < bytes.size() && i < 200; ++i) s += (i ? "," : "") + std::to_string(bytes[i]);
    if (bytes.size() > 200) s += ",... (" + std::to_string(bytes.size()) + " bytes)";
    return "{" + s + "}";
}

[[noreturn]] inline void Mismatch(const char* what, const std::string& input, const std::string& got,
                                  const std::string& want) {
    std::fprintf(stderr, "MISMATCH: %s\n  input: \"%s\"\n  got:   %s\n  model: %s\n", what, Escaped(input).c_str(),
                 got.c_str(), want.c_str());
    std::abort();
}

}  // namespace fuzz

#endif
