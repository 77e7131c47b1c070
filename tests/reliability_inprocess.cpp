#include "reliability_inprocess.h"

#include <dirent.h>

#include <exception>
#include <fstream>
#include <memory>
#include <new>
#include <set>

#include "plugin/FMPlugin.h"

namespace reliability {

namespace {

// Init's call structure stays: the plug-in may reach the host's instance
// through it while functions run. Every other message gets a structure of its
// own that is freed right after, as a host with a temporary one would do; a
// plug-in that kept such a pointer past its message is caught by ASan.
FMX_ExternCallStruct init_call;

long Send(FMX_ExternCallStruct& call, fmx::uchar selector) {
    call = FMX_ExternCallStruct();
    call.whichCall = selector;
    call.extnVersion = 62;
    call.instanceID = reinterpret_cast<FMX_PtrType>(&init_call);
    FMExternCallProc(&call);
    return static_cast<long>(call.result);
}

}  // namespace

long SendInit() { return Send(init_call, kFMXT_Init); }

void SendShutdown() {
    std::unique_ptr<FMX_ExternCallStruct> call(new FMX_ExternCallStruct());
    Send(*call, kFMXT_Shutdown);
}

fmx::ExtPluginType Find(const std::string& name) {
    fmx::FMH_Function f;
    return fmx::FMH_Registry_Find(name.c_str(), &f) ? f.fn : nullptr;
}

const char* Describe(Outcome::Exception e) {
    switch (e) {
        case Outcome::kNone: return "no exception";
        case Outcome::kBadAlloc: return "std::bad_alloc";
        case Outcome::kStdException: return "std::exception";
        case Outcome::kOther: return "a foreign exception";
    }
    return "?";
}

Outcome Call(fmx::ExtPluginType fn, const std::vector<Arg>& args) {
    Vect parms(args);
    Value result;
    Outcome out;
    try {
        out.code = fn(0, *fmx::FMH_ExprEnv_Get(), *parms.v, *result.d);
    } catch (const std::bad_alloc&) {
        out.exception = Outcome::kBadAlloc;
    } catch (const std::exception&) {
        out.exception = Outcome::kStdException;
    } catch (...) {
        out.exception = Outcome::kOther;
    }
    out.result = result.Utf8();
    return out;
}

LiveCounts Live() {
    LiveCounts counts{};
    for (int kind = 0; kind < fmx::kFMH_KindCount; ++kind) counts[kind] = fmx::FMH_LiveObjects(kind);
    return counts;
}

std::string Show(const LiveCounts& counts) {
    static const char* const kNames[] = {"Text", "FixPt", "Locale", "QuadChar", "Data"};
    std::string s;
    for (int kind = 0; kind < fmx::kFMH_KindCount; ++kind) {
        s += std::string(kind ? ", " : "") + kNames[kind] + " " + std::to_string(counts[kind]);
    }
    return s;
}

int OpenDescriptors() {
    DIR* dir = opendir("/proc/self/fd");
    if (dir == nullptr) return -1;
    int n = 0;
    while (const dirent* entry = readdir(dir)) {
        if (entry->d_name[0] != '.') ++n;
    }
    closedir(dir);
    return n - 1;  // the directory stream's own descriptor
}

// Read from the SDK's headers, so that an entry point added there is covered
// without anyone remembering this list.
const std::vector<std::string>& EntryPoints() {
    static const std::vector<std::string> names = [] {
        std::set<std::string> found;
        for (const char* header :
             {"FMXCalcEngine.h", "FMXData.h", "FMXFixPt.h", "FMXText.h", "FMXTypes.h", "FMXClient.h"}) {
            std::ifstream in(std::string(VELKORA_SOURCE_DIR) + "/standin/sdk/include/FMWrapper/" + header);
            std::string line;
            while (std::getline(in, line)) {
                if (line.compare(0, 8, "FMX_API ") != 0) continue;
                const size_t at = line.find(" FM_");
                const size_t paren = line.find('(', at == std::string::npos ? 0 : at);
                if (at == std::string::npos || paren == std::string::npos) continue;
                found.insert(line.substr(at + 1, paren - at - 1));
            }
        }
        return std::vector<std::string>(found.begin(), found.end());
    }();
    return names;
}

}  // namespace reliability
