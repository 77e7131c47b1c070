#include <cstring>

#include "plugin/FMPlugin.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <CoreFoundation/CoreFoundation.h>
#endif

namespace {

const fmx::uint32 kRegistrationBufferUnits = 1024;

#if defined(_WIN32)

// LoadStringW cuts an over-long string to capacity - 1 units and terminates it.
int LoadFromResources(FMX_PtrType instance, fmx::uint32 id, fmx::unichar16* buffer, fmx::uint32 capacity) {
    HINSTANCE module = reinterpret_cast<HINSTANCE>(instance);
    if (module == nullptr) {  // not started, or shut down: no module to read
        if (capacity > 0) buffer[0] = 0;
        return 0;
    }
    return LoadStringW(module, id, reinterpret_cast<LPWSTR>(buffer), static_cast<int>(capacity));
}

#else

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

#endif

}  // namespace

void ReadString(fmx::unichar16* buffer, fmx::uint32 capacity, fmx::uint32 id) {
    ReadString(buffer, capacity, id, GetPluginBundle());
}

void ReadString(fmx::unichar16* buffer, fmx::uint32 capacity, fmx::uint32 id, FMX_PtrType instance) {
    if (buffer == nullptr || capacity == 0) return;
#if defined(_WIN32)
    LoadFromResources(instance, id, buffer, capacity);
#else
    buffer[0] = 0;
    LoadFromBundle(instance,
                   CFStringCreateWithFormat(kCFAllocatorDefault, nullptr, CFSTR("String%d"), static_cast<int>(id)),
                   buffer, capacity);
#endif
}

#if !defined(_WIN32)
unsigned long Sub_OSXLoadString(unsigned long id, fmx::unichar16* buffer, unsigned long capacity) {
    if (buffer == nullptr || capacity < 2) return 0;
    return LoadFromBundle(GetPluginBundle(),
                          CFStringCreateWithFormat(kCFAllocatorDefault, nullptr, CFSTR("String%lu"), id), buffer,
                          capacity);
}
#endif

namespace {

// Clears the buffer and loads string id into it.
void LoadPrototype(fmx::uint32 id, fmx::unichar16* buffer) {
    std::memset(buffer, 0, kRegistrationBufferUnits * sizeof(fmx::unichar16));
#if defined(_WIN32)
    LoadFromResources(GetPluginBundle(), id, buffer, kRegistrationBufferUnits);
#else
    Sub_OSXLoadString(id, buffer, kRegistrationBufferUnits);
#endif
}

}  // namespace

fmx::errcode RegisterExternalFunction(fmx::uint16 id, fmx::int16 minimum, fmx::int16 maximum, fmx::uint32 flags,
                                      fmx::ExtPluginType function) {
    fmx::QuadCharUniquePtr pluginId(VELKORA_PLUGIN_ID);
    fmx::TextUniquePtr name;
    fmx::TextUniquePtr prototype;
    fmx::unichar16 buffer[kRegistrationBufferUnits];

    // The name is the prototype up to, not including, its first "(".
    LoadPrototype(100u + id, buffer);
    name->AssignUnicode(buffer);
    fmx::TextUniquePtr paren;
    paren->Assign("(");
    fmx::uint32 at = name->Find(*paren, 0);
    if (at != static_cast<fmx::uint32>(fmx::Text::kSize_Invalid)) name->DeleteText(at, name->GetSize() - at);

    LoadPrototype(100u + id, buffer);
    prototype->AssignUnicode(buffer);

    return fmx::ExprEnv::RegisterExternalFunction(*pluginId, static_cast<fmx::int16>(id), *name, *prototype, minimum,
                                                  maximum, flags, function);
}

fmx::errcode UnRegisterExternalFunction(fmx::uint16 id) {
    fmx::QuadCharUniquePtr pluginId(VELKORA_PLUGIN_ID);
    return fmx::ExprEnv::UnRegisterExternalFunction(*pluginId, static_cast<fmx::int16>(id));
}
