// CoreFoundation stand-in for the non-Apple builds: reference-counted UTF-16
// strings and localized-string lookup in strings tables registered at load.
// Objects die when their count reaches 0; CFSTR constants are never freed.
#ifndef VELKORA_COREFOUNDATION_STANDIN_H
#define VELKORA_COREFOUNDATION_STANDIN_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef long CFIndex;
typedef unsigned long CFOptionFlags;
typedef unsigned char Boolean;
typedef uint16_t UniChar;
typedef uint32_t CFStringEncoding;
typedef struct {
    CFIndex location;
    CFIndex length;
} CFRange;

typedef const void* CFTypeRef;
typedef const struct __CFAllocator* CFAllocatorRef;
typedef const struct __CFDictionary* CFDictionaryRef;
typedef const struct __CFString* CFStringRef;
// Opaque: lookups accept any non-null bundle (the host passes its module handle).
typedef struct __CFBundle* CFBundleRef;

#define kCFAllocatorDefault ((CFAllocatorRef)0)
enum { kCFStringEncodingASCII = 0x0600, kCFStringEncodingUTF8 = 0x08000100 };

static inline CFRange CFRangeMake(CFIndex location, CFIndex length) {
    CFRange r;
    r.location = location;
    r.length = length;
    return r;
}

// A constant string, one per distinct literal text, never freed.
CFStringRef _CFStubConstantString(const char* utf8);
#define CFSTR(s) _CFStubConstantString("" s "")

CFTypeRef CFRetain(CFTypeRef cf);
void CFRelease(CFTypeRef cf);  // null is ignored
CFIndex CFGetRetainCount(CFTypeRef cf);
Boolean CFEqual(CFTypeRef a, CFTypeRef b);

// Formats with %d %i %u %x (each also with l or ll), %s (UTF-8), %@ (a
// CFString) and %%. Any other conversion is copied as written and takes no
// argument.
CFStringRef CFStringCreateWithFormat(CFAllocatorRef alloc, CFDictionaryRef formatOptions, CFStringRef format, ...);
// UTF-8 or ASCII; null when the bytes are not valid in that encoding.
CFStringRef CFStringCreateWithCString(CFAllocatorRef alloc, const char* cStr, CFStringEncoding encoding);
CFStringRef CFStringCreateWithCharacters(CFAllocatorRef alloc, const UniChar* chars, CFIndex numChars);
CFIndex CFStringGetLength(CFStringRef str);
// Copies the range, clamped to the string, without a terminator.
void CFStringGetCharacters(CFStringRef str, CFRange range, UniChar* buffer);
// UTF-8 with a terminator; false (buffer untouched) when it does not fit.
Boolean CFStringGetCString(CFStringRef str, char* buffer, CFIndex bufferSize, CFStringEncoding encoding);

// The text of key in the registered table tableName ("Localizable" when
// null). When bundle is null, the table unknown or the key missing: value
// retained, or key retained when value is null or empty (as on macOS).
CFStringRef CFBundleCopyLocalizedString(CFBundleRef bundle, CFStringRef key, CFStringRef value, CFStringRef tableName);

// ---- stand-in only -----------------------------------------------------------
// Parses UTF-8 text in Apple's .strings syntax ("key" = "value"; comments
// /* */ and //; escapes \" \\ \n \t \r \UXXXX; `"key";` maps key to itself) and
// makes it table tableName, replacing an earlier one. A syntax error ends the
// table: the entries before it are kept.
void _CFStubRegisterStringsTable(const char* tableName, const char* stringsText, size_t len);
// Entries of a registered table, -1 when there is no such table.
CFIndex _CFStubStringsTableSize(const char* tableName);
// CF objects alive now (constants not counted), for leak tests.
CFIndex _CFStubLiveObjects(void);

#ifdef __cplusplus
}
#endif

#endif
