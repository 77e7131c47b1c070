// The only platform code of the SysEx functions. Both branches keep the same
// promises: a write needs permission to write the file itself; it replaces
// the file through a temporary file beside it when the result looks as the
// old file did, and otherwise rewrites it in place; a read takes regular
// files only and reads them in blocks. Paths arrive as UTF-8.
#include "functions/SysexFile.h"

namespace {

enum class Outcome {
    kWritten,
    kFailed,   // nothing written, or (in place only) a partial rewrite
    kNotKept,  // a replacement would change who may do what: nothing done yet
};

}  // namespace

#if defined(_WIN32)

#include <windows.h>
#include <aclapi.h>

#include <atomic>
#include <memory>

namespace {

typedef std::unique_ptr<void, void (*)(void*)> Handle;

void CloseIt(void* h) { CloseHandle(h); }
Handle Own(HANDLE h) { return Handle(h == INVALID_HANDLE_VALUE ? nullptr : h, &CloseIt); }

std::wstring Wide(const std::string& utf8) {
    if (utf8.empty()) return std::wstring();
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(n), L'\0');
    if (n > 0) MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), &wide[0], n);
    return wide;
}

// Writes every byte at the handle's position.
bool WriteBytes(HANDLE file, const ByteArray& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const size_t left = bytes.size() - done;
        const DWORD chunk = left > 0x40000000u ? 0x40000000u : static_cast<DWORD>(left);
        DWORD wrote = 0;
        if (!WriteFile(file, bytes.data() + done, chunk, &wrote, nullptr) || wrote == 0) return false;
        done += wrote;
    }
    return true;
}

bool SameOwner(HANDLE a, HANDLE b) {
    PSID owners[2] = {nullptr, nullptr};
    PSECURITY_DESCRIPTOR descriptors[2] = {nullptr, nullptr};
    const HANDLE files[2] = {a, b};
    bool same = true;
    for (int i = 0; i < 2; ++i) {
        same = same && GetSecurityInfo(files[i], SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owners[i], nullptr,
                                       nullptr, nullptr, &descriptors[i]) == ERROR_SUCCESS;
    }
    same = same && EqualSid(owners[0], owners[1]);
    for (PSECURITY_DESCRIPTOR d : descriptors) LocalFree(d);
    return same;
}

// A new file with the content, beside `target`, then moved to its name:
// ReplaceFileW for an existing one, which keeps its access lists, creation
// time and streams. kNotKept when the folder refuses a new file or the move,
// or the new file would belong to someone else; `existing` (the target, open
// for writing) may be closed then.
Outcome Replace(const std::wstring& target, Handle& existing, DWORD attributes, const ByteArray& bytes) {
    static std::atomic<unsigned long> counter{0};
    std::wstring temporary;
    Handle file(nullptr, &CloseIt);
    for (int attempt = 0; attempt < 100 && !file; ++attempt) {
        unsigned long long seed = GetTickCount64() ^ (static_cast<unsigned long long>(GetCurrentProcessId()) << 20) ^
                                  (static_cast<unsigned long long>(++counter) * 0x9E3779B97F4A7C15ull);
        temporary = target + L".";
        for (int i = 0; i < 6; ++i) {
            temporary += L"abcdefghijklmnopqrstuvwxyz0123456789"[seed % 36];
            seed /= 36;
        }
        file = Own(CreateFileW(temporary.c_str(), GENERIC_WRITE | READ_CONTROL, 0, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file && GetLastError() != ERROR_FILE_EXISTS) {
            return existing && GetLastError() == ERROR_ACCESS_DENIED ? Outcome::kNotKept : Outcome::kFailed;
        }
    }
    if (!file) return Outcome::kFailed;
    if (existing && !SameOwner(existing.get(), file.get())) {
        file.reset();
        DeleteFileW(temporary.c_str());
        return Outcome::kNotKept;
    }
    bool ok = WriteBytes(file.get(), bytes) && FlushFileBuffers(file.get()) != 0;
    ok = CloseHandle(file.release()) != 0 && ok;
    if (!ok) {
        DeleteFileW(temporary.c_str());
        return Outcome::kFailed;
    }
    DWORD error = 0;
    if (existing) {
        const DWORD kept = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                           FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
        if (attributes & kept) SetFileAttributesW(temporary.c_str(), attributes & kept);
        existing.reset();  // the replacement takes the file to itself
        if (!ReplaceFileW(target.c_str(), temporary.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr,
                          nullptr)) {
            error = GetLastError();
        }
    } else if (!MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH)) {
        error = GetLastError();
    }
    if (error == 0) return Outcome::kWritten;
    DeleteFileW(temporary.c_str());
    return existing && error == ERROR_ACCESS_DENIED ? Outcome::kNotKept : Outcome::kFailed;
}

