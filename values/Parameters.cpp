#include "Parameters.h"

#include <cstring>

namespace {

// Most parameters are short: they are converted on the stack.
constexpr size_t kStackBuffer = 8096;

// The most bytes one UTF-16 unit can become. Code page 437 gives one byte per
// character (a surrogate pair becomes a single '?'); UTF-8 gives at most
// three per unit (a surrogate pair, two units, gives four).
size_t BytesPerUnit(fmx::int32 encoding) {
    return encoding == fmx::Text::kEncoding_ASCII_DOS ? 1 : 3;
}

size_t LengthUpToZero(const char* bytes, size_t size) {
    const void* zero = std::memchr(bytes, 0, size);
    return zero ? static_cast<size_t>(static_cast<const char*>(zero) - bytes) : size;
}

}  // namespace

std::string ParameterAsString(const fmx::DataVect& parms, int index, fmx::int32 encoding) {
    const fmx::Text& text = parms.AtAsText(static_cast<fmx::uint32>(index));
    const fmx::uint32 units = text.GetSize();
    const size_t needed = static_cast<size_t>(units) * BytesPerUnit(encoding);

    // The host writes no terminator and may write fewer bytes than asked for,
    // so only the part it may write is cleared; the result ends at the first
    // zero byte (a U+0000 in the text ends it too).
    if (needed < kStackBuffer) {
        char buffer[kStackBuffer];
        std::memset(buffer, 0, needed);
        text.GetBytes(buffer, static_cast<fmx::uint32>(needed), 0, units, encoding);
        return std::string(buffer, LengthUpToZero(buffer, needed));
    }
    // A buffer of more than 4 GiB cannot be described to the host; a text that
    // long cannot reach a calculation function either.
    const fmx::uint32 capacity = needed > 0xFFFFFFFEu ? 0xFFFFFFFEu : static_cast<fmx::uint32>(needed);
    std::string result(capacity, '\0');
    text.GetBytes(&result[0], capacity, 0, units, encoding);
    result.resize(LengthUpToZero(result.data(), result.size()));
    return result;
}

long ParameterAsLong(const fmx::DataVect& parms, int index) {
    return static_cast<long>(parms.AtAsNumber(static_cast<fmx::uint32>(index)).AsLong());
}

long CheckRange(long value, long low, long high) {
    if (value < low) value = low;
    if (value > high) value = high;
    return value;
}

fmx::errcode SetResultText(fmx::Data& result, const std::string& text, const fmx::Locale& locale) {
    fmx::TextAutoPtr host_text;
    host_text->Assign(text.c_str(), fmx::Text::kEncoding_Native);
    return result.SetAsText(*host_text, locale, fmx::Data::kDTText);
}

bool FitsHostText(size_t units) { return units <= 0xFFFFFFFFu; }

fmx::errcode SetResultText(fmx::Data& result, const Utf16Text& text, const fmx::Locale& locale) {
    fmx::TextAutoPtr host_text;
    // UTF-16 units are the host's 16-bit characters.
    host_text->AssignUnicodeWithLength(reinterpret_cast<const fmx::uint16*>(text.units.get()),
                                       static_cast<fmx::uint32>(text.size));
    return result.SetAsText(*host_text, locale, fmx::Data::kDTText);
}

fmx::errcode SetResultText(fmx::Data& result, const std::string& text) {
    fmx::LocaleAutoPtr locale(fmx::Locale::kType_System);
    return SetResultText(result, text, *locale);
}

void SetResultNumber(fmx::Data& result, fmx::int32 number) {
    fmx::FixPtAutoPtr host_number(0, fmx::FixPt::kDefltFixedPrecision);
    host_number->AssignInt(number);
    result.SetAsNumber(*host_number, fmx::Data::kDTNumber);
}
