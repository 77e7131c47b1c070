// Apart from CallFunction: only binaries that link the plug-in's shell
// (FMExternCallProc) pull this in.
#include <memory>

#include "InProcess.h"
#include "plugin/EntryPoint.h"

FMX_ExternCallStruct& InitCall() {
    static FMX_ExternCallStruct call;
    return call;
}

fmx::int64 SendMessage(fmx::uchar selector, fmx::uint16 version, FMX_PtrType result) {
    std::unique_ptr<FMX_ExternCallStruct> temporary;
    if (selector != kFMXT_Init) temporary.reset(new FMX_ExternCallStruct());
    FMX_ExternCallStruct& call = temporary ? *temporary : InitCall();
    call = FMX_ExternCallStruct();
    call.whichCall = selector;
    call.extnVersion = version;
    call.instanceID = reinterpret_cast<FMX_PtrType>(&InitCall());
    call.result = result;
    FMExternCallProc(&call);
    return static_cast<fmx::int64>(call.result);
}

long SendInit() { return static_cast<long>(SendMessage(kFMXT_Init)); }

void SendShutdown() { SendMessage(kFMXT_Shutdown); }
