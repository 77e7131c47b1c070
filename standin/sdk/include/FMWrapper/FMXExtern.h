// FMWrapper stand-in: the ground every other SDK header stands on. The fmx
// integer types (their widths decide how overloads and the host's C entry
// points line up), the host's message numbers and interface versions, and the
// call structure that the host hands FMExternCallProc with every message.
// The host owns that structure; it is packed, and its layout is the binary
// interface between host and plug-in, so it is pinned below field by field.
#ifndef FMWRAPPER_FMXEXTERN_H
#define FMWRAPPER_FMXEXTERN_H

#include <cstddef>
#include <memory>

// FMX_API marks the library's C entry points: exported while the stand-in
// library itself is built (FMWRAPPER_BUILDING), imported by its users.
// FMX_ENTRYPT marks the one function a plug-in exports.
#if defined(_WIN32)
#if defined(FMWRAPPER_BUILDING)
#define FMX_API __declspec(dllexport)
#else
#define FMX_API __declspec(dllimport)
#endif
#define FMX_ENTRYPT __declspec(dllexport)
#else
#define FMX_API __attribute__((visibility("default")))
#define FMX_ENTRYPT __attribute__((visibility("default")))
#endif

extern "C++" {
namespace fmx {

class Text;
class Data;
class ExprEnv;

typedef unsigned char uchar;
typedef short int16;
typedef unsigned short uint16;
typedef int int32;
typedef unsigned int uint32;

// int64 is `long` where long is 64 bits wide and `long long` elsewhere, as in
// the host's own headers, so that calls with a long argument pick the same
// overload against either header set.
#if defined(_WIN32) || !defined(_LP64)
typedef long long int64;
typedef unsigned long long uint64;
#else
typedef long int64;
typedef unsigned long uint64;
#endif

// ptrtype holds a pointer. Every 64-bit Windows compiler gets 64 bits here,
// MinGW included, so that the call structure has the host's Windows x64
// layout whichever compiler builds against the stand-in.
#if defined(_WIN64) || (!defined(_WIN32) && defined(_LP64))
typedef uint64 ptrtype;
#else
typedef uint32 ptrtype;
#endif
#if defined(_WIN32) || !defined(_LP64)
typedef int16 unusedid;
#else
typedef int32 unusedid;
#endif

typedef short errcode;
typedef unsigned short unichar16;

}  // namespace fmx
}

