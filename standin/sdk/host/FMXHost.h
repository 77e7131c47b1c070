// FMWrapper stand-in, host side: what a calculation host (velkora-host, the
// tests, the benchmarks) needs beyond the plug-in's view: making parameter
// values, reading the registry of external functions, and test hooks for
// refusals, injected faults and live-object counts. Only those targets get
// this folder, and a plug-in source that includes it anyway does not build
// (plug-in sources are compiled with VELKORA_PRODUCT, cmake/Product.cmake).
// It compiles against the host vendor's SDK headers as well as the stand-in's.
#ifndef FMX_HOST_H
#define FMX_HOST_H

#if defined(VELKORA_PRODUCT)
#error "FMXHost.h is the host's side of the SDK stand-in: plug-in code never includes it"
#endif

#include "FMWrapper/FMXExtern.h"
#include "FMWrapper/FMXTypes.h"
#include "FMWrapper/FMXText.h"
#include "FMWrapper/FMXFixPt.h"
#include "FMWrapper/FMXData.h"
#include "FMWrapper/FMXCalcEngine.h"

#if defined(_WIN32)
#if defined(FMWRAPPER_BUILDING)
#define FMH_API extern "C" __declspec(dllexport)
#else
#define FMH_API extern "C" __declspec(dllimport)
#endif
#else
#define FMH_API extern "C" __attribute__((visibility("default")))
#endif

namespace fmx {

// ---- values a host hands to a function -----------------------------------
FMH_API Data* FMH_Data_New(void);  // empty value (an empty text, native type kDTInvalid)
FMH_API void FMH_Data_Delete(Data* d);
FMH_API void FMH_Data_SetText(Data* d, const char* utf8, uint32 len);
FMH_API void FMH_Data_SetNumber(Data* d, double v);
FMH_API DataVect* FMH_DataVect_New(void);
FMH_API void FMH_DataVect_Delete(DataVect* v);             // deletes the values it holds
FMH_API void FMH_DataVect_PushBack(DataVect* v, Data* d);  // takes ownership
FMH_API ExprEnv* FMH_ExprEnv_Get(void);                    // the one environment of this host

// Text of a value as UTF-8 (length in *len); numbers in FileMaker's form
// ("300", "2.5", "-0.125"). The pointer lives until the value changes.
FMH_API const char* FMH_Data_AsUTF8(const Data* d, uint32* len);
FMH_API double FMH_Data_AsDouble(const Data* d);
// At most 16 significant digits (15 when they give v back exactly), no
// exponent while the leading digit lies within 10^-20..10^20 ("1e+21"
// beyond), "?" for NaN and infinities. Cut to cap - 1 bytes and terminated.
FMH_API void FMH_FormatNumber(double v, char* out, uint32 cap);

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
FMH_API uint32 FMH_Registry_Count(void);
FMH_API bool FMH_Registry_At(uint32 i, FMH_Function* out);            // in order of registration
FMH_API bool FMH_Registry_Find(const char* name, FMH_Function* out);  // name compared case-insensitively
FMH_API void FMH_Registry_Clear(void);

// Every register/unregister call, in order: +id for a registration the host
// accepted, -id for an unregistration, 0 never appears. Refused registrations
// are logged as +id too, with refused set.
struct FMH_RegistryEvent {
    bool registration;
    bool refused;
    int16 functionId;
};
FMH_API uint32 FMH_Log_Count(void);
FMH_API bool FMH_Log_At(uint32 i, FMH_RegistryEvent* out);
FMH_API void FMH_Log_Clear(void);

// ---- test hooks -------------------------------------------------------------
// Refuse the registration of functionId with code (0 clears).
FMH_API void FMH_Hook_RefuseRegistration(int16 functionId, errcode code);
// Make the nth call (1-based, counted from now) of the named FM_* entry point
// fail with error-record code 1 or 2. Only one fault is armed at a time.
FMH_API void FMH_Hook_FailCall(const char* entryPoint, uint32 nth, int32 code);
// Make FM_Data_SetAsText return code (0 clears); the refused value is not stored.
FMH_API void FMH_Hook_SetAsTextResult(errcode code);
FMH_API void FMH_Hook_Reset(void);  // clears every hook and refusal
// Calls of each FM_* entry point since the last reset of the counters.
FMH_API uint32 FMH_CallCount(const char* entryPoint);
FMH_API void FMH_ResetCallCounts(void);

enum FMH_ObjectKind { kFMH_Text = 0, kFMH_FixPt, kFMH_Locale, kFMH_QuadChar, kFMH_Data, kFMH_KindCount };
FMH_API int64 FMH_LiveObjects(int32 kind);

}  // namespace fmx

#endif
