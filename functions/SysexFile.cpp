// The SysEx functions' arguments and answers, and the one rule of a write;
// the file calls are the platform's (SysexFilePlatform.h). A write needs
// permission to write the file itself; it replaces the file through a
// temporary file beside it when the result looks as the old file did, and
// otherwise rewrites it in place. A read takes regular files only and reads
// them in blocks.
#include "functions/SysexFile.h"

#include <atomic>

#include "functions/SysexFilePlatform.h"

namespace velkora {

namespace {

bool Write(const std::string& path, const ByteArray& bytes) {
    WriteTarget target(path);
    switch (target.found()) {
        case WriteTarget::Found::kNothing: return target.Replace(bytes) == Outcome::kWritten;
        case WriteTarget::Found::kRefused: return false;
        case WriteTarget::Found::kFile: break;
    }
    // Other names of the file, or things of its own, would stay with the old
    // file: those files are rewritten in place, as are files whose folder or
    // owner refuses a replacement.
    const Outcome outcome = target.Replaceable() ? target.Replace(bytes) : Outcome::kNotKept;
    if (outcome == Outcome::kNotKept) return target.Rewrite(bytes);
    return outcome == Outcome::kWritten;
}

}  // namespace

long WriteSysexFile(const std::string& path, const ByteArray& bytes) {
    if (path.empty()) return -1;
    return Write(path, bytes) ? static_cast<long>(bytes.size()) : -1;
}

bool ReadSysexFile(const std::string& path, ByteArray& out) {
    out.clear();
    return !path.empty() && PlatformRead(path, out);
}

std::string TemporarySuffix(unsigned long long clock, unsigned long long process, const char* letters, size_t count) {
    static std::atomic<unsigned long> counter{0};
    unsigned long long seed =
        clock ^ (process << 20) ^ (static_cast<unsigned long long>(++counter) * 0x9E3779B97F4A7C15ull);
    std::string suffix;
    for (int i = 0; i < 6; ++i) {
        suffix += letters[seed % count];
        seed /= count;
    }
    return suffix;
}

}  // namespace velkora
