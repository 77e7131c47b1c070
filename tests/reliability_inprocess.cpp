#include "reliability_inprocess.h"

#include <dirent.h>

#include <exception>
#include <fstream>
#include <new>
#include <set>

namespace reliability {

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
    Outcome out;
    try {
        fmx::errcode code = 0;
        out.result = CallFunction(fn, args, &code);
        out.code = code;
    } catch (const std::bad_alloc&) {
        out.exception = Outcome::kBadAlloc;
    } catch (const std::exception&) {
        out.exception = Outcome::kStdException;
    } catch (...) {
        out.exception = Outcome::kOther;
    }
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
