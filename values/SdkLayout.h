// The call structure as the host lays it out, checked wherever the SDK headers
// are included: the host writes pointers (the plug-in's module handle, the
// result) into its pointer-sized fields, so a build whose headers make them
// narrower than a pointer would compile and misread every call. The vendor's
// headers do that under MinGW (their GCC branch wants _LP64, which 64-bit
// Windows lacks); cmake/FMWrapper.cmake refuses that pairing, and this is
// the guard for any other way to get there.
#ifndef VELKORA_VALUES_SDK_LAYOUT_H
#define VELKORA_VALUES_SDK_LAYOUT_H

#include "FMWrapper/FMXExtern.h"

static_assert(sizeof(fmx::ptrtype) == sizeof(void*),
              "the SDK headers give fmx::ptrtype another width than a pointer: the call structure "
              "would not be the host's (MinGW with the vendor's headers? build against the stand-in's)");
static_assert(sizeof(FMX_ExternCallStruct::instanceID) == sizeof(void*) &&
                  sizeof(FMX_ExternCallStruct::result) == sizeof(void*),
              "the call structure's pointer-sized fields are not pointer-sized");

#endif
