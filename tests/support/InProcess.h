// The plug-in driven in-process, as the host drives it: lifecycle messages
// through FMExternCallProc, and external functions called with host-made
// values. The one way tests and benchmarks do either.
#ifndef VELKORA_TESTS_INPROCESS_H
#define VELKORA_TESTS_INPROCESS_H

#include <string>
#include <vector>

#include "FMXHost.h"
#include "HostValues.h"

// Tests name the product's functions as the product's own code does.
namespace velkora {}
using namespace velkora;

// Calls `function` as the host does; its code goes to *code when given, and
// the result comes back as text (a number in the host's form). The parameter
// vector and the result value are the host's, released on every path;
// whatever the function raises passes on.
std::string CallFunction(fmx::ExtPluginType function, const std::vector<Param>& params, fmx::errcode* code = nullptr);

// Sends lifecycle message `selector` and returns the result field afterwards.
// Init's call structure stays (InitCall()), and every message names it as the
// instance: the plug-in may reach the host's instance through it while
// functions run. Every other message gets a structure of its own that is
// freed right after, as a host with a temporary one would do; a plug-in that
// kept such a pointer past its message is caught by ASan.
fmx::int64 SendMessage(fmx::uchar selector, fmx::uint16 version = 62, FMX_PtrType result = 12345);
FMX_ExternCallStruct& InitCall();
// Init (its answer returned) and Shutdown, as the host sends them.
long SendInit();
void SendShutdown();

#endif
