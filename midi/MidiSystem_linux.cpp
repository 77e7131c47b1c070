// Linux: RtMidi's JACK backend retries its connection on every call while it
// has none, and each try leaks a ring buffer. Asking JACK first costs a failed
// client open while no server runs, and nothing once the object has connected.
//
// Nor does the backend notice when its server goes away (stopped, crashed):
// its output keeps filling a ring buffer nobody empties, reports every send
// as done, and once the buffer is full spins forever inside the next send,
// holding the output side's lock. A client of our own, the watcher, is told
// by libjack when the server goes; the port manager then drops the objects
// that were talking to it.
#include <jack/jack.h>

#include <atomic>
#include <mutex>
#include <vector>

#include "midi/MidiSystem.h"

namespace velkora {

namespace {

std::mutex watch_lock;
jack_client_t* watcher = nullptr;  // guarded by watch_lock
int watching_sides = 0;            // guarded by watch_lock
std::atomic<bool> watcher_lost{false};
std::atomic<unsigned> servers_lost{0};

// On libjack's own thread, when the server has gone.
void ServerGone(void*) {
    watcher_lost.store(true);
    servers_lost.fetch_add(1);
}

// A client whose server has gone is let go, never closed: libjack frees what
// it refers to when the next client opens, and closing it then crashes.
void CloseWatcher() {
    if (watcher == nullptr) return;
    if (watcher_lost.load()) {
        static std::vector<jack_client_t*>* const let_go = new std::vector<jack_client_t*>;
        let_go->push_back(watcher);
    } else {
        jack_client_close(watcher);
    }
    watcher = nullptr;
}

}  // namespace

bool MidiSystemAnswers(RtMidi::Api api) {
    if (api != RtMidi::UNIX_JACK) return true;
    jack_status_t status;
    jack_client_t* client = jack_client_open("Velkora probe", JackNoStartServer, &status);
    if (client == nullptr) return false;
    jack_client_close(client);
    return true;
}

bool WatchMidiSystem(RtMidi::Api api, unsigned& lost_so_far) {
    lost_so_far = servers_lost.load();
    if (api != RtMidi::UNIX_JACK) return false;
    std::lock_guard<std::mutex> hold(watch_lock);
    if (watcher_lost.load()) CloseWatcher();
    if (watcher == nullptr) {
        watcher = jack_client_open("Velkora watch", JackNoStartServer, nullptr);
        if (watcher == nullptr) {
            // The server went between the side's connection and now.
            lost_so_far = servers_lost.load() - 1;
            return false;
        }
        watcher_lost.store(false);
        jack_on_shutdown(watcher, ServerGone, nullptr);
    }
    ++watching_sides;
    return true;
}

void UnwatchMidiSystem() {
    std::lock_guard<std::mutex> hold(watch_lock);
    if (--watching_sides == 0) CloseWatcher();
}

unsigned MidiSystemsLost() { return servers_lost.load(); }

}  // namespace velkora
