void velkora_functions_stub() {}
