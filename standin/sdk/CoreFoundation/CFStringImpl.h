// Inside of the CoreFoundation stand-in: a CFString is a UTF-16 string with an
// atomic reference count; constants (CFSTR) ignore retain and release.
#ifndef VELKORA_CF_STRING_IMPL_H
#define VELKORA_CF_STRING_IMPL_H

#include <atomic>
#include <string>

#include "CoreFoundation.h"

struct __CFString {
    std::atomic<CFIndex> refs{1};
    bool constant = false;
    std::u16string chars;
};

namespace cfstub {

// A new string with one reference, counted as live.
CFStringRef NewString(std::u16string chars);
// The characters of str; an empty text for null.
const std::u16string& Chars(CFStringRef str);

}  // namespace cfstub

#endif
