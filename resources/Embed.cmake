# cmake -DINPUT=... -DOUTPUT=... -P Embed.cmake
# Turns the strings table into a C++ source that hands it to the
# CoreFoundation stand-in when the plug-in is loaded.
file(READ "${INPUT}" hex HEX)
string(LENGTH "${hex}" n)
math(EXPR count "${n} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "(0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,)" "\\1\n    " bytes "${bytes}")
file(WRITE "${OUTPUT}.tmp" "// Generated from Localizable.strings; do not edit.
#include <cstddef>
#include <CoreFoundation/CoreFoundation.h>

namespace {
const char kLocalizable[] = {
    ${bytes}
};
// Runs when the module is loaded, before the host's first message.
struct RegisterTable {
    RegisterTable() { _CFStubRegisterStringsTable(\"Localizable\", kLocalizable, ${count}); }
} registerTable;
}  // namespace
")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
