#include <atomic>
#include <cstring>

#include "plugin/FMPlugin.h"
#include "plugin/Boundary.h"
#include "functions/Functions.h"
#include "midi/MidiFunctions.h"

FMX_ExternCallPtr gFMX_ExternCallPtr = nullptr;
std::atomic<FMX_PtrType> gPluginInstance{0};

namespace {

// Host registration flags: may run on FileMaker Server, shown in every dialog.
const fmx::uint32 kFunctionFlags = fmx::ExprEnv::kMayEvaluateOnServer | fmx::ExprEnv::kDisplayInAllDialogs;
const fmx::int16 kNoLimit = -1;

struct FunctionRow {
    fmx::uint16 id;
    fmx::int16 minimum;
    fmx::int16 maximum;
    fmx::ExtPluginType function;
};

// Function n's name and prototype are string 100 + n of the string table.
// The host calls each one through the boundary that turns anything raised
// into an error code.
const FunctionRow kFunctions[] = {
    {1, 0, 1, velkora::Guarded<Velkora_Version>},       {2, 2, 2, velkora::Guarded<Velkora_MIDISend>},
    {3, 1, 1, velkora::Guarded<Velkora_PortCount>},     {4, 2, 2, velkora::Guarded<Velkora_PortName>},
    {5, 1, 3, velkora::Guarded<Velkora_MIDIReceive>},   {6, 1, 1, velkora::Guarded<Velkora_Checksum>},
    {7, 2, 2, velkora::Guarded<Velkora_SysexWrite>},    {8, 0, kNoLimit, velkora::Guarded<Velkora_SysexRead>},
    {9, 1, 1, velkora::Guarded<Velkora_NumToBin>},      {10, 1, 1, velkora::Guarded<Velkora_BinToNum>},
    {11, 1, 1, velkora::Guarded<Velkora_NumToHex>},     {12, 1, 1, velkora::Guarded<Velkora_HexToNum>},
    {13, 2, 2, velkora::Guarded<Velkora_BytesToValue>}, {14, 3, 3, velkora::Guarded<Velkora_ValueToBytes>},
};
const int kFunctionCount = sizeof kFunctions / sizeof kFunctions[0];

const fmx::int64 kAnswerStarted = k140ExtnVersion;  // 55: the interface this plug-in was written for
const fmx::int64 kAnswerWrongVersion = -1;
const fmx::int64 kAnswerFailed = -2;

fmx::int64 Init(fmx::uint16 interfaceVersion) {
    if (interfaceVersion < 50 || interfaceVersion > 255) return kAnswerWrongVersion;
    if (!Startup()) return kAnswerFailed;
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

// The host calls this on its own thread for every lifecycle message; results go
// into the call structure. Nothing may unwind into the host: a host failure
// raised during Init is answered as a failed start, elsewhere it is dropped.
VELKORA_EXPORT void FMExternCallProc(FMX_ExternCallPtr pb) {
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
            Shutdown();
            gPluginInstance.store(0);
            pb->result = static_cast<FMX_PtrType>(kAnswerFailed);
        }
    }
    // After Shutdown the host may free the structure: point nowhere.
    if (pb->whichCall == kFMXT_Shutdown) gFMX_ExternCallPtr = nullptr;
}

FMX_PtrType GetPluginBundle() { return gPluginInstance.load(); }

bool RegisterExternalFunctions() {
    for (int k = 0; k < kFunctionCount; ++k) {
        const FunctionRow& row = kFunctions[k];
        fmx::errcode code;
        try {
            code = RegisterExternalFunction(row.id, row.minimum, row.maximum, kFunctionFlags, row.function);
        } catch (...) {
            code = -1;  // a host failure here is a refusal: roll back the same way
        }
        if (code != 0) {
            for (int j = k - 1; j >= 0; --j) {
                try {
                    UnRegisterExternalFunction(kFunctions[j].id);
                } catch (...) {
                }
            }
            return false;
        }
    }
    return true;
}

void UnRegisterExternalFunctions() {
    fmx::QuadCharUniquePtr pluginId(VELKORA_PLUGIN_ID);
    for (int k = kFunctionCount - 1; k >= 0; --k) {
        try {
            fmx::ExprEnv::UnRegisterExternalFunction(*pluginId, static_cast<fmx::int16>(kFunctions[k].id));
        } catch (...) {
            // One failed removal must not keep the others registered.
        }
    }
}
