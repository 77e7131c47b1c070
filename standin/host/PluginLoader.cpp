#include "PluginLoader.h"

#include <cstring>

#include "Platform.h"

namespace velkora_host {

namespace {

// The plug-in stores a pointer to the structure of every message and reaches
// the instance field through it later (string loading while a function runs),
// so the structure outlives every message: one for the whole process.
FMX_ExternCallStruct gCallStruct;

const std::size_t kStringUnits = 1024;

void AppendUtf8(std::string& out, std::uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

}  // namespace

PluginLoader::~PluginLoader() { Unload(); }

bool PluginLoader::Load(const std::string& path, std::string* why) {
    Unload();
    void* handle = OpenModule(path, why);
    if (!handle) {
        *why = "cannot load " + path + ": " + *why;
        return false;
    }
    void* sym = FindSymbol(handle, "FMExternCallProc");
    if (!sym) {
        *why = path + " has no FMExternCallProc";
        CloseModule(handle);
        return false;
    }
    handle_ = handle;
    proc_ = reinterpret_cast<FMX_ExternCallProc>(sym);
    std::memset(&gCallStruct, 0, sizeof gCallStruct);
    gCallStruct.unusedID = -1;
    gCallStruct.entryPoint = proc_;
    gCallStruct.instanceID = reinterpret_cast<FMX_PtrType>(handle_);
    return true;
}

std::intptr_t PluginLoader::Send(std::uint8_t selector, std::uint8_t parm1, std::uint64_t parm3, std::intptr_t result) {
    if (!proc_) return result;
    gCallStruct.extnVersion = interfaceVersion_;
    gCallStruct.whichCall = selector;
    gCallStruct.parm1 = parm1;
    gCallStruct.parm2 = 0;
    gCallStruct.parm3 = parm3;
    gCallStruct.instanceID = reinterpret_cast<FMX_PtrType>(handle_);
    gCallStruct.result = static_cast<FMX_PtrType>(result);
    proc_(&gCallStruct);
    return gCallStruct.result;
}

void PluginLoader::RequestString(std::uint8_t id, std::uint16_t* buffer, std::uint64_t capacity) {
    Send(kFMXT_GetString, id, capacity, reinterpret_cast<std::intptr_t>(buffer));
}

std::string PluginLoader::RequestString(std::uint8_t id) {
    std::uint16_t buffer[kStringUnits] = {0};
    RequestString(id, buffer, kStringUnits);
    buffer[kStringUnits - 1] = 0;
    return Utf16ToUtf8(buffer, kStringUnits);
}

std::int64_t PluginLoader::Init() { return static_cast<std::int64_t>(Send(kFMXT_Init, 0, 0, 0)); }

void PluginLoader::Unload() {
    if (!handle_) return;
    Send(kFMXT_Shutdown, 0, 0, 0);
    CloseModule(handle_);
    handle_ = nullptr;
    proc_ = nullptr;
}

std::string Utf16ToUtf8(const std::uint16_t* units, std::size_t count) {
    std::string out;
    for (std::size_t i = 0; i < count && units[i] != 0; ++i) {
        std::uint32_t u = units[i];
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < count && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF) {
            AppendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (units[i + 1] - 0xDC00));
            ++i;
        } else if (u >= 0xD800 && u <= 0xDFFF) {
            AppendUtf8(out, 0xFFFD);
        } else {
            AppendUtf8(out, u);
        }
    }
    return out;
}

std::vector<std::string> DefaultPluginCandidates() {
    std::string dir = ExecutableDirectory();
    const std::string file = VELKORA_PLUGIN_FILE;
    return {dir + "/" + file, dir + "/../../plugin/" + file, dir + "/../lib/velkora/" + file};
}

}  // namespace velkora_host