// The plain rewrite: room for the new bytes first, then the bytes from the
// start, then the end of file after them, so that a failure half-way never
// leaves an emptied file.
bool Rewrite(HANDLE file, const ByteArray& bytes) {
    LARGE_INTEGER size;
    if (!GetFileSizeEx(file, &size)) return false;
    if (static_cast<unsigned long long>(size.QuadPart) < bytes.size()) {
        FILE_ALLOCATION_INFO room;
        room.AllocationSize.QuadPart = static_cast<LONGLONG>(bytes.size());
        if (!SetFileInformationByHandle(file, FileAllocationInfo, &room, sizeof room)) {
            const DWORD error = GetLastError();
            if (error == ERROR_DISK_FULL || error == ERROR_HANDLE_DISK_FULL) return false;  // others: no reservation
        }
    }
    LARGE_INTEGER start;
    start.QuadPart = 0;
    return SetFilePointerEx(file, start, nullptr, FILE_BEGIN) && WriteBytes(file, bytes) && SetEndOfFile(file) &&
           FlushFileBuffers(file);
}

}  // namespace

long WriteSysexFile(const std::string& path, const ByteArray& bytes) {
    if (path.empty()) return -1;
    const std::wstring target = Wide(path);
    if (target.empty()) return -1;
    const long written = static_cast<long>(bytes.size());
    const DWORD attributes = GetFileAttributesW(target.c_str());
    Handle none(nullptr, &CloseIt);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        if (GetLastError() != ERROR_FILE_NOT_FOUND) return -1;
        return Replace(target, none, 0, bytes) == Outcome::kWritten ? written : -1;
    }
    // The read-only attribute refuses a write as a missing permission does.
    if (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) return -1;
    auto open = [&] {
        return Own(CreateFileW(target.c_str(), GENERIC_WRITE | READ_CONTROL,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
    };
    Handle file = open();
    BY_HANDLE_FILE_INFORMATION info;
    if (!file || GetFileType(file.get()) != FILE_TYPE_DISK || !GetFileInformationByHandle(file.get(), &info)) {
        return -1;
    }
    Outcome outcome = Outcome::kNotKept;
    if (info.nNumberOfLinks == 1) outcome = Replace(target, file, attributes, bytes);
    if (outcome == Outcome::kNotKept) {
        if (!file) file = open();
        outcome = file && Rewrite(file.get(), bytes) ? Outcome::kWritten : Outcome::kFailed;
    }
    return outcome == Outcome::kWritten ? written : -1;
}

bool ReadSysexFile(const std::string& path, ByteArray& out) {
    out.clear();
    if (path.empty()) return false;
    // A directory does not open without FILE_FLAG_BACKUP_SEMANTICS; devices,
    // pipes and consoles are no disk files.
    Handle file = Own(CreateFileW(Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file || GetFileType(file.get()) != FILE_TYPE_DISK) return false;
    LARGE_INTEGER size;
    if (GetFileSizeEx(file.get(), &size) && size.QuadPart > 0) out.reserve(static_cast<size_t>(size.QuadPart));
    unsigned char block[65536];
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file.get(), block, sizeof block, &got, nullptr) || got == 0) break;
        out.insert(out.end(), block, block + got);
    }
    return true;
}

#else  // POSIX: Linux and macOS

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

typedef std::unique_ptr<FILE, int (*)(FILE*)> FileHandle;

FileHandle Adopt(int fd, const char* mode) {
    FILE* f = fdopen(fd, mode);
    if (!f) close(fd);
    return FileHandle(f, &fclose);
}

