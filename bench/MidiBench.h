// The MIDI benchmarks' private JACK server and ports: set up by the first
// MIDI benchmark that runs, torn down here (main calls this last).
#ifndef VELKORA_BENCH_MIDIBENCH_H
#define VELKORA_BENCH_MIDIBENCH_H

void StopMidiRig();

#endif
