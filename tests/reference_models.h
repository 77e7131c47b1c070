// Reference models of the value-list codec and the checksum, written the
// plain way (find the separator, cut the element out, strtoul / strtol it;
// snprintf per element when writing), in linear time so that lists of
// hundreds of thousands of elements stay quick. The unit tests and the fuzz
// targets compare the optimised code against these; keep them naive. Radix
// words ("dec", "hex", "bin", "raw") name what the codec's Radix says.
#ifndef VELKORA_TESTS_REFERENCE_MODELS_H
#define VELKORA_TESTS_REFERENCE_MODELS_H

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "values/ValueList.h"

namespace model {

typedef std::vector<unsigned char> Bytes;

// The codec's radix for a word.
inline velkora::Radix RadixOf(const std::string& word) {
    using velkora::Radix;
    return word == "hex" ? Radix::kHex : word == "bin" ? Radix::kBin : word == "raw" ? Radix::kRaw : Radix::kDecimal;
}

// ValuesToByteArray: each element up to the next separator (none after the
// last) read by strtoul. The separator must not be empty.
inline Bytes ReadValueList(const std::string& text, const std::string& separator, const std::string& radix) {
    const int base = radix == "hex" ? 16 : radix == "bin" ? 2 : 10;
    Bytes bytes;
    for (size_t begin = 0;;) {
        const size_t found = text.find(separator, begin);
        const std::string element = text.substr(begin, found == std::string::npos ? found : found - begin);
        bytes.push_back(static_cast<unsigned char>(std::strtoul(element.c_str(), nullptr, base) & 0xFF));
        if (found == std::string::npos) return bytes;
        begin = found + separator.length();
    }
}

// ByteArrayToString: "%u", "%02X", eight binary digits, or the byte itself.
inline std::string WriteValueList(const Bytes& bytes, const std::string& separator, const std::string& radix) {
    std::string text;
    for (size_t i = 0; i < bytes.size(); ++i) {
        char element[16];
        if (radix == "hex") {
            std::snprintf(element, sizeof element, "%02X", bytes[i]);
        } else if (radix == "bin") {
            for (int bit = 0; bit < 8; ++bit) element[bit] = (bytes[i] >> (7 - bit)) & 1 ? '1' : '0';
            element[8] = '\0';
        } else if (radix == "raw") {
            element[0] = static_cast<char>(bytes[i]);
            element[1] = '\0';
        } else {
            std::snprintf(element, sizeof element, "%u", bytes[i]);
        }
        text.append(element, radix == "raw" ? 1 : std::char_traits<char>::length(element));
        if (i + 1 < bytes.size()) text += separator;
    }
    return text;
}

// The checksum: strtol on each element, low 8 bits summed, modulo 128.
inline unsigned Checksum(const std::string& text) {
    unsigned char sum = 0;
    for (size_t begin = 0;;) {
        const size_t comma = text.find(',', begin);
        const std::string element = text.substr(begin, comma == std::string::npos ? comma : comma - begin);
        sum = static_cast<unsigned char>(
            sum + (static_cast<unsigned long>(std::strtol(element.c_str(), nullptr, 10)) & 0xFF));
        if (comma == std::string::npos) return sum % 128u;
        begin = comma + 1;
    }
}

}  // namespace model

#endif
