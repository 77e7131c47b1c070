// The plug-in's one exported symbol. The host owns the call structure;
// gFMX_ExternCallPtr only records the most recent one, and nothing reads
// through it once its message has returned.
#ifndef VELKORA_PLUGIN_ENTRYPOINT_H
#define VELKORA_PLUGIN_ENTRYPOINT_H

#include "values/Sdk.h"

// The SDK declares FMExternCallProc and gFMX_ExternCallPtr (C linkage, and
// exported from a Windows DLL by its FMX_ENTRYPT); elsewhere everything is
// built hidden, so the build gives the attribute that makes the entry point
// visible outside the module (plugin/CMakeLists.txt).
#ifndef VELKORA_ENTRY_VISIBILITY
#define VELKORA_ENTRY_VISIBILITY
#endif
#define VELKORA_EXPORT extern "C" VELKORA_ENTRY_VISIBILITY

// Init, Shutdown and string requests; every other message is ignored. Called
// on the host's thread, one message at a time; returns when the message is
// handled (Init and Shutdown create and destroy the MIDI objects). Nothing
// but the answer in the call structure leaves it.
VELKORA_EXPORT void FMExternCallProc(FMX_ExternCallPtr pb);

#endif
