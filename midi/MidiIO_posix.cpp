// A receive's wait on POSIX systems: SIGINT through sigaction, and a pause
// that a signal can cut short.
#include "midi/MidiIOPlatform.h"

#include <cerrno>
#include <csignal>
#include <ctime>

namespace velkora {

namespace {

struct sigaction host_handler {};

}  // namespace

bool CatchInterrupt(void (*finish)(int)) {
    struct sigaction action {};
    action.sa_handler = finish;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;
    return sigaction(SIGINT, &action, &host_handler) == 0;
}

void RestoreInterrupt() { sigaction(SIGINT, &host_handler, nullptr); }

void Pause(std::chrono::milliseconds pause, const std::atomic<bool>& done) {
    timespec left{};
    left.tv_sec = static_cast<time_t>(pause.count() / 1000);
    left.tv_nsec = static_cast<long>(pause.count() % 1000) * 1000000L;
    // Other signals cut the sleep short too; only finish ends it early.
    while (nanosleep(&left, &left) != 0 && errno == EINTR) {
        if (done.load()) return;
    }
}

void PrepareInput(RtMidiIn&) {}

}  // namespace velkora
