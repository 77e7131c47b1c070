# The FMWrapper and CoreFoundation stand-ins, tested through their own
# interfaces (the plug-in's inline wrappers and holders, the host hooks).
velkora_add_test(sdk_test SOURCES sdk_test.cpp LIBS velkora_cf LABELS sdk)
