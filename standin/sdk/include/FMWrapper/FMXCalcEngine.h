// FMWrapper stand-in: parameter vectors and the calculation engine's registry
// of external functions. Parameters are borrowed from the host and never
// freed by the plug-in; an index beyond the vector reads as an empty text, the
// number 0 and a value of type kDTInvalid. Registering an existing (plug-in
// id, function id) replaces it; removing one that is not registered succeeds.
// Like the host's own header, this one needs FMXTypes.h (QuadChar) first.
#ifndef FMWRAPPER_FMXCALCENGINE_H
#define FMWRAPPER_FMXCALCENGINE_H

#include "FMWrapper/FMXClient.h"

extern "C++" {
namespace fmx {

class Text;
class FixPt;
class Data;
class DataVect;
class ExprEnv;

class DataVect {
  public:
    inline uint32 Size() const;
    inline const Data& At(uint32 position) const;
    inline const Text& AtAsText(uint32 position) const;
    inline const FixPt& AtAsNumber(uint32 position) const;

  private:
    DataVect();
    DataVect(const DataVect&);
};

// The form of every external calculation function.
typedef errcode (*ExtPluginType)(short functionId, const ExprEnv& env, const DataVect& parms, Data& result);

class ExprEnv {
  public:
    // Registration flags.
    enum {
        kMayEvaluateOnServer = 0x00000001,
        kDisplayCalcFields = 0x00000100,
        kDisplayAutoEnter = 0x00000200,
        kDisplayValidation = 0x00000400,
        kDisplayCustomFunctions = 0x00000800,
        kDisplayPrivileges = 0x00001000,
        kDisplayInFuture1 = 0x00002000,
        kDisplayInFuture2 = 0x00004000,
        kDisplayGeneric = 0x00008000,
        kDisplayInAllDialogs = 0x0000FF00
    };

    inline static errcode RegisterExternalFunction(const QuadChar& pluginId, short functionId, const Text& functionName,
                                                   const Text& functionPrototype, short minArgs, short maxArgs,
                                                   uint32 compatibleOnFlags, ExtPluginType funcPtr);
    inline static errcode UnRegisterExternalFunction(const QuadChar& pluginId, short functionId);

  private:
    ExprEnv();
    ExprEnv(const ExprEnv&);
};

}  // namespace fmx
}

extern "C" {
FMX_API fmx::uint32 FM_DataVect_Size(const void* _self, fmx::_fmxcpt& _x) noexcept;
FMX_API const fmx::Data* FM_DataVect_At(const void* _self, fmx::uint32 position, fmx::_fmxcpt& _x) noexcept;
FMX_API const fmx::Text* FM_DataVect_AtAsText(const void* _self, fmx::uint32 position, fmx::_fmxcpt& _x) noexcept;
FMX_API const fmx::FixPt* FM_DataVect_AtAsNumber(const void* _self, fmx::uint32 position, fmx::_fmxcpt& _x) noexcept;
FMX_API fmx::errcode FM_ExprEnv_RegisterExternalFunction(const fmx::QuadChar& pluginId, short functionId,
                                                         const fmx::Text& functionName,
                                                         const fmx::Text& functionPrototype, short minArgs,
                                                         short maxArgs, fmx::uint32 compatibleOnFlags,
                                                         fmx::ExtPluginType funcPtr, fmx::_fmxcpt& _x) noexcept;
FMX_API fmx::errcode FM_ExprEnv_UnRegisterExternalFunction(const fmx::QuadChar& pluginId, short functionId,
                                                           fmx::_fmxcpt& _x) noexcept;
}

extern "C++" {
namespace fmx {

inline uint32 DataVect::Size() const {
    _fmxcpt _x;
    uint32 r = FM_DataVect_Size(this, _x);
    _x.Check();
    return r;
}
inline const Data& DataVect::At(uint32 position) const {
    _fmxcpt _x;
    const Data* r = FM_DataVect_At(this, position, _x);
    _x.Check();
    return *r;
}
inline const Text& DataVect::AtAsText(uint32 position) const {
    _fmxcpt _x;
    const Text* r = FM_DataVect_AtAsText(this, position, _x);
    _x.Check();
    return *r;
}
inline const FixPt& DataVect::AtAsNumber(uint32 position) const {
    _fmxcpt _x;
    const FixPt* r = FM_DataVect_AtAsNumber(this, position, _x);
    _x.Check();
    return *r;
}

inline errcode ExprEnv::RegisterExternalFunction(const QuadChar& pluginId, short functionId, const Text& functionName,
                                                 const Text& functionPrototype, short minArgs, short maxArgs,
                                                 uint32 compatibleOnFlags, ExtPluginType funcPtr) {
    _fmxcpt _x;
    errcode r = FM_ExprEnv_RegisterExternalFunction(pluginId, functionId, functionName, functionPrototype, minArgs,
                                                    maxArgs, compatibleOnFlags, funcPtr, _x);
    _x.Check();
    return r;
}
inline errcode ExprEnv::UnRegisterExternalFunction(const QuadChar& pluginId, short functionId) {
    _fmxcpt _x;
    errcode r = FM_ExprEnv_UnRegisterExternalFunction(pluginId, functionId, _x);
    _x.Check();
    return r;
}

}  // namespace fmx
}

#endif