extern "C" {

typedef fmx::Text FMX_Text;
typedef fmx::Data FMX_Data;
typedef fmx::ExprEnv FMX_ExprEnv;
typedef fmx::uchar FMX_UChar;
typedef fmx::int16 FMX_Int16;
typedef fmx::uint16 FMX_UInt16;
typedef fmx::int32 FMX_Int32;
typedef fmx::uint32 FMX_UInt32;
typedef fmx::unichar16 FMX_Unichar;
typedef fmx::errcode FMX_ErrorCode;
typedef fmx::ptrtype FMX_PtrType;
typedef char FMX_Char;
typedef char FMX_Boolean;

// Callbacks the host puts into the call structure (never called here).
typedef FMX_UChar FMX_ScriptControl;
enum { kFMXT_Halt, kFMXT_Exit, kFMXT_Resume, kFMXT_Pause };
typedef FMX_ErrorCode (*FMX_StartScriptCall)(const FMX_Text* fileName, const FMX_Text* scriptName,
                                             FMX_ScriptControl control, const FMX_Data* parameter);
typedef FMX_ErrorCode (*FMX_CurrentEnvCall)(FMX_ExprEnv* env);

// Interface versions: the host sends its own in every message; a plug-in
// answers Init with the version it was written for, or a refusal.
enum {
    kBadExtnVersion = -1,
    kDoNotEnable = -2,
    k40ExtnVersion = 11,
    k41ExtnVersion = 12,
    k50ExtnVersion = 14,
    k60ExtnVersion = 17,
    k70ExtnVersion = 50,
    k80ExtnVersion = 51,
    k110ExtnVersion = 52,
    k120ExtnVersion = 53,
    k130ExtnVersion = 54,
    k140ExtnVersion = 55,
    k150ExtnVersion = 56,
    k160ExtnVersion = 57,
    k170ExtnVersion = 59,
    k180ExtnVersion = 60,
    k190ExtnVersion = 62,
    k191ExtnVersion = 63,
    k192ExtnVersion = 64,
    k193ExtnVersion = 65,
    k194ExtnVersion = 66,
    k195ExtnVersion = 67,
    k196ExtnVersion = 68,
    k201ExtnVersion = 71,
    kCurrentExtnVersion = 71,
    kMinExtnVersion = 4,
    kMaxExtnVersion = 255
};

// Messages (whichCall).
typedef FMX_UChar FMX_ExternCallSwitch;
enum {
    kFMXT_Init = 0,
    kFMXT_Idle = 1,
    kFMXT_Shutdown = 4,
    kFMXT_DoAppPreferences = 5,
    kFMXT_GetString = 7,
    kFMXT_SessionShutdown = 8,
    kFMXT_FileShutdown = 9
};

// Strings a GetString message asks for (parm1).
typedef FMX_UChar FMX_Strings;
enum { kFMXT_NameStr = 128, kFMXT_AppConfigStr = 129, kFMXT_OptionsStr = 131, kFMXT_HelpURLStr = 132 };

struct FMX_ExternCallStruct;
typedef struct FMX_ExternCallStruct* FMX_ExternCallPtr;
typedef void (*FMX_ExternCallProc)(FMX_ExternCallPtr);

// Fields a plug-in reads: extnVersion (every message), whichCall, parm1
// (GetString: which string), parm3 (GetString: buffer capacity in UTF-16
// units), instanceID (the plug-in's module handle or bundle reference);
// result is Init's answer, and for GetString the address of the host's buffer.
#pragma pack(push, 1)
struct FMX_ExternCallStruct {
    FMX_Int16 extnVersion;
    fmx::unusedid unusedID;
    FMX_ExternCallProc entryPoint;
    FMX_Boolean unusedFlag;
    FMX_ExternCallSwitch whichCall;
    FMX_Boolean unsafeCalls;  // true when the host calls from a thread other than its main one
    FMX_UChar parm1;
    FMX_PtrType parm2;
    FMX_PtrType parm3;
    FMX_PtrType instanceID;
    FMX_PtrType result;
    FMX_PtrType unused;
    FMX_StartScriptCall cStartScript;
    FMX_CurrentEnvCall cCurrentEnv;
};
#pragma pack(pop)

// Defined by the plug-in.
extern void FMX_ENTRYPT FMExternCallProc(FMX_ExternCallPtr pb);
extern FMX_ExternCallPtr gFMX_ExternCallPtr;

}  // extern "C"

// The layout, pinned: each field's offset on the 64-bit targets, where a
// plug-in built against these headers must read what the host wrote.
#if defined(_WIN64)
#define FMX_PIN(field, lp64, win64) \
    static_assert(offsetof(FMX_ExternCallStruct, field) == (win64), "call structure field " #field)
#elif defined(_LP64)
#define FMX_PIN(field, lp64, win64) \
    static_assert(offsetof(FMX_ExternCallStruct, field) == (lp64), "call structure field " #field)
#endif
#if defined(FMX_PIN)
//      field        Linux/macOS  Windows x64
FMX_PIN(extnVersion, 0, 0);
FMX_PIN(unusedID, 2, 2);
FMX_PIN(entryPoint, 6, 4);
FMX_PIN(unusedFlag, 14, 12);
FMX_PIN(whichCall, 15, 13);
FMX_PIN(unsafeCalls, 16, 14);
FMX_PIN(parm1, 17, 15);
FMX_PIN(parm2, 18, 16);
FMX_PIN(parm3, 26, 24);
FMX_PIN(instanceID, 34, 32);
FMX_PIN(result, 42, 40);
FMX_PIN(unused, 50, 48);
FMX_PIN(cStartScript, 58, 56);
FMX_PIN(cCurrentEnv, 66, 64);
#if defined(_WIN64)
static_assert(sizeof(FMX_ExternCallStruct) == 72, "call structure size");
#else
static_assert(sizeof(FMX_ExternCallStruct) == 74, "call structure size");
#endif
#undef FMX_PIN
#endif

#endif
