// Strings on macOS, and on Linux through the CoreFoundation stand-in: the
// "Localizable" table of the bundle that the host passed as the instance field.
#include "plugin/Strings.h"

#include <CoreFoundation/CoreFoundation.h>

namespace velkora {
namespace {

// Looks up "String<id>" in the bundle's Localizable table. The key doubles as
// the default value, so getting the key back means the string is missing. A
// string of capacity - 1 units or more is not copied at all; the buffer is
// then left as it was. Takes over the key.
void LoadFromBundle(FMX_PtrType instance, CFStringRef key, fmx::unichar16* buffer, unsigned long capacity) {
    if (key == nullptr) return;
    CFBundleRef bundle = reinterpret_cast<CFBundleRef>(instance);
    if (bundle == nullptr) {  // not started, or shut down: no bundle to read
        CFRelease(key);
        return;
    }
    CFStringRef found = CFBundleCopyLocalizedString(bundle, key, key, CFSTR("Localizable"));
    if (found != nullptr && found != key) {
        CFIndex length = CFStringGetLength(found);
        if (capacity >= 2 && static_cast<unsigned long>(length) < capacity - 1) {
            CFStringGetCharacters(found, CFRangeMake(0, length), reinterpret_cast<UniChar*>(buffer));
            buffer[length] = 0;
        }
    }
    if (found != nullptr) CFRelease(found);
    CFRelease(key);
}

}  // namespace

void ReadString(fmx::unichar16* buffer, fmx::uint32 capacity, fmx::uint32 id, FMX_PtrType instance) {
    if (buffer == nullptr || capacity == 0) return;
    buffer[0] = 0;
    LoadFromBundle(instance,
                   CFStringCreateWithFormat(kCFAllocatorDefault, nullptr, CFSTR("String%d"), static_cast<int>(id)),
                   buffer, capacity);
}

}  // namespace velkora
