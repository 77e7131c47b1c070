// The platform's half of the SysEx file functions: one file per platform,
// chosen by the build (SysexFile_posix.cpp, SysexFile_windows.cpp), behind
// the promises of SysexFile.h, which SysexFile.cpp checks the arguments for.
// Paths arrive as UTF-8 and are never empty.
#ifndef VELKORA_FUNCTIONS_SYSEXFILEPLATFORM_H
#define VELKORA_FUNCTIONS_SYSEXFILEPLATFORM_H

#include <cstddef>
#include <string>

#include "values/ByteArray.h"

namespace velkora {

// Writes `bytes` to `path` as WriteSysexFile promises; false where it gives -1.
bool PlatformWrite(const std::string& path, const ByteArray& bytes);

// Reads the regular file `path` into `out` (empty on entry) as ReadSysexFile
// promises.
bool PlatformRead(const std::string& path, ByteArray& out);

// How a replacement through a temporary file went.
enum class Outcome {
    kWritten,
    kFailed,   // nothing written, or (in place only) a partial rewrite
    kNotKept,  // a replacement would change who may do what: nothing done yet
};

// Six characters of letters[0, count) for a temporary file's name: another on
// every call in this process, and unlikely to be another process's, from the
// platform's clock and process id.
std::string TemporarySuffix(unsigned long long clock, unsigned long long process, const char* letters, size_t count);

}  // namespace velkora

#endif
