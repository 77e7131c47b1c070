#include "plugin/Boundary.h"

#include <new>

namespace velkora {

fmx::errcode CallAtBoundary(ExternalFunction& function, short id, const fmx::ExprEnv& env, const fmx::DataVect& parms,
                            fmx::Data& result) noexcept {
    try {
        return function(id, env, parms, result);
    } catch (const std::bad_alloc&) {
        return kErrorMemory;
    } catch (...) {
        // The SDK raises a bare std::exception for a host failure and keeps
        // nothing more to pass on; a fault of our own says no more to a script.
        return kErrorUnknown;
    }
}

}  // namespace velkora
