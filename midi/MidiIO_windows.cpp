// A receive's wait on Windows: SIGINT through the C runtime's signal, and
// Sleep.
#include "midi/MidiIOPlatform.h"

#include <csignal>

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

namespace {

void (*host_handler)(int) = SIG_DFL;

}  // namespace

bool CatchInterrupt(void (*finish)(int)) {
    host_handler = std::signal(SIGINT, finish);
    return host_handler != SIG_ERR;
}

void RestoreInterrupt() { std::signal(SIGINT, host_handler); }

void Pause(std::chrono::milliseconds pause, const std::atomic<bool>&) { Sleep(static_cast<DWORD>(pause.count())); }
