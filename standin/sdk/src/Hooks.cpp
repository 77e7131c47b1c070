// Call counts, injected faults, refusals and live objects. Entry points may be
// called from several threads at once: counts and the armed flags are atomic,
// everything else is guarded by one mutex.
#include <cstring>
#include <map>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "Internal.h"

using namespace fmx;
using fmxhost::EntryPoint;
using fmxhost::faultArmed;

namespace {

struct Fault {
    std::string entryPoint;
    uint32 remaining = 0;  // 0: nothing armed
    int32 code = 0;
};

// Made on first use and never destroyed: plug-ins and hosts may call in from
// static constructors and destructors, in any order relative to this library.
struct State {
    std::mutex mutex;
    std::vector<EntryPoint*> entryPoints;  // one per entry point that has been called
    Fault fault;
    std::map<int16, errcode> refusals;
    std::unordered_map<const void*, int32> objects;  // live object -> its kind
    int64 live[kFMH_KindCount] = {};
};

State& Locked(std::unique_lock<std::mutex>& lock) {
    static State* state = new State;
    lock = std::unique_lock<std::mutex>(state->mutex);
    return *state;
}

std::atomic<errcode> setAsTextResult{0};

}  // namespace

namespace fmxhost {

std::atomic<bool> faultArmed{false};

EntryPoint& RegisterEntryPoint(const char* name) {
    std::unique_lock<std::mutex> lock;
    State& st = Locked(lock);
    st.entryPoints.reserve(st.entryPoints.size() + 1);  // a failure here leaks nothing
    st.entryPoints.push_back(new EntryPoint{name});
    return *st.entryPoints.back();
}

bool FaultFires(const char* name, _fmxcpt& x) {
    std::unique_lock<std::mutex> lock;
    State& st = Locked(lock);
    if (st.fault.remaining == 0 || st.fault.entryPoint != name || --st.fault.remaining != 0) return false;
    x.m_code = st.fault.code;
    faultArmed.store(false, std::memory_order_release);
    return true;
}

void Track(const void* p, FMH_ObjectKind kind) {
    std::unique_lock<std::mutex> lock;
    State& st = Locked(lock);
    st.objects.emplace(p, kind);
    ++st.live[kind];
}

bool Untrack(const void* p, FMH_ObjectKind kind) {
    std::unique_lock<std::mutex> lock;
    State& st = Locked(lock);
    auto it = st.objects.find(p);
    if (it == st.objects.end() || it->second != kind) return false;
    st.objects.erase(it);
    --st.live[kind];
    return true;
}

errcode RefusalFor(int16 functionId) {
    std::unique_lock<std::mutex> lock;
    State& st = Locked(lock);
    auto it = st.refusals.find(functionId);
    return it == st.refusals.end() ? 0 : it->second;
}

errcode SetAsTextResult() { return setAsTextResult.load(std::memory_order_acquire); }

}  // namespace fmxhost

namespace fmx {

FMX_API void FMH_Hook_RefuseRegistration(int16 functionId, errcode code) {
    std::unique_lock<std::mutex> lock;
    State& st = Locked(lock);
    if (code == 0)
        st.refusals.erase(functionId);
    else
        st.refusals[functionId] = code;
}

FMX_API void FMH_Hook_FailCall(const char* entryPoint, uint32 nth, int32 code) {
    std::unique_lock<std::mutex> lock;
    State& st = Locked(lock);
    st.fault = entryPoint ? Fault{entryPoint, nth, code} : Fault{};
    faultArmed.store(st.fault.remaining != 0, std::memory_order_release);
}

FMX_API void FMH_Hook_SetAsTextResult(errcode code) { setAsTextResult.store(code, std::memory_order_release); }

FMX_API void FMH_Hook_Reset(void) {
    std::unique_lock<std::mutex> lock;
    State& st = Locked(lock);
    st.fault = Fault{};
    faultArmed.store(false, std::memory_order_release);
    st.refusals.clear();
    setAsTextResult.store(0, std::memory_order_release);
}

FMX_API uint32 FMH_CallCount(const char* entryPoint) {
    std::unique_lock<std::mutex> lock;
    State& st = Locked(lock);
    uint32 count = 0;
    for (const EntryPoint* e : st.entryPoints)
        if (entryPoint != nullptr && std::strcmp(e->name, entryPoint) == 0) count += e->calls.load();
    return count;
}

FMX_API void FMH_ResetCallCounts(void) {
    std::unique_lock<std::mutex> lock;
    State& st = Locked(lock);
    for (EntryPoint* e : st.entryPoints) e->calls.store(0);
}

FMX_API int64 FMH_LiveObjects(int32 kind) {
    std::unique_lock<std::mutex> lock;
    State& st = Locked(lock);
    return kind >= 0 && kind < kFMH_KindCount ? st.live[kind] : 0;
}

}  // namespace fmx
