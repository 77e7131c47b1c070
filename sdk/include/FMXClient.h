// FMWrapper stand-in: the host's call structure and the plug-in's one entry
// point. The host owns the structure and keeps it valid while the plug-in is
// loaded; the plug-in reads only the fields named below.
#ifndef FMX_CLIENT_H
#define FMX_CLIENT_H

#include "FMXCalcEngine.h"

typedef fmx::ptrtype FMX_IntPtr;

enum {
    kFMXT_Init = 0,
    kFMXT_Idle = 1,
    kFMXT_External = 2,
    kFMXT_Unused3 = 3,
    kFMXT_Shutdown = 4,
    kFMXT_DoAppPreferences = 5,
    kFMXT_Unused6 = 6,
    kFMXT_GetString = 7,
};

enum {
    kFMXT_NameStr = 128,
    kFMXT_AppConfigStr = 129,
    kFMXT_OptionsStr = 131,
    kFMXT_HelpURLStr = 132,
};

enum { kCurrentExtnVersion = 55 };

struct FMX_ExternCallStruct {
    fmx::uint16 extnVersion;   // Init: the host's interface version
    fmx::uchar whichCall;      // message selector
    fmx::uchar parm1;          // string request: string id
    fmx::uint64 parm2;
    fmx::uint64 parm3;         // string request: buffer capacity in UTF-16 units
    FMX_IntPtr instanceID;     // the plug-in's module / bundle reference
    FMX_IntPtr result;         // Init: answer; string request: address of the host's buffer
};
typedef FMX_ExternCallStruct* FMX_ExternCallPtr;

typedef void (*FMX_ExternCallProc)(FMX_ExternCallPtr);

#endif
