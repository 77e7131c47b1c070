void velkora_midi_stub() {}
