#include "plugin/EntryPoint.h"

#include <cstring>

#include "plugin/Lifecycle.h"
#include "plugin/Registration.h"
#include "plugin/Strings.h"

FMX_ExternCallPtr gFMX_ExternCallPtr = nullptr;

namespace velkora {
namespace {

const fmx::int64 kAnswerStarted = k140ExtnVersion;  // 55: the interface this plug-in was written for
const fmx::int64 kAnswerWrongVersion = -1;
const fmx::int64 kAnswerFailed = -2;

fmx::int64 Init(fmx::uint16 interfaceVersion) {
    if (interfaceVersion < 50 || interfaceVersion > 255) return kAnswerWrongVersion;
    Startup();
    if (RegisterExternalFunctions()) return kAnswerStarted;
    Shutdown();
    return kAnswerFailed;
}

void AnswerStringRequest(FMX_ExternCallPtr pb) {
    fmx::unichar16* buffer = reinterpret_cast<fmx::unichar16*>(pb->result);
    fmx::uint32 capacity = static_cast<fmx::uint32>(pb->parm3);
    if (buffer == nullptr) return;
    switch (pb->parm1) {
        // Answered before Init too: from this message's own instance field.
        case kFMXT_NameStr: ReadString(buffer, capacity, 1, pb->instanceID); break;
        case kFMXT_AppConfigStr: ReadString(buffer, capacity, 2, pb->instanceID); break;
        case kFMXT_OptionsStr: {
            // The options string needs 12 units with its NUL; a smaller buffer
            // gets what fits rather than a write past its end.
            static const char kOptions[] = "VLKR1nnYnnn";
            if (capacity == 0) break;
            fmx::uint32 n = static_cast<fmx::uint32>(std::strlen(kOptions));
            if (n > capacity - 1) n = capacity - 1;
            for (fmx::uint32 i = 0; i < n; ++i) buffer[i] = static_cast<fmx::unichar16>(kOptions[i]);
            buffer[n] = 0;
            break;
        }
        default: break;
    }
}

}  // namespace
}  // namespace velkora

// The host calls this on its own thread for every lifecycle message; results go
// into the call structure. Nothing may unwind into the host: a host failure
// raised during Init is answered as a failed start, elsewhere it is dropped.
VELKORA_EXPORT void FMExternCallProc(FMX_ExternCallPtr pb) {
    using namespace velkora;
    gFMX_ExternCallPtr = pb;
    try {
        switch (pb->whichCall) {
            case kFMXT_Init: {
                // Before registering: a function may run as soon as it is.
                gPluginInstance.store(pb->instanceID);
                const fmx::int64 answer = Init(pb->extnVersion);
                if (answer != kAnswerStarted) gPluginInstance.store(0);
                pb->result = static_cast<FMX_PtrType>(answer);
                break;
            }
            case kFMXT_Shutdown:
                UnRegisterExternalFunctions();
                Shutdown();
                gPluginInstance.store(0);
                break;
            case kFMXT_GetString: AnswerStringRequest(pb); break;
            default: break;
        }
    } catch (...) {
        if (pb->whichCall == kFMXT_Init) {
            try {
                Shutdown();
            } catch (...) {
                // Still inside a handler: nothing may leave it either.
            }
            gPluginInstance.store(0);
            pb->result = static_cast<FMX_PtrType>(kAnswerFailed);
        }
    }
    // After Shutdown the host may free the structure: point nowhere.
    if (pb->whichCall == kFMXT_Shutdown) gFMX_ExternCallPtr = nullptr;
}
