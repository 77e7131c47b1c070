#include "plugin/Lifecycle.h"

#include "midi/PortManager.h"

namespace velkora {

void Startup() {
    Init_MIDIIn();
    Init_MIDIOut();
}

void Shutdown() {
    Delete_MIDIIn();
    Delete_MIDIOut();
}

}  // namespace velkora
