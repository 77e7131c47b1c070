#include "Decimal.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

namespace {

constexpr size_t kDigits = 16;
constexpr int64_t kMantissaLimit = 10000000000000000;  // 10^16

}  // namespace

Decimal DecimalFromDigits(bool negative, const std::string& digits, int32_t exponent) {
    size_t first = digits.find_first_not_of('0');
    if (first == std::string::npos) return Decimal{};
    size_t count = digits.size() - first;
    size_t kept = count < kDigits ? count : kDigits;
    int64_t m = 0;
    for (size_t i = first; i < first + kept; ++i) m = m * 10 + (digits[i] - '0');
    exponent += static_cast<int32_t>(count - kept);
    if (count > kDigits && digits[first + kDigits] >= '5' && ++m == kMantissaLimit) {
        m /= 10;
        ++exponent;
    }
    for (; m % 10 == 0; m /= 10) ++exponent;
    return Decimal{negative ? -m : m, exponent, false};
}

Decimal DecimalFromInt(int64_t value) {
    // Through unsigned so that INT64_MIN has a magnitude too.
    uint64_t magnitude = value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
    return DecimalFromDigits(value < 0, std::to_string(magnitude), 0);
}

Decimal DecimalFromDouble(double value) {
    if (!std::isfinite(value)) return Decimal{0, 0, true};
    // 15 digits when they give the double back (0.1 + 0.2 reads as 0.3, as a
    // decimal host computes it), else the 16 that a host number holds.
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.14e", value);
    if (std::strtod(buf, nullptr) != value) std::snprintf(buf, sizeof buf, "%.15e", value);
    std::string digits;  // d.ddd...e+XX without sign, point and exponent
    const char* p = buf;
    for (; *p != 'e' && *p != '\0'; ++p)
        if (*p >= '0' && *p <= '9') digits.push_back(*p);
    int32_t exponent = *p == 'e' ? static_cast<int32_t>(std::strtol(p + 1, nullptr, 10)) : 0;
    return DecimalFromDigits(value < 0, digits, exponent - static_cast<int32_t>(digits.size() - 1));
}

namespace {

// The first '.' in [p, end), or end; 32 units at a time while there is none
// (a counting loop without early exit, which compilers turn into vector code).
const char16_t* FindPoint(const char16_t* p, const char16_t* end) {
    for (; end - p >= 32; p += 32) {
        unsigned points = 0;
        for (int k = 0; k < 32; ++k) points += p[k] == u'.';
        if (points != 0) break;
    }
    return std::find(p, end, u'.');
}

int32_t CountDigits(const char16_t* begin, const char16_t* end) {
    int32_t n = 0;
    for (const char16_t* p = begin; p != end; ++p) n += static_cast<uint32_t>(*p - u'0') < 10u;
    return n;
}

}  // namespace

Decimal DecimalFromText(const std::u16string& text) {
    // Only the first kDigits + 1 significant digits decide the value (the last
    // of them rounds); the ones after only move the exponent, so past them the
    // text is just counted: a long text costs one quick pass.
    std::string digits;
    bool negative = false, point = false, seen_digit = false;
    int32_t fraction = 0, dropped = 0;
    size_t i = 0;
    for (; i < text.size() && digits.size() <= kDigits; ++i) {
        const char16_t c = text[i];
        if (c >= u'0' && c <= u'9') {
            seen_digit = true;
            if (point) ++fraction;
            if (!digits.empty() || c != u'0') digits.push_back(static_cast<char>(c));
        } else if (c == u'.') {
            point = true;
        } else if (c == u'-' && !seen_digit) {
            negative = true;
        }
    }
    if (i < text.size()) {
        const char16_t* rest = text.data() + i;
        const char16_t* end = text.data() + text.size();
        if (point) {
            dropped = CountDigits(rest, end);
            fraction += dropped;
        } else {
            const char16_t* dot = FindPoint(rest, end);
            dropped = CountDigits(rest, dot);
            if (dot != end) {
                const int32_t after = CountDigits(dot + 1, end);
                dropped += after;
                fraction += after;
            }
        }
    }
    return DecimalFromDigits(negative, digits, dropped - fraction);
}

int32_t DecimalToInt32(const Decimal& d) {
    constexpr int64_t kMin = std::numeric_limits<int32_t>::min(), kMax = std::numeric_limits<int32_t>::max();
    if (d.nan || d.mantissa == 0) return 0;
    int64_t v = d.mantissa;
    if (d.exponent < 0) {
        // |mantissa| < 10^16, so 17 or more places of fraction leave nothing.
        for (int32_t e = d.exponent; e < 0 && v != 0; ++e) v /= 10;
    } else {
        for (int32_t e = 0; e < d.exponent && v >= kMin && v <= kMax; ++e) v *= 10;
    }
    return static_cast<int32_t>(v < kMin ? kMin : v > kMax ? kMax : v);
}

double DecimalToDouble(const Decimal& d) {
    if (d.nan) return std::numeric_limits<double>::quiet_NaN();
    // No decimal point in the text, so the C library's locale cannot interfere.
    char buf[48];
    std::snprintf(buf, sizeof buf, "%lldE%d", static_cast<long long>(d.mantissa), static_cast<int>(d.exponent));
    return std::strtod(buf, nullptr);
}

std::string FormatDecimal(const Decimal& d) {
    if (d.nan) return "?";
    if (d.mantissa == 0) return "0";
    std::string digits = std::to_string(d.mantissa < 0 ? -d.mantissa : d.mantissa);
    std::string out = d.mantissa < 0 ? "-" : "";
    const int32_t count = static_cast<int32_t>(digits.size());
    const int32_t lead = count - 1 + d.exponent;  // power of ten of the first digit
    if (lead > 20 || lead < -20) {
        out += digits.substr(0, 1);
        if (count > 1) out += "." + digits.substr(1);
        return out + (lead < 0 ? "e-" : "e+") + std::to_string(lead < 0 ? -lead : lead);
    }
    if (d.exponent >= 0) return out + digits + std::string(static_cast<size_t>(d.exponent), '0');
    if (lead >= 0)
        return out + digits.substr(0, static_cast<size_t>(lead + 1)) + "." +
               digits.substr(static_cast<size_t>(lead + 1));
    return out + "0." + std::string(static_cast<size_t>(-lead - 1), '0') + digits;
}