// The file that a write replaces: `path` itself, or the file that a symbolic
// link at `path` leads to (replacing the link would cut it).
std::string WriteTarget(const std::string& path) {
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
    static std::atomic<unsigned long> counter{0};
    static const char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    const std::string prefixes[2] = {target + ".", DirectoryOf(target) + "/.velkora-"};
    for (const std::string& prefix : prefixes) {
        for (int attempt = 0; attempt < 100; ++attempt) {
            timespec now{};
            clock_gettime(CLOCK_REALTIME, &now);
            unsigned long long seed = static_cast<unsigned long long>(now.tv_nsec) ^
                                      (static_cast<unsigned long long>(getpid()) << 20) ^
                                      (static_cast<unsigned long long>(++counter) * 0x9E3779B97F4A7C15ull);
            name = prefix;
            for (int i = 0; i < 6; ++i) {
                name += kLetters[seed % 62];
                seed /= 62;
            }
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

// The content goes to a new file beside `target`, which then takes its name,
// so that readers see the old bytes or the new, never a mix. For an existing
// file (`old`) the new one first takes its owner, group and mode; kNotKept
// when it cannot, or when the folder refuses the new file or the rename
// (read-only, or sticky and someone else's file), with nothing changed.
Outcome Replace(const std::string& target, const struct stat* old, const ByteArray& bytes) {
    std::string temporary;
    // Until it has the old file's mode, the new file is the caller's alone.
    const int fd = CreateTemporary(target, temporary, old ? 0600 : 0666);
    if (fd < 0) {
        const bool refused = errno == EACCES || errno == EPERM || errno == EROFS;
        return old && refused ? Outcome::kNotKept : Outcome::kFailed;
    }
    bool ok = true;
    if (old) {
        struct stat now;
        ok = fstat(fd, &now) == 0;
        // Giving a file away takes root; a group the caller belongs to is enough.
        if (ok && (now.st_uid != old->st_uid || now.st_gid != old->st_gid)) {
            ok = fchown(fd, old->st_uid, old->st_gid) == 0;
        }
        // After the owner, whose change clears the set-ID bits; a set-group-ID
        // bit the caller may not set is dropped silently, hence the check.
        ok = ok && fchmod(fd, old->st_mode & 07777) == 0 && fstat(fd, &now) == 0 && now.st_uid == old->st_uid &&
             now.st_gid == old->st_gid && (now.st_mode & 07777) == (old->st_mode & 07777);
        if (!ok) {
            close(fd);
            unlink(temporary.c_str());
            return Outcome::kNotKept;
        }
    }
    ok = WriteBytes(fd, bytes) && fsync(fd) == 0;
    ok = close(fd) == 0 && ok;
    if (ok && rename(temporary.c_str(), target.c_str()) != 0) {
        const int error = errno;
        unlink(temporary.c_str());
        return old && (error == EPERM || error == EACCES) ? Outcome::kNotKept : Outcome::kFailed;
    }
    if (!ok) {
        unlink(temporary.c_str());
        return Outcome::kFailed;
    }
    // Make the new name itself durable; the data already is.
    SyncDirectoryOf(target);
    return Outcome::kWritten;
}

// The plain rewrite: the new bytes over the old from the start, then the file
// cut to their length. A failure half-way leaves the new bytes followed by
// the old tail, never an emptied file; where the system can, the room is
// reserved first, so that a full disk or quota changes nothing.
bool Rewrite(int fd, const struct stat& old, const ByteArray& bytes) {
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

long WriteSysexFile(const std::string& path, const ByteArray& bytes) {
    if (path.empty()) return -1;
    const std::string target = WriteTarget(path);
    const long written = static_cast<long>(bytes.size());

    struct stat old;
    if (stat(target.c_str(), &old) != 0) {
        return errno == ENOENT && Replace(target, nullptr, bytes) == Outcome::kWritten ? written : -1;
    }
    // Never put a regular file in the place of a directory, a device or a FIFO.
    if (!S_ISREG(old.st_mode)) return -1;
    // Permission to replace the file in its folder is not enough: the caller
    // must be allowed to write the file itself.
    const int fd = open(target.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return -1;
    Outcome outcome = Outcome::kNotKept;
    if (fstat(fd, &old) != 0 || !S_ISREG(old.st_mode)) {
        outcome = Outcome::kFailed;
    } else if (old.st_nlink == 1 && !HasExtendedAttributes(fd)) {
        // Other names of the file, or attributes of its own, would stay with
        // the old file: those files are rewritten in place.
        outcome = Replace(target, &old, bytes);
    }
    if (outcome == Outcome::kNotKept) outcome = Rewrite(fd, old, bytes) ? Outcome::kWritten : Outcome::kFailed;
    close(fd);
    return outcome == Outcome::kWritten ? written : -1;
}

bool ReadSysexFile(const std::string& path, ByteArray& out) {
    out.clear();
    // Non-blocking, so that opening a FIFO without a writer returns at once;
    // it has no effect on a regular file.
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        return false;
    }
    FileHandle file = Adopt(fd, "rb");
    if (!file) return false;
    if (st.st_size > 0) out.reserve(static_cast<size_t>(st.st_size));
    unsigned char block[65536];
    for (;;) {
        const size_t got = std::fread(block, 1, sizeof block, file.get());
        out.insert(out.end(), block, block + got);
        if (got < sizeof block) break;
    }
    return true;
}

#endif
