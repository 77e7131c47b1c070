// The calculation engine's registry of external functions: one row per
// (plug-in id, function id), kept in order of first registration, and a log
// of every registration call. Both sit under one mutex.
#include <algorithm>
#include <cstring>
#include <mutex>

#include "Internal.h"
#include "Unicode.h"

using namespace fmxhost;

namespace {

struct Row {
    std::string pluginId;
    fmx::int16 functionId;
    std::string name, prototype;  // UTF-8
    fmx::int16 minArgs, maxArgs;
    fmx::uint32 flags;
    fmx::ExtPluginType fn;
};

// Made on first use and never destroyed, like the hook state: a plug-in may
// unregister from a static destructor after this library's globals are gone.
struct Registry {
    std::mutex mutex;
    std::vector<Row> rows;
    std::vector<fmx::FMH_RegistryEvent> log;
};

Registry& Locked(std::unique_lock<std::mutex>& lock) {
    static Registry* registry = new Registry;
    lock = std::unique_lock<std::mutex>(registry->mutex);
    return *registry;
}

// Copies at most cap - 1 bytes, never cutting a UTF-8 sequence, and a NUL.
void CopyOut(const std::string& s, char* out, size_t cap) {
    size_t n = std::min(s.size(), cap - 1);
    while (n > 0 && n < s.size() && (static_cast<unsigned char>(s[n]) & 0xC0) == 0x80) --n;
    std::memcpy(out, s.data(), n);
    out[n] = '\0';
}

void CopyOut(const Row& row, fmx::FMH_Function* out) {
    CopyOut(row.pluginId, out->pluginId, sizeof out->pluginId);
    CopyOut(row.name, out->name, sizeof out->name);
    CopyOut(row.prototype, out->prototype, sizeof out->prototype);
    out->functionId = row.functionId;
    out->minArgs = row.minArgs;
    out->maxArgs = row.maxArgs;
    out->flags = row.flags;
    out->fn = row.fn;
}

// Room for one more element, so that the next push_back cannot throw.
template <typename T>
void MakeRoom(std::vector<T>& v) {
    if (v.size() == v.capacity()) v.reserve(2 * v.size() + 16);
}

std::vector<Row>::iterator FindRow(std::vector<Row>& rows, const std::string& pluginId, fmx::int16 functionId) {
    return std::find_if(rows.begin(), rows.end(),
                        [&](const Row& r) { return r.pluginId == pluginId && r.functionId == functionId; });
}

bool SameNameIgnoringAsciiCase(const std::string& a, const char* b) {
    auto lower = [](unsigned char c) { return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c; };
    size_t i = 0;
    for (; i < a.size() && b[i] != '\0'; ++i)
        if (lower(static_cast<unsigned char>(a[i])) != lower(static_cast<unsigned char>(b[i]))) return false;
    return i == a.size() && b[i] == '\0';
}

std::string PluginId(const QuadCharImpl& q) { return std::string(q.c, 4); }

}  // namespace

FMX_API fmx::QuadChar* FM_QuadChar_Constructor2(char c0, char c1, char c2, char c3, fmx::_fmxcpt& _x) noexcept {
    return Entry(__func__, _x, [&] {
        return Create<fmx::QuadChar>(fmx::kFMH_QuadChar, QuadCharImpl{{c0, c1, c2, c3}});
    });
}

FMX_API void FM_QuadChar_Delete(void* _self, fmx::_fmxcpt& _x) noexcept {
    Entry(__func__, _x, [&] { Destroy(static_cast<fmx::QuadChar*>(_self), fmx::kFMH_QuadChar); });
}

