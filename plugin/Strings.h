// The plug-in's string table (names, description, version text, prototypes),
// loaded from the platform's resources: Strings_posix.cpp (a bundle's
// "Localizable" table), Strings_windows.cpp (the module's string table).
#ifndef VELKORA_PLUGIN_STRINGS_H
#define VELKORA_PLUGIN_STRINGS_H

#include <atomic>

#include "values/Sdk.h"

namespace velkora {

// The instance field (bundle or module handle) of the Init message that
// started the plug-in; 0 before and after. Strings loaded outside a message
// (Velkora_Version, on any thread) come from this copy.
extern std::atomic<FMX_PtrType> gPluginInstance;

// Fills the caller's buffer (capacity in UTF-16 units, NUL included) with
// string id of the resources of instance, or of gPluginInstance. A missing
// string reads as the empty text; an over-long one as the empty text from a
// bundle, cut to capacity - 1 units from a Windows module. [thread-safe]
void ReadString(fmx::unichar16* buffer, fmx::uint32 capacity, fmx::uint32 id, FMX_PtrType instance);
void ReadString(fmx::unichar16* buffer, fmx::uint32 capacity, fmx::uint32 id);

}  // namespace velkora

#endif
