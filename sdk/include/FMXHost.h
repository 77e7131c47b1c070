// FMWrapper stand-in, host side: what a calculation host (velkora-host, the
// tests) needs beyond the plug-in's view: making parameter values, reading the
// registry of external functions, and test hooks for refusals, injected
// faults and live-object counts. Plug-in code never includes this header.
#ifndef FMX_HOST_H
#define FMX_HOST_H

#include "FMXCalcEngine.h"

namespace fmx {

// ---- values a host hands to a function -----------------------------------
FMX_API Data* FMH_Data_New(void);                       // empty value (an empty text, native type kDTInvalid)
FMX_API void FMH_Data_Delete(Data* d);
FMX_API void FMH_Data_SetText(Data* d, const char* utf8, uint32 len);
FMX_API void FMH_Data_SetNumber(Data* d, double v);
FMX_API DataVect* FMH_DataVect_New(void);
FMX_API void FMH_DataVect_Delete(DataVect* v);          // deletes the values it holds
FMX_API void FMH_DataVect_PushBack(DataVect* v, Data* d);  // takes ownership
FMX_API ExprEnv* FMH_ExprEnv_Get(void);                 // the one environment of this host

// Text of a value as UTF-8 (length in *len); numbers in FileMaker's form
// ("300", "2.5", "-0.125"). The pointer lives until the value changes.
FMX_API const char* FMH_Data_AsUTF8(const Data* d, uint32* len);
FMX_API double FMH_Data_AsDouble(const Data* d);
// At most 16 significant digits (15 when they give v back exactly), no
// exponent while the leading digit lies within 10^-20..10^20 ("1e+21"
// beyond), "?" for NaN and infinities. Cut to cap - 1 bytes and terminated.
FMX_API void FMH_FormatNumber(double v, char* out, uint32 cap);

// ---- the registry of external functions ------------------------------------
struct FMH_Function {
    char pluginId[5];
    int16 functionId;
    char name[256];        // UTF-8
    char prototype[1024];  // UTF-8
    int16 minArgs;
    int16 maxArgs;
    uint32 flags;
    ExtPluginType fn;
};
FMX_API uint32 FMH_Registry_Count(void);
FMX_API bool FMH_Registry_At(uint32 i, FMH_Function* out);          // in order of registration
FMX_API bool FMH_Registry_Find(const char* name, FMH_Function* out);  // name compared case-insensitively
FMX_API void FMH_Registry_Clear(void);

// Every register/unregister call, in order: +id for a registration the host
// accepted, -id for an unregistration, 0 never appears. Refused registrations
// are logged as +id too, with refused set.
struct FMH_RegistryEvent {
    bool registration;
    bool refused;
    int16 functionId;
};
FMX_API uint32 FMH_Log_Count(void);
FMX_API bool FMH_Log_At(uint32 i, FMH_RegistryEvent* out);
FMX_API void FMH_Log_Clear(void);

// ---- test hooks -------------------------------------------------------------
// Refuse the registration of functionId with code (0 clears).
FMX_API void FMH_Hook_RefuseRegistration(int16 functionId, errcode code);
// Make the nth call (1-based, counted from now) of the named FM_* entry point
// fail with error-record code 1 or 2. Only one fault is armed at a time.
FMX_API void FMH_Hook_FailCall(const char* entryPoint, uint32 nth, int32 code);
// Make FM_Data_SetAsText return code (0 clears); the refused value is not stored.
FMX_API void FMH_Hook_SetAsTextResult(errcode code);
FMX_API void FMH_Hook_Reset(void);  // clears every hook and refusal
// Calls of each FM_* entry point since the last reset of the counters.
FMX_API uint32 FMH_CallCount(const char* entryPoint);
FMX_API void FMH_ResetCallCounts(void);

enum FMH_ObjectKind { kFMH_Text = 0, kFMH_FixPt, kFMH_Locale, kFMH_QuadChar, kFMH_Data, kFMH_KindCount };
FMX_API int64 FMH_LiveObjects(int32 kind);

}  // namespace fmx

#endif
