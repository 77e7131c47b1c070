void velkora_sdk_stub() {}
