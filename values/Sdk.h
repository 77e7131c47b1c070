// The host's plug-in SDK, the one way every product source reaches it: the
// FMWrapper headers in an order that works for the host vendor's headers as
// well as for the stand-in's (FMXCalcEngine.h needs FMXTypes.h before it).
// Which folder they come from is the build's choice (cmake/FMWrapper.cmake).
#ifndef VELKORA_VALUES_SDK_H
#define VELKORA_VALUES_SDK_H

#include "FMWrapper/FMXExtern.h"
#include "FMWrapper/FMXTypes.h"
#include "FMWrapper/FMXText.h"
#include "FMWrapper/FMXFixPt.h"
#include "FMWrapper/FMXDateTime.h"
#include "FMWrapper/FMXBinaryData.h"
#include "FMWrapper/FMXData.h"
#include "FMWrapper/FMXCalcEngine.h"

#endif
