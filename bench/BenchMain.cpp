// velkora-bench: Google Benchmark's own main, plus stopping the private JACK
// server of the MIDI benchmarks once every benchmark has run.
#include <benchmark/benchmark.h>

#include "MidiBench.h"

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    StopMidiRig();
    benchmark::Shutdown();
    return 0;
}
