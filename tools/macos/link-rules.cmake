# How tools/macos-check.sh links the plug-in (CMAKE_USER_MAKE_RULES_OVERRIDE_CXX,
# read after CMake's Darwin rules). Zig 0.11's Mach-O linker cannot make a
# -bundle; a dynamic library whose undefined symbols are left to the loader
# is the closest it makes. The bundle's layout around it is CMake's own.
set(CMAKE_CXX_CREATE_SHARED_MODULE
    "<CMAKE_CXX_COMPILER> <LANGUAGE_COMPILE_FLAGS> -shared -Wl,-undefined,dynamic_lookup <LINK_FLAGS> <OBJECTS> -o <TARGET> <LINK_LIBRARIES>")
