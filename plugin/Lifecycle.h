// Start-up and shut-down of what lives from Init to Shutdown: the MIDI input
// and output objects. Called on the host's thread by the entry point only.
#ifndef VELKORA_PLUGIN_LIFECYCLE_H
#define VELKORA_PLUGIN_LIFECYCLE_H

namespace velkora {

// Creates both MIDI objects. A side whose object cannot be created simply has
// no ports, so start-up has no failure of its own to report.
void Startup();
// Destroys what exists of them; safe without a Startup before it.
void Shutdown();

}  // namespace velkora

#endif
