// The only platform code of the SysEx functions. Both branches keep the same
// promises: a write goes to a temporary file in the target's directory and
// replaces the target only when every byte is on disk; a read takes regular
// files only and reads them in blocks. Paths arrive as UTF-8.
#include "SysexFile.h"

#if defined(_WIN32)

#include <windows.h>

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

bool WriteAll(HANDLE file, const ByteArray& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const size_t left = bytes.size() - done;
        const DWORD chunk = left > 0x40000000u ? 0x40000000u : static_cast<DWORD>(left);
        DWORD wrote = 0;
        if (!WriteFile(file, bytes.data() + done, chunk, &wrote, nullptr) || wrote == 0) return false;
        done += wrote;
    }
    return FlushFileBuffers(file) != 0;
}

}  // namespace

long WriteSysexFile(const std::string& path, const ByteArray& bytes) {
    if (path.empty()) return -1;
    const std::wstring target = Wide(path);
    if (target.empty()) return -1;
    const DWORD attributes = GetFileAttributesW(target.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) return -1;

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
        file = Own(CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file && GetLastError() != ERROR_FILE_EXISTS) return -1;
    }
    if (!file) return -1;
    bool ok = WriteAll(file.get(), bytes);
    ok = CloseHandle(file.release()) != 0 && ok;
    // The replaced file's security settings stay with the name in the
    // directory's inheritance; its read-only attribute makes the move fail.
    if (ok) ok = MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
    if (!ok) {
        DeleteFileW(temporary.c_str());
        return -1;
    }
    return static_cast<long>(bytes.size());
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
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
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

// Opens a new file beside `target` with a name nobody else uses, with the
// mode bits open() gives a new file (0666 less the umask), as fopen would.
// Tries "<target>.XXXXXX" first and a short name in the same directory when
// that name would be too long.
int CreateTemporary(const std::string& target, std::string& name) {
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
            const int fd = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            if (fd >= 0) return fd;
            if (errno == ENAMETOOLONG) break;
            if (errno != EEXIST) return -1;
        }
    }
    return -1;
}

// Writes, flushes and closes; true only when every step succeeded.
bool WriteAll(int fd, const ByteArray& bytes) {
    FileHandle file = Adopt(fd, "wb");
    if (!file) return false;
    if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), file.get()) != bytes.size()) return false;
    if (std::fflush(file.get()) != 0) return false;
    if (fsync(fileno(file.get())) != 0) return false;
    return std::fclose(file.release()) == 0;
}

}  // namespace

long WriteSysexFile(const std::string& path, const ByteArray& bytes) {
    if (path.empty()) return -1;
    const std::string target = WriteTarget(path);

    struct stat old;
    const bool replacing = stat(target.c_str(), &old) == 0;
    // Never put a regular file in the place of a directory, a device or a FIFO.
    if (replacing && !S_ISREG(old.st_mode)) return -1;

    std::string temporary;
    const int fd = CreateTemporary(target, temporary);
    if (fd < 0) return -1;
    bool ok = !replacing || fchmod(fd, old.st_mode & 07777) == 0;
    if (ok) {
        ok = WriteAll(fd, bytes);
    } else {
        close(fd);
    }
    if (ok) ok = rename(temporary.c_str(), target.c_str()) == 0;
    if (!ok) {
        unlink(temporary.c_str());
        return -1;
    }
    // Make the new name itself durable; the data already is.
    const int dir = open(DirectoryOf(target).c_str(), O_RDONLY | O_CLOEXEC);
    if (dir >= 0) {
        fsync(dir);
        close(dir);
    }
    return static_cast<long>(bytes.size());
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
