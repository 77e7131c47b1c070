#include "plugin/Registration.h"

#include "functions/Functions.h"
#include "midi/MidiFunctions.h"
#include "plugin/Boundary.h"
#include "plugin/Strings.h"
#include "plugin/Version.h"

namespace velkora {

namespace {

// Host registration flags: may run on FileMaker Server, shown in every dialog.
const fmx::uint32 kFunctionFlags = fmx::ExprEnv::kMayEvaluateOnServer | fmx::ExprEnv::kDisplayInAllDialogs;
const fmx::int16 kNoLimit = -1;
const fmx::uint32 kRegistrationBufferUnits = 1024;

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
    {1, 0, 1, Guarded<Velkora_Version>},       {2, 2, 2, Guarded<Velkora_MIDISend>},
    {3, 1, 1, Guarded<Velkora_PortCount>},     {4, 2, 2, Guarded<Velkora_PortName>},
    {5, 1, 3, Guarded<Velkora_MIDIReceive>},   {6, 1, 1, Guarded<Velkora_Checksum>},
    {7, 2, 2, Guarded<Velkora_SysexWrite>},    {8, 0, kNoLimit, Guarded<Velkora_SysexRead>},
    {9, 1, 1, Guarded<Velkora_NumToBin>},      {10, 1, 1, Guarded<Velkora_BinToNum>},
    {11, 1, 1, Guarded<Velkora_NumToHex>},     {12, 1, 1, Guarded<Velkora_HexToNum>},
    {13, 2, 2, Guarded<Velkora_BytesToValue>}, {14, 3, 3, Guarded<Velkora_ValueToBytes>},
};
const int kFunctionCount = sizeof kFunctions / sizeof kFunctions[0];

// Unregisters the first `count` rows, last first. One failed removal (or a
// host failure making the id) must not keep the others registered, and
// nothing may stop the shut-down that follows.
void UnRegisterFirst(int count) noexcept {
    try {
        fmx::QuadCharUniquePtr pluginId(VELKORA_PLUGIN_ID);
        for (int k = count - 1; k >= 0; --k) {
            try {
                fmx::ExprEnv::UnRegisterExternalFunction(*pluginId, static_cast<fmx::int16>(kFunctions[k].id));
            } catch (...) {
            }
        }
    } catch (...) {
    }
}

}  // namespace

fmx::errcode RegisterExternalFunction(fmx::uint16 id, fmx::int16 minimum, fmx::int16 maximum, fmx::uint32 flags,
                                      fmx::ExtPluginType function) {
    fmx::QuadCharUniquePtr pluginId(VELKORA_PLUGIN_ID);
    fmx::unichar16 buffer[kRegistrationBufferUnits] = {};
    ReadString(buffer, kRegistrationBufferUnits, 100u + id);
    fmx::TextUniquePtr prototype;
    prototype->AssignUnicode(buffer);

    // The name is the prototype up to, not including, its first "(".
    fmx::TextUniquePtr name;
    name->AssignUnicode(buffer);
    fmx::TextUniquePtr paren;
    paren->Assign("(");
    fmx::uint32 at = name->Find(*paren, 0);
    if (at != static_cast<fmx::uint32>(fmx::Text::kSize_Invalid)) name->DeleteText(at, name->GetSize() - at);

    return fmx::ExprEnv::RegisterExternalFunction(*pluginId, static_cast<fmx::int16>(id), *name, *prototype, minimum,
                                                  maximum, flags, function);
}

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
            UnRegisterFirst(k);
            return false;
        }
    }
    return true;
}

void UnRegisterExternalFunctions() { UnRegisterFirst(kFunctionCount); }

}  // namespace velkora