FMX_API fmx::errcode FM_ExprEnv_RegisterExternalFunction(const fmx::QuadChar& pluginId, short functionId,
                                                         const fmx::Text& functionName,
                                                         const fmx::Text& functionPrototype, short minArgs,
                                                         short maxArgs, fmx::uint32 compatibleOnFlags,
                                                         fmx::ExtPluginType funcPtr, fmx::_fmxcpt& _x) noexcept {
    return Entry(__func__, _x, [&] {
        if (funcPtr == nullptr) throw BadArgument();
        Row row{PluginId(Impl(&pluginId)),
                functionId,
                unicode::ToUtf8(Impl(&functionName).s()),
                unicode::ToUtf8(Impl(&functionPrototype).s()),
                minArgs,
                maxArgs,
                compatibleOnFlags,
                funcPtr};
        fmx::errcode refusal = RefusalFor(functionId);
        std::unique_lock<std::mutex> lock;
        Registry& reg = Locked(lock);
        // Reserve first so that the log and the rows change together or not at all.
        MakeRoom(reg.log);
        MakeRoom(reg.rows);
        reg.log.push_back(fmx::FMH_RegistryEvent{true, refusal != 0, functionId});
        if (refusal != 0) return refusal;
        auto it = FindRow(reg.rows, row.pluginId, functionId);
        if (it != reg.rows.end())
            *it = std::move(row);
        else
            reg.rows.push_back(std::move(row));
        return fmx::errcode(0);
    });
}

// Removing a function that is not registered succeeds too: afterwards it is
// not registered, which is all the caller asked for.
FMX_API fmx::errcode FM_ExprEnv_UnRegisterExternalFunction(const fmx::QuadChar& pluginId, short functionId,
                                                           fmx::_fmxcpt& _x) noexcept {
    return Entry(__func__, _x, [&] {
        std::string id = PluginId(Impl(&pluginId));
        std::unique_lock<std::mutex> lock;
        Registry& reg = Locked(lock);
        reg.log.push_back(fmx::FMH_RegistryEvent{false, false, functionId});
        auto it = FindRow(reg.rows, id, functionId);
        if (it != reg.rows.end()) reg.rows.erase(it);
        return fmx::errcode(0);
    });
}

namespace fmx {

FMX_API ExprEnv* FMH_ExprEnv_Get(void) {
    static ExprEnvImpl env{0};
    return reinterpret_cast<ExprEnv*>(&env);
}

FMX_API uint32 FMH_Registry_Count(void) {
    std::unique_lock<std::mutex> lock;
    Registry& reg = Locked(lock);
    return static_cast<uint32>(reg.rows.size());
}

FMX_API bool FMH_Registry_At(uint32 i, FMH_Function* out) {
    std::unique_lock<std::mutex> lock;
    Registry& reg = Locked(lock);
    if (i >= reg.rows.size() || out == nullptr) return false;
    CopyOut(reg.rows[i], out);
    return true;
}

FMX_API bool FMH_Registry_Find(const char* name, FMH_Function* out) {
    if (name == nullptr || out == nullptr) return false;
    std::unique_lock<std::mutex> lock;
    Registry& reg = Locked(lock);
    auto it = std::find_if(reg.rows.begin(), reg.rows.end(),
                           [&](const Row& r) { return SameNameIgnoringAsciiCase(r.name, name); });
    if (it == reg.rows.end()) return false;
    CopyOut(*it, out);
    return true;
}

FMX_API void FMH_Registry_Clear(void) {
    std::unique_lock<std::mutex> lock;
    Registry& reg = Locked(lock);
    reg.rows.clear();
}

FMX_API uint32 FMH_Log_Count(void) {
    std::unique_lock<std::mutex> lock;
    Registry& reg = Locked(lock);
    return static_cast<uint32>(reg.log.size());
}

FMX_API bool FMH_Log_At(uint32 i, FMH_RegistryEvent* out) {
    std::unique_lock<std::mutex> lock;
    Registry& reg = Locked(lock);
    if (i >= reg.log.size() || out == nullptr) return false;
    *out = reg.log[i];
    return true;
}

FMX_API void FMH_Log_Clear(void) {
    std::unique_lock<std::mutex> lock;
    Registry& reg = Locked(lock);
    reg.log.clear();
}

}  // namespace fmx
