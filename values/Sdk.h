// The host's plug-in SDK, the one way every product source reaches it: the
// FMWrapper headers in an order that works for the host vendor's headers as
// well as for the stand-in's (FMXCalcEngine.h needs FMXTypes.h before it),
// and the form of an external function. Which folder the headers come from
// is the build's choice (cmake/FMWrapper.cmake).
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
#include "values/SdkLayout.h"

namespace velkora {

// The one form of every external function: the host passes the function's id,
// the calculation's environment, the parameters and the value that takes the
// result, and gets its own error code back (fmx::ExtPluginType points to one).
using ExternalFunction = fmx::errcode(short, const fmx::ExprEnv&, const fmx::DataVect&, fmx::Data&);

}  // namespace velkora

#endif
