#include "InProcess.h"

std::string CallFunction(fmx::ExtPluginType function, const std::vector<Param>& params, fmx::errcode* code) {
    Vect parms(params);
    Value result;
    const fmx::errcode rc = function(0, *fmx::FMH_ExprEnv_Get(), *parms.v, *result.d);
    if (code) *code = rc;
    return result.Utf8();
}
