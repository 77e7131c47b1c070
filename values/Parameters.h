// Parameter helpers: the only place where host parameter values become the
// plug-in's narrow strings and integers. Stateless; safe on any thread.
#ifndef VELKORA_VALUES_PARAMETERS_H
#define VELKORA_VALUES_PARAMETERS_H

#include <string>

#include "values/Sdk.h"
#include "values/ValueList.h"

namespace velkora {

// Parameter `index` as a narrow string in `encoding` (code page 437 unless a
// caller needs otherwise), up to the first U+0000. The whole text, however
// long: short texts go through a stack buffer, longer ones through the heap.
std::string ParameterAsString(const fmx::DataVect& parms, int index,
                              fmx::Text::Encoding encoding = fmx::Text::kEncoding_ASCII_DOS);

// Parameter `index` as the host's signed 32-bit integer, widened with its sign.
long ParameterAsLong(const fmx::DataVect& parms, int index);

// Store a text (UTF-8, so ASCII value lists too) with a new system locale, or
// a number, and return what the function hands the host: the host's code for
// a text (its refusal passed on), 0 for a number (the SDK reports a failed
// number store only by raising, which the boundary turns into a code).
fmx::errcode SetResultText(fmx::Data& result, const std::string& text);
fmx::errcode SetResultText(fmx::Data& result, const std::string& text, const fmx::Locale& locale);
// A text already in UTF-16, the host's own form, stored without conversion.
// Its length is passed in 32 bits: callers check FitsHostText first.
bool FitsHostText(size_t units);
fmx::errcode SetResultText(fmx::Data& result, const Utf16Text& text, const fmx::Locale& locale);
fmx::errcode SetResultNumber(fmx::Data& result, fmx::int32 number);

}  // namespace velkora

#endif
