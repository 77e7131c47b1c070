// SysEx files: a file whose whole content is the byte array, byte for byte.
// A write replaces the file in one step or not at all; a read takes regular
// files only. All of the platform's file calls live behind these two.
#ifndef VELKORA_FUNCTIONS_SYSEXFILE_H
#define VELKORA_FUNCTIONS_SYSEXFILE_H

#include <string>

#include "ValueList.h"

// Writes `bytes` to a temporary file beside `path`, flushes it to disk and
// renames it over `path` (a symbolic link is followed: the file it names is
// replaced). A replaced file keeps its permission bits; a new one gets
// 0666 less the umask. Gives the number of bytes written, or -1 when the file
// could not be written, in which case `path` is as before and the temporary
// file is gone. An existing `path` that is not a regular file is refused (-1).
long WriteSysexFile(const std::string& path, const ByteArray& bytes);

// Reads the whole of the regular file `path` into `out`. Gives false, with
// `out` empty, when it cannot be opened or is no regular file (a directory,
// FIFO or device is never read); a read error ends the content early.
bool ReadSysexFile(const std::string& path, ByteArray& out);

#endif
