// FMWrapper stand-in: the calculation engine's registry of external functions
// and the four-character plug-in id. Registration and removal return the
// host's error code (0 for success); the registry belongs to the host.
#ifndef FMX_CALC_ENGINE_H
#define FMX_CALC_ENGINE_H

#include "FMXData.h"

namespace fmx {

FMX_API QuadChar* FM_QuadChar_Constructor2(char c0, char c1, char c2, char c3, _fmxcpt& _x);
FMX_API void FM_QuadChar_Delete(QuadChar* _self, _fmxcpt& _x);

class QuadChar {
public:
    void operator delete(void* p) { _fmxcpt _x; FM_QuadChar_Delete(static_cast<QuadChar*>(p), _x); }

private:
    QuadChar() = delete;
    QuadChar(const QuadChar&) = delete;
};

inline QuadChar* NewQuadChar(char c0, char c1, char c2, char c3) { _fmxcpt _x; QuadChar* q = FM_QuadChar_Constructor2(c0, c1, c2, c3, _x); _x.Check(); return q; }

class QuadCharAutoPtr : public HostAutoPtr<QuadChar> {
public:
    QuadCharAutoPtr(char c0, char c1, char c2, char c3) : HostAutoPtr<QuadChar>(NewQuadChar(c0, c1, c2, c3)) {}
};

// The form of every external calculation function.
typedef errcode (*ExtPluginType)(int16 functionId, const ExprEnv& env, const DataVect& parms, Data& result);

// Registering an existing (plug-in id, function id) replaces it; removing a
// function that is not registered succeeds.
FMX_API errcode FM_ExprEnv_RegisterExternalFunction(const QuadChar* pluginId, int16 functionId, const Text* functionName,
                                                   const Text* functionPrototype, int16 minArgs, int16 maxArgs,
                                                   uint32 compatibleOnFlags, ExtPluginType funcPtr, _fmxcpt& _x);
FMX_API errcode FM_ExprEnv_UnRegisterExternalFunction(const QuadChar* pluginId, int16 functionId, _fmxcpt& _x);

class ExprEnv {
public:
    enum {
        kMayEvaluateOnServer = 0x00000001,
        kDisplayInAllDialogs = 0x0000FF00,
    };
    static errcode RegisterExternalFunction(const QuadChar& pluginId, int16 functionId, const Text& functionName,
                                            const Text& functionPrototype, int16 minArgs, int16 maxArgs,
                                            uint32 compatibleOnFlags, ExtPluginType funcPtr) {
        _fmxcpt _x;
        errcode r = FM_ExprEnv_RegisterExternalFunction(&pluginId, functionId, &functionName, &functionPrototype, minArgs,
                                                        maxArgs, compatibleOnFlags, funcPtr, _x);
        _x.Check();
        return r;
    }
    static errcode UnRegisterExternalFunction(const QuadChar& pluginId, int16 functionId) {
        _fmxcpt _x;
        errcode r = FM_ExprEnv_UnRegisterExternalFunction(&pluginId, functionId, _x);
        _x.Check();
        return r;
    }

private:
    ExprEnv() = delete;
    ExprEnv(const ExprEnv&) = delete;
};

}  // namespace fmx

#endif
