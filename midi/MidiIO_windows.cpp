// Receiving on Windows: SIGINT through the C runtime's signal, Sleep, and
// the input's SysEx buffers.
#include "midi/MidiIOPlatform.h"

#include <csignal>

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include "midi/PortManager.h"

namespace velkora {

namespace {

void (*host_handler)(int) = SIG_DFL;

}  // namespace

bool CatchInterrupt(void (*finish)(int)) {
    host_handler = std::signal(SIGINT, finish);
    return host_handler != SIG_ERR;
}

void RestoreInterrupt() { std::signal(SIGINT, host_handler); }

void Pause(std::chrono::milliseconds pause, const std::atomic<bool>&) { Sleep(static_cast<DWORD>(pause.count())); }

void PrepareInput(RtMidiIn& in) {
    // WinMM hands SysEx over one input buffer at a time and RtMidi queues each
    // buffer as a message of its own, which the queue limit then drops: with
    // the default 1024-byte buffers a bank dump (4104 bytes) would come back
    // cut. Buffers this large take any dump whole; they must be set before a
    // port opens.
    MidiCall([&] { in.setBufferSize(65536, 4); });
}

}  // namespace velkora
