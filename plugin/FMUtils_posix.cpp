// Strings on macOS, and on Linux through the CoreFoundation stand-in: the
// "Localizable" table of the bundle that the host passed as the instance field.
#include "plugin/FMPlugin.h"

#include <CoreFoundation/CoreFoundation.h>

namespace {

// Looks up "String<id>" in the bundle's Localizable table. The key doubles as
// the default value, so getting the key back means the string is missing. A
// string of capacity - 1 units or more is not copied at all. Returns the units
// copied (0 when missing or too long; the buffer is then left as it was).
// Takes over the key.
unsigned long LoadFromBundle(FMX_PtrType instance, CFStringRef key, fmx::unichar16* buffer, unsigned long capacity) {
    if (key == nullptr) return 0;
    CFBundleRef bundle = reinterpret_cast<CFBundleRef>(instance);
    if (bundle == nullptr) {  // not started, or shut down: no bundle to read
        CFRelease(key);
        return 0;
    }
    unsigned long copied = 0;
    CFStringRef found = CFBundleCopyLocalizedString(bundle, key, key, CFSTR("Localizable"));
    if (found != nullptr && found != key) {
        CFIndex length = CFStringGetLength(found);
        if (capacity >= 2 && static_cast<unsigned long>(length) < capacity - 1) {
            CFStringGetCharacters(found, CFRangeMake(0, length), reinterpret_cast<UniChar*>(buffer));
            buffer[length] = 0;
            copied = static_cast<unsigned long>(length);
        }
    }
    if (found != nullptr) CFRelease(found);
    CFRelease(key);
    return copied;
}

}  // namespace

void ReadString(fmx::unichar16* buffer, fmx::uint32 capacity, fmx::uint32 id, FMX_PtrType instance) {
    if (buffer == nullptr || capacity == 0) return;
    buffer[0] = 0;
    LoadFromBundle(instance,
                   CFStringCreateWithFormat(kCFAllocatorDefault, nullptr, CFSTR("String%d"), static_cast<int>(id)),
                   buffer, capacity);
}

unsigned long Sub_OSXLoadString(unsigned long id, fmx::unichar16* buffer, unsigned long capacity) {
    if (buffer == nullptr || capacity < 2) return 0;
    return LoadFromBundle(GetPluginBundle(),
                          CFStringCreateWithFormat(kCFAllocatorDefault, nullptr, CFSTR("String%lu"), id), buffer,
                          capacity);
}
