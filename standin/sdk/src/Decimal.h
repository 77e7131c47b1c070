// The host's number: a decimal of at most 16 significant digits, exact for
// every value it holds. Invariant: |mantissa| < 10^16 and, unless it is 0,
// the mantissa has no trailing zero (so equal numbers have equal fields).
#ifndef VELKORA_SDK_DECIMAL_H
#define VELKORA_SDK_DECIMAL_H

#include <cstdint>
#include <string>

struct Decimal {
    int64_t mantissa = 0;
    int32_t exponent = 0;  // value = mantissa * 10^exponent
    bool nan = false;      // "not a number": a double that was NaN or infinite
};

// `digits` holds only '0'..'9'; rounded half away from zero to 16 digits.
Decimal DecimalFromDigits(bool negative, const std::string& digits, int32_t exponent);
Decimal DecimalFromInt(int64_t value);
// The double at 15 significant digits when they give it back, else at 16.
Decimal DecimalFromDouble(double value);
// FileMaker's GetAsNumber over a text: the ASCII digits and the first '.', in
// order, everything else ignored; a '-' before the first digit makes it
// negative; no digit gives 0. "abc12.5x3" -> 12.53, "-7" -> -7, "" -> 0.
Decimal DecimalFromText(const std::u16string& text);

// Truncates toward zero and saturates to [-2^31, 2^31-1]; NaN gives 0.
int32_t DecimalToInt32(const Decimal& d);
double DecimalToDouble(const Decimal& d);
// FileMaker's form: "300", "2.5", "-0.125"; no exponent while the leading
// digit lies within 10^-20..10^20, "1.5e+25" beyond; "?" for NaN.
std::string FormatDecimal(const Decimal& d);

#endif
