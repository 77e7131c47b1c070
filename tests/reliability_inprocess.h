// In-process driving of the plug-in for the reliability tests (over
// InProcess.h): the external functions looked up in the host's registry, what
// left a call, and counts of what is alive (host objects of each kind, open
// file descriptors).
#ifndef VELKORA_TESTS_RELIABILITY_INPROCESS_H
#define VELKORA_TESTS_RELIABILITY_INPROCESS_H

#include <array>
#include <string>
#include <vector>

#include "FMXHost.h"
#include "HostValues.h"
#include "InProcess.h"

namespace reliability {

// The function registered under `name`; null when it is not registered.
fmx::ExtPluginType Find(const std::string& name);

// A parameter: a text (UTF-8, may hold U+0000) or a number.
using Arg = Param;

// What one call did: the returned code and the result as text (a number in
// the host's form), or which exception left the function.
struct Outcome {
    enum Exception { kNone, kBadAlloc, kStdException, kOther };
    Exception exception = kNone;
    int code = 0;
    std::string result;
};
const char* Describe(Outcome::Exception e);

// Calls `fn` as the host does (CallFunction), telling what it raised.
Outcome Call(fmx::ExtPluginType fn, const std::vector<Arg>& args);

// Live host objects of every kind, in FMH_ObjectKind order.
typedef std::array<long long, fmx::kFMH_KindCount> LiveCounts;
LiveCounts Live();
std::string Show(const LiveCounts& counts);

// Entries of /proc/self/fd.
int OpenDescriptors();

// Every FM_* entry point of the host library, by name.
const std::vector<std::string>& EntryPoints();

}  // namespace reliability

#endif
