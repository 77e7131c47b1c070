// Strings of the plug-in's table and the registration of one function. How
// a string is loaded is the platform's (ReadString with an instance field,
// Sub_OSXLoadString): FMUtils_windows.cpp, FMUtils_posix.cpp.
#include <cstring>

#include "plugin/FMPlugin.h"

namespace {

const fmx::uint32 kRegistrationBufferUnits = 1024;

// Clears the buffer and loads string id into it.
void LoadPrototype(fmx::uint32 id, fmx::unichar16* buffer) {
    std::memset(buffer, 0, kRegistrationBufferUnits * sizeof(fmx::unichar16));
    ReadString(buffer, kRegistrationBufferUnits, id);
}

}  // namespace

void ReadString(fmx::unichar16* buffer, fmx::uint32 capacity, fmx::uint32 id) {
    ReadString(buffer, capacity, id, GetPluginBundle());
}

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
