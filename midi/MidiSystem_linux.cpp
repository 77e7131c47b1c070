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
//
// Nor does it notice when the device behind an open port goes: JACK drops
// the port's connections when the peer leaves, and does not make them again
// when it comes back. The watcher counts the graph's changes, so a call on an
// open port sees with one atomic read that nothing changed, and otherwise
// looks the peer port up in the graph (shared memory, no server call).
#include <jack/jack.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "midi/MidiSystem.h"

namespace velkora {

namespace {

std::mutex watch_lock;
jack_client_t* watcher = nullptr;  // guarded by watch_lock
int watching_sides = 0;            // guarded by watch_lock
std::atomic<bool> watcher_lost{false};
std::atomic<unsigned> servers_lost{0};
std::atomic<unsigned> graph_changes{0};

// On libjack's own thread, when the server has gone.
void ServerGone(void*) {
    watcher_lost.store(true);
    servers_lost.fetch_add(1);
}

// On libjack's notification thread: a port came or went, or a connection.
void PortChanged(jack_port_id_t, int, void*) { graph_changes.fetch_add(1); }
void ConnectionChanged(jack_port_id_t, jack_port_id_t, int, void*) { graph_changes.fetch_add(1); }

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
        // Graph callbacks come to active clients only. With no process
        // callback the watcher takes no part in the server's cycles.
        jack_set_port_registration_callback(watcher, PortChanged, nullptr);
        jack_set_port_connect_callback(watcher, ConnectionChanged, nullptr);
        jack_activate(watcher);
    }
    ++watching_sides;
    return true;
}

void UnwatchMidiSystem() {
    std::lock_guard<std::mutex> hold(watch_lock);
    if (--watching_sides == 0) CloseWatcher();
}

unsigned MidiSystemsLost() { return servers_lost.load(); }

unsigned MidiGraphChanges() { return graph_changes.load(); }

std::vector<std::string> ConnectionsOf(const jack_port_t* port) {
    std::vector<std::string> names;
    const char** connections = jack_port_get_all_connections(watcher, port);
    for (const char** c = connections; c != nullptr && *c != nullptr; ++c) names.emplace_back(*c);
    jack_free(connections);
    return names;
}

DeviceMark MarkDevice(bool watching, const std::string& peer) {
    DeviceMark mark;
    mark.graph_seen = graph_changes.load();
    if (!watching) return mark;
    std::lock_guard<std::mutex> hold(watch_lock);
    if (watcher == nullptr || watcher_lost.load()) return mark;
    const jack_port_t* port = jack_port_by_name(watcher, peer.c_str());
    if (port == nullptr) return mark;
    mark.peer = peer;
    mark.peer_had = ConnectionsOf(port);
    return mark;
}

// Our connection is the one the peer has gained since the mark. A new
// connection may show in the graph only from the server's next cycle, so this is
// tried again on later checks until it is found.
void FindOurs(DeviceMark& mark, const jack_port_t* port) {
    if (!mark.ours.empty()) return;
    for (const std::string& name : ConnectionsOf(port)) {
        if (std::find(mark.peer_had.begin(), mark.peer_had.end(), name) == mark.peer_had.end()) mark.ours = name;
    }
    if (!mark.ours.empty()) mark.peer_had.clear();
}

void NoteConnected(DeviceMark& mark) {
    if (mark.peer.empty()) return;
    std::lock_guard<std::mutex> hold(watch_lock);
    if (watcher == nullptr || watcher_lost.load()) return;
    const jack_port_t* port = jack_port_by_name(watcher, mark.peer.c_str());
    if (port != nullptr) FindOurs(mark, port);
}

bool DeviceStillThere(DeviceMark& mark) {
    const unsigned now = graph_changes.load();
    if (now == mark.graph_seen || mark.peer.empty()) return true;
    std::lock_guard<std::mutex> hold(watch_lock);
    if (watcher == nullptr || watcher_lost.load()) return false;
    const jack_port_t* port = jack_port_by_name(watcher, mark.peer.c_str());
    if (port == nullptr) return false;
    FindOurs(mark, port);
    const bool connected =
        mark.ours.empty() ? jack_port_connected(port) > 0 : jack_port_connected_to(port, mark.ours.c_str()) != 0;
    if (connected) mark.graph_seen = now;
    return connected;
}

}  // namespace velkora
