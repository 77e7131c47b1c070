// What the benchmarks share: generated inputs (fixed seeds, so every run
// times the same data), an allocation counter, the host's environment and
// call structure, and a private temporary directory. Nothing here is timed
// itself.
#ifndef VELKORA_BENCH_BENCHSUPPORT_H
#define VELKORA_BENCH_BENCHSUPPORT_H

#include <cstddef>
#include <string>

#include "FMXHost.h"
#include "HostValues.h"
#include "values/ValueList.h"

// The benchmarks name the product's functions as its own code does.
namespace velkora {}
using namespace velkora;

// ---- inputs -------------------------------------------------------------------
// n bytes drawn from a fixed seed.
ByteArray RandomBytes(size_t n, unsigned seed = 1);
// A canonical list (",", decimal, hex or binary, as ByteArrayToString writes
// it) of random bytes, as long as possible without exceeding `bytes`.
std::string CanonicalList(size_t bytes, Radix radix, unsigned seed = 1);
// A canonical decimal list of exactly `elements` random bytes.
std::string DecimalListOf(size_t elements, unsigned seed = 1);
// Number of elements of a list: separators plus one.
size_t ElementCount(const std::string& list);

// ---- allocations --------------------------------------------------------------
// operator new is replaced in this binary; while counting is on, every call
// of any form is counted (from any thread).
struct AllocationCount {
    long calls;
    long bytes;
};
void StartCountingAllocations();
AllocationCount StopCountingAllocations();

template <typename F>
AllocationCount CountAllocations(F&& f) {
    StartCountingAllocations();
    f();
    return StopCountingAllocations();
}

// ---- host side ----------------------------------------------------------------
// Parameters and results are made as the tests make them (HostValues.h, from
// tests/support), outside the timing.
const fmx::ExprEnv& Env();

// Points gFMX_ExternCallPtr at a call structure that lives for the whole run,
// and takes its instance field as Init would, so that functions which load
// strings find the plug-in's bundle.
void InstallCallStruct();

// ---- files ----------------------------------------------------------------------
// A directory of this run's own under $TMPDIR (or /tmp), removed at exit.
const std::string& BenchDir();
void WriteWholeFile(const std::string& path, const ByteArray& bytes);

#endif
