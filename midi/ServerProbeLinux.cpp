// Linux: RtMidi's JACK backend retries its connection on every call while it
// has none, and each try leaks a ring buffer. Asking JACK first costs a failed
// client open while no server runs, and nothing once the object has connected.
#include <jack/jack.h>

#include "midi/PortManager.h"

bool MidiSystemAnswers(RtMidi::Api api) {
    if (api != RtMidi::UNIX_JACK) return true;
    jack_status_t status;
    jack_client_t* client = jack_client_open("Velkora probe", JackNoStartServer, &status);
    if (client == nullptr) return false;
    jack_client_close(client);
    return true;
}
