// SysEx files: a file whose whole content is the byte array, byte for byte.
// A write never does what the caller could not do by rewriting the file; a
// read takes regular files only. The file calls are the platform's, one file
// per platform (SysexFilePlatform.h). Both functions are [thread-safe]: they
// run on the caller's thread, take no lock and share nothing but the file
// system with other calls; the file is open only within the call, and the
// caller owns `bytes` and `out` throughout.
#ifndef VELKORA_FUNCTIONS_SYSEXFILE_H
#define VELKORA_FUNCTIONS_SYSEXFILE_H

#include <string>

#include "values/ByteArray.h"

namespace velkora {

// Writes `bytes` to `path` (a symbolic link is followed), flushed to disk.
// An existing file must be writable by the caller (on Windows, also not
// marked read-only) and regular; otherwise -1 and nothing changes. It is
// replaced in one step (a temporary file beside it, renamed over it) when the
// result keeps its owner, group, mode and other names: the folder is writable
// and the file has one link and no extended attributes. Otherwise it is
// rewritten in place: the new bytes from the start, then cut to their length.
// A new file gets 0666 less the umask. Gives the number of bytes written, or
// -1; a failed replacement leaves `path` as before, no temporary file stays.
// Blocks until the bytes (and a new name) are on the disk: as long as the
// file system takes to flush them (fsync / FlushFileBuffers), which a slow
// or network disk can make seconds.
long WriteSysexFile(const std::string& path, const ByteArray& bytes);

// Reads the whole of the regular file `path` into `out`. Gives false, with
// `out` empty, when it cannot be opened or is no regular file (a directory,
// FIFO or device is never read, so nothing waits for a writer); a read error
// ends the content early. Blocks as long as reading the file takes.
bool ReadSysexFile(const std::string& path, ByteArray& out);

}  // namespace velkora

#endif
