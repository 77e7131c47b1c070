// The one way the host enters an external function. Whatever the function
// raises (the SDK's report of a host failure, a full memory, anything else)
// ends here as an error code: an exception unwinding into FileMaker for
// Windows (built with another compiler) is not a C++ exception there and can
// end the application. The host shows `?` for any nonzero code, as for a
// failing built-in function.
#ifndef VELKORA_PLUGIN_BOUNDARY_H
#define VELKORA_PLUGIN_BOUNDARY_H

#include "values/Sdk.h"

namespace velkora {

// Codes in FileMaker's own numbering of errors (Get ( LastError )). The SDK's
// error record says 1 for a failed allocation, which would read there as
// "user canceled"; the host's 2 is its "memory error".
constexpr fmx::errcode kErrorMemory = 2;
constexpr fmx::errcode kErrorUnknown = -1;

// What reaches the host: the function's own code (0, or the host's refusal of
// the stored result, passed on), or kErrorMemory / kErrorUnknown for whatever
// it raised. [thread-safe] Blocks as long as the function does.
fmx::errcode CallAtBoundary(ExternalFunction& function, short id, const fmx::ExprEnv& env, const fmx::DataVect& parms,
                            fmx::Data& result) noexcept;

// The form the host registers: Function behind the boundary.
template <ExternalFunction& Function>
fmx::errcode Guarded(short id, const fmx::ExprEnv& env, const fmx::DataVect& parms, fmx::Data& result) noexcept {
    return CallAtBoundary(Function, id, env, parms, result);
}

}  // namespace velkora

#endif
