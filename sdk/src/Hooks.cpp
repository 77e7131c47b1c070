// Call counts, injected faults, refusals and live objects. One mutex guards
// all of it: entry points may be called from several threads at once.
#include <map>
#include <mutex>
#include <string_view>
#include <unordered_map>

#include "Internal.h"

using namespace fmx;

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
    std::map<std::string_view, uint32> calls;  // keys view the entry points' __func__, which live forever
    Fault fault;
    std::map<int16, errcode> refusals;
    errcode setAsTextResult = 0;
    std::unordered_map<const void*, int32> objects;  // live object -> its kind
    int64 live[kFMH_KindCount] = {};
};

State& Locked(std::unique_lock<std::mutex>& lock) {
    static State* state = new State;
    lock = std::unique_lock<std::mutex>(state->mutex);
    return *state;
}

}  // namespace

namespace fmxhost {

bool EnterEntryPoint(const char* name, _fmxcpt& x) {
    std::unique_lock<std::mutex> lock;
    State& st = Locked(lock);
    ++st.calls[name];
    if (st.fault.remaining == 0 || st.fault.entryPoint != name || --st.fault.remaining != 0) return true;
    x.m_code = st.fault.code;
    return false;
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

errcode SetAsTextResult() {
    std::unique_lock<std::mutex> lock;
    State& st = Locked(lock);
    return st.setAsTextResult;
}

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
}

FMX_API void FMH_Hook_SetAsTextResult(errcode code) {
    std::unique_lock<std::mutex> lock;
    State& st = Locked(lock);
    st.setAsTextResult = code;
}

FMX_API void FMH_Hook_Reset(void) {
    std::unique_lock<std::mutex> lock;
    State& st = Locked(lock);
    st.fault = Fault{};
    st.refusals.clear();
    st.setAsTextResult = 0;
}

FMX_API uint32 FMH_CallCount(const char* entryPoint) {
    std::unique_lock<std::mutex> lock;
    State& st = Locked(lock);
    auto it = entryPoint ? st.calls.find(entryPoint) : st.calls.end();
    return it == st.calls.end() ? 0 : it->second;
}

FMX_API void FMH_ResetCallCounts(void) {
    std::unique_lock<std::mutex> lock;
    State& st = Locked(lock);
    st.calls.clear();
}

FMX_API int64 FMH_LiveObjects(int32 kind) {
    std::unique_lock<std::mutex> lock;
    State& st = Locked(lock);
    return kind >= 0 && kind < kFMH_KindCount ? st.live[kind] : 0;
}

}  // namespace fmx
