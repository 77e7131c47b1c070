// The platform's half of the SysEx file functions: one file per platform,
// chosen by the build (SysexFile_posix.cpp, SysexFile_windows.cpp), behind
// the promises of SysexFile.h. SysexFile.cpp checks the arguments and decides
// between replacing and rewriting; the platform does the file calls. Paths
// arrive as UTF-8 and are never empty. Everything here runs on the caller's
// thread and shares nothing with other calls.
#ifndef VELKORA_FUNCTIONS_SYSEXFILEPLATFORM_H
#define VELKORA_FUNCTIONS_SYSEXFILEPLATFORM_H

#include <cstddef>
#include <memory>
#include <string>

#include "values/ByteArray.h"

namespace velkora {

// How a replacement through a temporary file went.
enum class Outcome {
    kWritten,
    kFailed,   // nothing written, or (in place only) a partial rewrite
    kNotKept,  // a replacement would change who may do what: nothing done yet
};

// The file one write goes to: the path, or the file a symbolic link there
// leads to, as found when the write starts. An existing file is held open for
// writing (which the caller must be allowed to do) until the object goes.
class WriteTarget {
  public:
    enum class Found {
        kNothing,  // no file yet: a new one is made
        kRefused,  // not a regular file, or not the caller's to write: nothing is done
        kFile,     // an existing regular file, open for writing
    };

    explicit WriteTarget(const std::string& path);
    ~WriteTarget();
    WriteTarget(const WriteTarget&) = delete;
    WriteTarget& operator=(const WriteTarget&) = delete;

    Found found() const;
    // Whether a new file in the old one's place could have all it has: one
    // name, and nothing of its own (extended attributes, a link's own node)
    // that a new file would lack.
    bool Replaceable() const;
    // The bytes into a new file beside the target, flushed to disk, which then
    // takes the target's name; an existing file's owner, group, mode and
    // access lists are kept, or kNotKept with nothing changed.
    Outcome Replace(const ByteArray& bytes);
    // The bytes over the existing file from its start, then the file cut to
    // their length and flushed; a failure half-way never leaves it emptied.
    bool Rewrite(const ByteArray& bytes);

  private:
    struct State;  // the platform's handles and what it found
    std::unique_ptr<State> state_;
};

// Reads the regular file `path` into `out` (empty on entry) as ReadSysexFile
// promises.
bool PlatformRead(const std::string& path, ByteArray& out);

// Six characters of letters[0, count) for a temporary file's name: another on
// every call in this process, and unlikely to be another process's, from the
// platform's clock and process id.
std::string TemporarySuffix(unsigned long long clock, unsigned long long process, const char* letters, size_t count);

}  // namespace velkora

#endif
