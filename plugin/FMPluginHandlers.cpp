#include "plugin/FMPlugin.h"
#include "midi/PortManager.h"

// A side whose MIDI object cannot be created simply has no ports; start-up
// still succeeds.
bool Startup() {
    Init_MIDIIn();
    Init_MIDIOut();
    return true;
}

void Shutdown() {
    Delete_MIDIIn();
    Delete_MIDIOut();
}
