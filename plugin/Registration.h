// The fourteen external functions as the host's calculation engine knows
// them: ids, parameter counts, names and prototypes from the string table,
// each function behind the boundary (Boundary.h). Called on the host's thread
// during Init and Shutdown; each call returns when the host has answered.
#ifndef VELKORA_PLUGIN_REGISTRATION_H
#define VELKORA_PLUGIN_REGISTRATION_H

#include "values/Sdk.h"

// The plug-in id, shared by the options string and every registration.
#define VELKORA_PLUGIN_ID 'V', 'L', 'K', 'R'

namespace velkora {

// Registers ids 1 to 14 in order. At the first refusal (or host failure) it
// unregisters what it registered, last first, and returns false.
bool RegisterExternalFunctions();
// Unregisters 14 down to 1, whatever the host answers; raises nothing.
void UnRegisterExternalFunctions();
// One registration: the name is the prototype (string 100 + id) up to its
// first "(". Returns the host's code, 0 when it took the function.
fmx::errcode RegisterExternalFunction(fmx::uint16 id, fmx::int16 minimum, fmx::int16 maximum, fmx::uint32 flags,
                                      fmx::ExtPluginType function);

}  // namespace velkora

#endif
