void velkora_cf_stub() {}
