#include "ValueList.h"

#include <climits>
#include <cstdlib>

namespace {

int BaseOf(const std::string& radix) {
    if (radix == "hex") return 16;
    if (radix == "bin") return 2;
    return 10;
}

int DigitValue(unsigned char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'z') return c - 'a' + 10;
    if (c >= 'A' && c <= 'Z') return c - 'A' + 10;
    return 99;
}

// The byte of text[begin, end) read as strtoul reads it with `base`, as if
// the element were a string of its own. `text` is only borrowed: it may be
// changed for a moment but is as before on return.
unsigned char ReadElement(std::string& text, size_t begin, size_t end, int base) {
    // Nearly every element is a run of plain digits (or empty): read it here,
    // saturating exactly as strtoul does.
    unsigned long value = 0;
    bool overflow = false;
    size_t i = begin;
    for (; i < end; ++i) {
        const int d = DigitValue(static_cast<unsigned char>(text[i]));
        if (d >= base) break;
        if (value > (ULONG_MAX - static_cast<unsigned long>(d)) / static_cast<unsigned long>(base)) overflow = true;
        value = value * static_cast<unsigned long>(base) + static_cast<unsigned long>(d);
    }
    if (i == end) return overflow ? static_cast<unsigned char>(ULONG_MAX & 0xFF) : static_cast<unsigned char>(value & 0xFF);

    // Anything else (white space, a sign, "0x", stray characters) goes to the
    // C library itself. strtoul needs the element to end in a zero byte and
    // must not run on into the next element, so the separator's first
    // character stands in as the terminator while it reads.
    const char saved = end < text.size() ? text[end] : '\0';
    if (end < text.size()) text[end] = '\0';
    const unsigned long read = std::strtoul(text.c_str() + begin, nullptr, base);
    if (end < text.size()) text[end] = saved;
    return static_cast<unsigned char>(read & 0xFF);
}

// Longest element each radix word writes.
size_t WidthOf(const std::string& radix) {
    if (radix == "hex") return 2;
    if (radix == "bin") return 8;
    if (radix == "raw") return 1;
    return 3;
}

}  // namespace

ByteArray ValuesToByteArray(std::string& text, const std::string& separator, const std::string& radix) {
    const int base = BaseOf(radix);
    ByteArray bytes;
    if (separator.empty()) {
        bytes.push_back(ReadElement(text, 0, text.size(), base));
        return bytes;
    }
    size_t begin = 0;
    for (;;) {
        const size_t found = text.find(separator, begin);
        const size_t end = found == std::string::npos ? text.size() : found;
        bytes.push_back(ReadElement(text, begin, end, base));
        if (found == std::string::npos) break;
        begin = found + separator.size();
    }
    return bytes;
}

std::string ByteArrayToString(const ByteArray& bytes, std::string separator, std::string radix) {
    std::string text;
    if (bytes.empty()) return text;
    static const char kHex[] = "0123456789ABCDEF";
    const bool hex = radix == "hex";
    const bool bin = radix == "bin";
    const bool raw = radix == "raw";
    text.reserve(bytes.size() * WidthOf(radix) + (bytes.size() - 1) * separator.size());
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (i != 0) text += separator;
        const unsigned char b = bytes[i];
        if (hex) {
            text += kHex[b >> 4];
            text += kHex[b & 0x0F];
        } else if (bin) {
            for (int bit = 7; bit >= 0; --bit) text += static_cast<char>('0' + ((b >> bit) & 1));
        } else if (raw) {
            text += static_cast<char>(b);
        } else {
            if (b >= 100) text += static_cast<char>('0' + b / 100);
            if (b >= 10) text += static_cast<char>('0' + b / 10 % 10);
            text += static_cast<char>('0' + b % 10);
        }
    }
    return text;
}
