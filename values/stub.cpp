void velkora_values_stub() {}
