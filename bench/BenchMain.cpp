// velkora-bench: Google Benchmark's own main, plus stopping the private JACK
// server of the MIDI benchmarks once every benchmark has run.
#include <benchmark/benchmark.h>

#ifdef __GLIBC__
#include <malloc.h>
#endif

#include "MidiBench.h"

int main(int argc, char** argv) {
#ifdef __GLIBC__
    // glibc moves its thresholds for returning memory with every large free,
    // so whether a multi-megabyte buffer comes with fresh pages (and page
    // faults) would depend on which benchmark happened to run before. Fixed
    // thresholds keep every buffer of these sizes on the heap, for ours and
    // the baselines alike.
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    mallopt(M_TRIM_THRESHOLD, 256 << 20);
#endif
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    StopMidiRig();
    benchmark::Shutdown();
    return 0;
}
