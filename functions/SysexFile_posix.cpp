// SysEx files on POSIX systems (Linux and macOS): the file calls behind
// SysexFile.h. Paths are UTF-8 and not empty.
#include "functions/SysexFilePlatform.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace velkora {

namespace {

typedef std::unique_ptr<FILE, int (*)(FILE*)> FileHandle;

FileHandle Adopt(int fd, const char* mode) {
    FILE* f = fdopen(fd, mode);
    if (!f) close(fd);
    return FileHandle(f, &fclose);
}

// The file that a write replaces: `path` itself, or the file that a symbolic
// link at `path` leads to (replacing the link would cut it).
std::string LinkTarget(const std::string& path) {
    struct stat st;
    if (lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        if (char* resolved = realpath(path.c_str(), nullptr)) {
            std::string target(resolved);
            std::free(resolved);
            return target;
        }
    }
    return path;
}

std::string DirectoryOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

// Opens a new file beside `target` with a name nobody else uses and the
// given mode bits (less the umask). Tries "<target>.XXXXXX" first and a short
// name in the same directory when that name would be too long. On failure
// errno tells why.
int CreateTemporary(const std::string& target, std::string& name, mode_t mode) {
    static const char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    const std::string prefixes[2] = {target + ".", DirectoryOf(target) + "/.velkora-"};
    for (const std::string& prefix : prefixes) {
        for (int attempt = 0; attempt < 100; ++attempt) {
            timespec now{};
            clock_gettime(CLOCK_REALTIME, &now);
            name = prefix + TemporarySuffix(static_cast<unsigned long long>(now.tv_nsec),
                                            static_cast<unsigned long long>(getpid()), kLetters, 62);
            const int fd = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
            if (fd >= 0) return fd;
            if (errno == ENAMETOOLONG) break;
            if (errno != EEXIST) return -1;
        }
    }
    return -1;
}

// Writes every byte from the start of the file.
bool WriteBytes(int fd, const ByteArray& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t wrote = pwrite(fd, bytes.data() + done, bytes.size() - done, static_cast<off_t>(done));
        if (wrote < 0 && errno == EINTR) continue;
        if (wrote <= 0) return false;
        done += static_cast<size_t>(wrote);
    }
    return true;
}

void SyncDirectoryOf(const std::string& target) {
    const int dir = open(DirectoryOf(target).c_str(), O_RDONLY | O_CLOEXEC);
    if (dir >= 0) {
        fsync(dir);
        close(dir);
    }
}

// Extended attributes (access lists, tags, user data) belong to the file, and
// a new file in its place would lack them. The security label is left out:
// a new file beside the old one gets the folder's, as the old one did.
bool HasExtendedAttributes(int fd) {
#if defined(__APPLE__)
    return flistxattr(fd, nullptr, 0, 0) > 0;
#else
    char names[4096];
    const ssize_t size = flistxattr(fd, names, sizeof names);
    if (size < 0) return errno == ERANGE;  // more than fit here: some
    for (ssize_t at = 0; at < size; at += static_cast<ssize_t>(std::strlen(names + at)) + 1) {
        if (std::strncmp(names + at, "security.", 9) != 0) return true;
    }
    return false;
#endif
}

// A temporary file beside a target, made under a name nobody else uses
// (CreateTemporary): closed, and removed unless it has taken the target's
// name, on every path a write takes.
class Temporary {
  public:
    Temporary() = default;
    ~Temporary() {
        Close();
        if (!name_.empty()) unlink(name_.c_str());
    }
    Temporary(const Temporary&) = delete;
    Temporary& operator=(const Temporary&) = delete;

    // On failure errno tells why.
    bool Create(const std::string& target, mode_t mode) {
        fd_ = CreateTemporary(target, name_, mode);
        if (fd_ < 0) name_.clear();  // the last name tried may be another's file
        return fd_ >= 0;
    }
    int fd() const { return fd_; }
    bool Close() {
        if (fd_ < 0) return true;
        const int fd = fd_;
        fd_ = -1;
        return close(fd) == 0;
    }
    // On failure errno tells why.
    bool TakeNameOf(const std::string& target) {
        if (rename(name_.c_str(), target.c_str()) != 0) return false;
        name_.clear();
        return true;
    }

  private:
    int fd_ = -1;
    std::string name_;
};

// Gives the new file `fd` the owner, group and mode of `old`; false when the
// caller may not, or the system silently dropped a bit.
bool TakeOwnerAndMode(int fd, const struct stat& old) {
    struct stat now;
    bool ok = fstat(fd, &now) == 0;
    // Giving a file away takes root; a group the caller belongs to is enough.
    if (ok && (now.st_uid != old.st_uid || now.st_gid != old.st_gid)) ok = fchown(fd, old.st_uid, old.st_gid) == 0;
    // After the owner, whose change clears the set-ID bits; a set-group-ID bit
    // the caller may not set is dropped silently, hence the check.
    return ok && fchmod(fd, old.st_mode & 07777) == 0 && fstat(fd, &now) == 0 && now.st_uid == old.st_uid &&
           now.st_gid == old.st_gid && (now.st_mode & 07777) == (old.st_mode & 07777);
}

