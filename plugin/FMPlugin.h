// The plug-in shell: entry point, lifecycle, registration of the fourteen
// external functions and loading of the string table. The host owns the call
// structure; gFMX_ExternCallPtr only records the most recent one, and nothing
// reads through it once its message has returned.
#ifndef VELKORA_PLUGIN_FMPLUGIN_H
#define VELKORA_PLUGIN_FMPLUGIN_H

#include <atomic>

#include "values/Sdk.h"

// The SDK declares FMExternCallProc and gFMX_ExternCallPtr (C linkage); the
// entry point must also be visible outside the module on every platform.
#if defined(_WIN32)
#define VELKORA_EXPORT extern "C" __declspec(dllexport)
#else
#define VELKORA_EXPORT extern "C" __attribute__((visibility("default")))
#endif

// The plug-in id, shared by the options string and every registration.
#define VELKORA_PLUGIN_ID 'V', 'L', 'K', 'R'

// The instance field (bundle or module handle) of the Init message that
// started the plug-in; 0 before and after. Strings loaded outside a message
// (Velkora_Version, on any thread) come from this copy.
extern std::atomic<FMX_PtrType> gPluginInstance;

VELKORA_EXPORT void FMExternCallProc(FMX_ExternCallPtr pb);

// FMTemplate
FMX_PtrType GetPluginBundle();  // gPluginInstance
bool RegisterExternalFunctions();
void UnRegisterExternalFunctions();

// FMUtils (the loading of strings: FMUtils_posix.cpp, FMUtils_windows.cpp)
void ReadString(fmx::unichar16* buffer, fmx::uint32 capacity, fmx::uint32 id);
// The same from the given instance field (a string request's own).
void ReadString(fmx::unichar16* buffer, fmx::uint32 capacity, fmx::uint32 id, FMX_PtrType instance);
// The bundle's string id (not on Windows); the units copied.
unsigned long Sub_OSXLoadString(unsigned long id, fmx::unichar16* buffer, unsigned long capacity);
fmx::errcode RegisterExternalFunction(fmx::uint16 id, fmx::int16 minimum, fmx::int16 maximum, fmx::uint32 flags,
                                      fmx::ExtPluginType function);
fmx::errcode UnRegisterExternalFunction(fmx::uint16 id);

// FMPluginHandlers
bool Startup();
void Shutdown();

// FMPluginVersion
ExternalFunction Velkora_Version;

#endif
