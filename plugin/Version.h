// Velkora_Version: the version's forms, the platform's word and the plug-in's
// name, from the build and the string table. Holds no state.
#ifndef VELKORA_PLUGIN_VERSION_H
#define VELKORA_PLUGIN_VERSION_H

#include "values/Sdk.h"

namespace velkora {

ExternalFunction Velkora_Version;

}  // namespace velkora

#endif