// The content goes to a new file beside `target`, which then takes its name,
// so that readers see the old bytes or the new, never a mix. For an existing
// file (`old`) the new one first takes its owner, group and mode; kNotKept
// when it cannot, or when the folder refuses the new file or the rename
// (read-only, or sticky and someone else's file), with nothing changed.
Outcome ReplaceThroughTemporary(const std::string& target, const struct stat* old, const ByteArray& bytes) {
    Temporary temporary;
    // Until it has the old file's mode, the new file is the caller's alone.
    if (!temporary.Create(target, old ? 0600 : 0666)) {
        const bool refused = errno == EACCES || errno == EPERM || errno == EROFS;
        return old && refused ? Outcome::kNotKept : Outcome::kFailed;
    }
    if (old && !TakeOwnerAndMode(temporary.fd(), *old)) return Outcome::kNotKept;
    bool ok = WriteBytes(temporary.fd(), bytes) && fsync(temporary.fd()) == 0;
    ok = temporary.Close() && ok;
    if (!ok) return Outcome::kFailed;
    if (!temporary.TakeNameOf(target)) {
        return old && (errno == EPERM || errno == EACCES) ? Outcome::kNotKept : Outcome::kFailed;
    }
    // Make the new name itself durable; the data already is.
    SyncDirectoryOf(target);
    return Outcome::kWritten;
}

// The plain rewrite: the new bytes over the old from the start, then the file
// cut to their length. A failure half-way leaves the new bytes followed by
// the old tail, never an emptied file; where the system can, the room is
// reserved first, so that a full disk or quota changes nothing.
bool RewriteInPlace(int fd, const struct stat& old, const ByteArray& bytes) {
    const off_t size = static_cast<off_t>(bytes.size());
#if defined(__linux__)
    if (size > old.st_size && fallocate(fd, FALLOC_FL_KEEP_SIZE, 0, size) != 0) {
        if (errno == ENOSPC || errno == EDQUOT) return false;  // other errors: no reservation here
    }
#elif defined(__APPLE__)
    if (size > old.st_size) {
        fstore_t room{};
        room.fst_flags = F_ALLOCATEALL;
        room.fst_posmode = F_PEOFPOSMODE;
        room.fst_length = size - old.st_size;
        if (fcntl(fd, F_PREALLOCATE, &room) == -1 && (errno == ENOSPC || errno == EDQUOT)) return false;
    }
#else
    (void)old;
#endif
    return WriteBytes(fd, bytes) && ftruncate(fd, size) == 0 && fsync(fd) == 0;
}

}  // namespace

struct WriteTarget::State {
    std::string target;
    struct stat old {};
    int fd = -1;  // the existing file, open for writing
    Found found = Found::kRefused;
};

WriteTarget::WriteTarget(const std::string& path) : state_(new State) {
    State& s = *state_;
    s.target = LinkTarget(path);
    if (stat(s.target.c_str(), &s.old) != 0) {
        if (errno == ENOENT) s.found = Found::kNothing;
        return;
    }
    // Never put a regular file in the place of a directory, a device or a FIFO.
    if (!S_ISREG(s.old.st_mode)) return;
    // Permission to replace the file in its folder is not enough: the caller
    // must be allowed to write the file itself.
    s.fd = open(s.target.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (s.fd >= 0 && fstat(s.fd, &s.old) == 0 && S_ISREG(s.old.st_mode)) s.found = Found::kFile;
}

WriteTarget::~WriteTarget() {
    if (state_->fd >= 0) close(state_->fd);
}

WriteTarget::Found WriteTarget::found() const { return state_->found; }

bool WriteTarget::Replaceable() const { return state_->old.st_nlink == 1 && !HasExtendedAttributes(state_->fd); }

Outcome WriteTarget::Replace(const ByteArray& bytes) {
    return ReplaceThroughTemporary(state_->target, state_->found == Found::kFile ? &state_->old : nullptr, bytes);
}

bool WriteTarget::Rewrite(const ByteArray& bytes) { return RewriteInPlace(state_->fd, state_->old, bytes); }

bool PlatformRead(const std::string& path, ByteArray& out) {
    // Non-blocking, so that opening a FIFO without a writer returns at once;
    // it has no effect on a regular file.
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    FileHandle file = Adopt(fd, "rb");
    struct stat st;
    if (!file || fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return false;
    if (st.st_size > 0) out.reserve(static_cast<size_t>(st.st_size));
    unsigned char block[65536];
    for (;;) {
        const size_t got = std::fread(block, 1, sizeof block, file.get());
        out.insert(out.end(), block, block + got);
        if (got < sizeof block) break;
    }
    return true;
}

}  // namespace velkora
