// Reference models of the value-list codec and the checksum, written the
// plain way (find the separator, cut the element off the front, strtoul /
// strtol it; snprintf per element when writing). The unit tests and the fuzz
// targets compare the optimised code against these; keep them naive.
#ifndef VELKORA_TESTS_REFERENCE_MODELS_H
#define VELKORA_TESTS_REFERENCE_MODELS_H

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace model {

typedef std::vector<unsigned char> Bytes;

// ValuesToByteArray as the algorithm is written down: note the length, then
// find-and-erase until the not-found position ends the loop. The separator
// must not be empty (that loop would never end).
inline Bytes ReadValueList(std::string text, const std::string& separator, const std::string& radix) {
    const int base = radix == "hex" ? 16 : radix == "bin" ? 2 : 10;
    const size_t length = text.length();
    Bytes bytes;
    size_t last = 0;
    while (last <= length) {
        last = text.find(separator);
        const std::string element = text.substr(0, last);
        bytes.push_back(static_cast<unsigned char>(std::strtoul(element.c_str(), nullptr, base) & 0xFF));
        text.erase(0, last == std::string::npos ? last : last + separator.length());
    }
    return bytes;
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

// The checksum: strtol on each cut-off element, low 8 bits summed, modulo 128.
inline unsigned Checksum(std::string text) {
    unsigned char sum = 0;
    for (;;) {
        const size_t comma = text.find(',');
        const long value = std::strtol(text.substr(0, comma).c_str(), nullptr, 10);
        sum = static_cast<unsigned char>(sum + (static_cast<unsigned long>(value) & 0xFF));
        if (comma == std::string::npos) break;
        text.erase(0, comma + 1);
    }
    return sum % 128u;
}

}  // namespace model

#endif
