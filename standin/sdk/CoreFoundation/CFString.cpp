// CFString objects, reference counting and formatting.
#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>

#include "../src/Unicode.h"
#include "CFStringImpl.h"

namespace {

std::atomic<CFIndex> gLive{0};

__CFString* Mutable(CFTypeRef cf) { return const_cast<__CFString*>(static_cast<const __CFString*>(cf)); }

void AppendAscii(std::u16string& out, const char* s) {
    while (*s != '\0') out.push_back(static_cast<char16_t>(static_cast<unsigned char>(*s++)));
}

// Reads one integer argument of the given length modifier and conversion.
void AppendInteger(std::u16string& out, int longs, char16_t conv, va_list& args) {
    char buf[32];
    bool isSigned = conv == u'd' || conv == u'i';
    const char* format = conv == u'x' ? "%llx" : isSigned ? "%lld" : "%llu";
    if (isSigned) {
        long long v = longs == 0 ? va_arg(args, int) : longs == 1 ? va_arg(args, long) : va_arg(args, long long);
        std::snprintf(buf, sizeof buf, format, v);
    } else {
        unsigned long long v = longs == 0   ? va_arg(args, unsigned)
                               : longs == 1 ? va_arg(args, unsigned long)
                                            : va_arg(args, unsigned long long);
        std::snprintf(buf, sizeof buf, format, v);
    }
    AppendAscii(out, buf);
}

}  // namespace

namespace cfstub {

CFStringRef NewString(std::u16string chars) {
    auto s = std::make_unique<__CFString>();
    s->chars = std::move(chars);
    ++gLive;
    return s.release();
}

const std::u16string& Chars(CFStringRef str) {
    static const std::u16string kEmpty;
    return str ? str->chars : kEmpty;
}

}  // namespace cfstub

using cfstub::Chars;
using cfstub::NewString;

extern "C" {

CFStringRef _CFStubConstantString(const char* utf8) {
    // Never freed, not even at exit: a constant may be used from any static destructor.
    static auto* mutex = new std::mutex;
    static auto* constants = new std::map<std::string, __CFString*>;
    std::lock_guard<std::mutex> lock(*mutex);
    __CFString*& s = (*constants)[utf8];
    if (s == nullptr) {
        s = new __CFString;
        s->constant = true;
        s->chars = unicode::FromUtf8(utf8, std::strlen(utf8));
    }
    return s;
}

CFTypeRef CFRetain(CFTypeRef cf) {
    if (cf != nullptr && !Mutable(cf)->constant) ++Mutable(cf)->refs;
    return cf;
}

void CFRelease(CFTypeRef cf) {
    if (cf == nullptr || Mutable(cf)->constant) return;
    if (--Mutable(cf)->refs == 0) {
        delete Mutable(cf);
        --gLive;
    }
}

CFIndex CFGetRetainCount(CFTypeRef cf) { return cf ? static_cast<const __CFString*>(cf)->refs.load() : 0; }

Boolean CFEqual(CFTypeRef a, CFTypeRef b) {
    return a != nullptr && b != nullptr && Chars(static_cast<CFStringRef>(a)) == Chars(static_cast<CFStringRef>(b));
}

CFStringRef CFStringCreateWithFormat(CFAllocatorRef, CFDictionaryRef, CFStringRef format, ...) {
    if (format == nullptr) return nullptr;
    const std::u16string& f = Chars(format);
    std::u16string out;
    va_list args;
    va_start(args, format);
    for (size_t i = 0; i < f.size(); ++i) {
        if (f[i] != u'%') {
            out.push_back(f[i]);
            continue;
        }
        size_t start = i++;
        int longs = 0;
        while (i < f.size() && f[i] == u'l' && longs < 2) ++longs, ++i;
        char16_t conv = i < f.size() ? f[i] : u'\0';
        if (conv == u'd' || conv == u'i' || conv == u'u' || conv == u'x') {
            AppendInteger(out, longs, conv, args);
        } else if (conv == u's' && longs == 0) {
            const char* s = va_arg(args, const char*);
            if (s == nullptr) s = "(null)";
            unicode::AppendUtf8(out, s, std::strlen(s));
        } else if (conv == u'@' && longs == 0) {
            CFStringRef s = va_arg(args, CFStringRef);
            out += s ? Chars(s) : u"(null)";
        } else if (conv == u'%' && longs == 0) {
            out.push_back(u'%');
        } else {
            // Unknown: copy it as written; reading an argument of a guessed type would be unsafe.
            i = std::min(i, f.size() - 1);
            out.append(f, start, i - start + 1);
        }
    }
    va_end(args);
    return NewString(std::move(out));
}

CFStringRef CFStringCreateWithCString(CFAllocatorRef, const char* cStr, CFStringEncoding encoding) {
    if (cStr == nullptr) return nullptr;
    size_t n = std::strlen(cStr);
    std::u16string chars;
    if (encoding == kCFStringEncodingUTF8) {
        if (unicode::AppendUtf8(chars, cStr, n) != 0) return nullptr;
    } else if (encoding == kCFStringEncodingASCII) {
        for (size_t i = 0; i < n; ++i) {
            if (static_cast<unsigned char>(cStr[i]) >= 0x80) return nullptr;
            chars.push_back(static_cast<char16_t>(cStr[i]));
        }
    } else {
        return nullptr;
    }
    return NewString(std::move(chars));
}

CFStringRef CFStringCreateWithCharacters(CFAllocatorRef, const UniChar* chars, CFIndex numChars) {
    if (numChars < 0 || (chars == nullptr && numChars != 0)) return nullptr;
    return NewString(std::u16string(reinterpret_cast<const char16_t*>(chars), static_cast<size_t>(numChars)));
}

CFIndex CFStringGetLength(CFStringRef str) { return static_cast<CFIndex>(Chars(str).size()); }

void CFStringGetCharacters(CFStringRef str, CFRange range, UniChar* buffer) {
    const std::u16string& s = Chars(str);
    size_t begin = static_cast<size_t>(std::max<CFIndex>(0, std::min<CFIndex>(range.location, CFStringGetLength(str))));
    size_t count = std::min(static_cast<size_t>(std::max<CFIndex>(0, range.length)), s.size() - begin);
    if (buffer != nullptr) std::copy(s.begin() + begin, s.begin() + begin + count, buffer);
}

Boolean CFStringGetCString(CFStringRef str, char* buffer, CFIndex bufferSize, CFStringEncoding encoding) {
    if (str == nullptr || buffer == nullptr || encoding != kCFStringEncodingUTF8) return false;
    std::string bytes = unicode::ToUtf8(Chars(str));
    if (bufferSize < 0 || bytes.size() >= static_cast<size_t>(bufferSize)) return false;
    std::memcpy(buffer, bytes.c_str(), bytes.size() + 1);
    return true;
}

CFIndex _CFStubLiveObjects(void) { return gLive.load(); }

}  // extern "C"
