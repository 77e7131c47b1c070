#include "values/Parameters.h"

#include <cstring>

namespace velkora {

namespace {

// Most parameters are short: they are converted on the stack.
constexpr size_t kStackBuffer = 8096;

// The most bytes one UTF-16 unit can become. Code page 437 gives one byte per
// character (a surrogate pair becomes a single '?'); UTF-8 gives at most
// three per unit (a surrogate pair, two units, gives four).
size_t BytesPerUnit(fmx::Text::Encoding encoding) { return encoding == fmx::Text::kEncoding_ASCII_DOS ? 1 : 3; }

size_t LengthUpToZero(const char* bytes, size_t size) {
    const void* zero = std::memchr(bytes, 0, size);
    return zero ? static_cast<size_t>(static_cast<const char*>(zero) - bytes) : size;
}

}  // namespace

std::string ParameterAsString(const fmx::DataVect& parms, int index, fmx::Text::Encoding encoding) {
    const fmx::Text& text = parms.AtAsText(static_cast<fmx::uint32>(index));
    const fmx::uint32 units = text.GetSize();
    // The host writes the bytes and then a terminator, all within the size it
    // is given: one byte more than the text can need, or the last character
    // is lost. The result ends at the first zero byte (a U+0000 in the text
    // ends it too); the buffer is cleared first, so there is one whatever the
    // host wrote.
    const size_t size = static_cast<size_t>(units) * BytesPerUnit(encoding) + 1;
    if (size <= kStackBuffer) {
        char buffer[kStackBuffer];
        std::memset(buffer, 0, size);
        text.GetBytes(buffer, static_cast<fmx::uint32>(size), 0, units, encoding);
        return std::string(buffer, LengthUpToZero(buffer, size));
    }
    // A buffer of more than 4 GiB cannot be described to the host; a text that
    // long cannot reach a calculation function either.
    const fmx::uint32 capacity = size > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<fmx::uint32>(size);
    std::string result(capacity, '\0');
    text.GetBytes(&result[0], capacity, 0, units, encoding);
    result.resize(LengthUpToZero(result.data(), result.size()));
    return result;
}

long ParameterAsLong(const fmx::DataVect& parms, int index) {
    return static_cast<long>(parms.AtAsNumber(static_cast<fmx::uint32>(index)).AsLong());
}

fmx::errcode SetResultText(fmx::Data& result, const std::string& text, const fmx::Locale& locale) {
    fmx::TextUniquePtr host_text;
    host_text->Assign(text.c_str(), fmx::Text::kEncoding_UTF8);
    return result.SetAsText(*host_text, locale, fmx::Data::kDTText);
}

bool FitsHostText(size_t units) { return units <= 0xFFFFFFFFu; }

fmx::errcode SetResultText(fmx::Data& result, const Utf16Text& text, const fmx::Locale& locale) {
    fmx::TextUniquePtr host_text;
    // UTF-16 units are the host's 16-bit characters.
    host_text->AssignUnicodeWithLength(reinterpret_cast<const fmx::uint16*>(text.units.get()),
                                       static_cast<fmx::uint32>(text.size));
    return result.SetAsText(*host_text, locale, fmx::Data::kDTText);
}

fmx::errcode SetResultText(fmx::Data& result, const std::string& text) {
    fmx::LocaleUniquePtr locale(fmx::Locale::kType_System);
    return SetResultText(result, text, *locale);
}

fmx::errcode SetResultNumber(fmx::Data& result, fmx::int32 number) {
    fmx::FixPtUniquePtr host_number(number, fmx::FixPt::kDefltFixedPrecision);
    result.SetAsNumber(*host_number, fmx::Data::kDTNumber);
    return 0;
}

}  // namespace velkora
