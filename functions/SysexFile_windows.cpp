// SysEx files on Windows: the file calls behind SysexFile.h. Paths are UTF-8
// and not empty; the file system gets them as UTF-16.
#include "functions/SysexFilePlatform.h"

#include <windows.h>
#include <aclapi.h>

#include <memory>

namespace velkora {

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

// A temporary file beside a target, under a name nobody else uses: closed,
// and removed unless it has taken the target's name, on every path a write
// takes.
class Temporary {
  public:
    Temporary() = default;
    ~Temporary() {
        file_.reset();
        if (!name_.empty()) DeleteFileW(name_.c_str());
    }
    Temporary(const Temporary&) = delete;
    Temporary& operator=(const Temporary&) = delete;

    // 0, or the error that refused the new file.
    DWORD Create(const std::wstring& target) {
        // Case-insensitive names: lower-case letters and digits only.
        static const char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
        for (int attempt = 0; attempt < 100; ++attempt) {
            std::wstring name = target + L".";
            for (char c : TemporarySuffix(GetTickCount64(), GetCurrentProcessId(), kLetters, 36)) {
                name += static_cast<wchar_t>(c);
            }
            file_ = Own(CreateFileW(name.c_str(), GENERIC_WRITE | READ_CONTROL, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
            if (file_) {
                name_ = name;
                return 0;
            }
            if (GetLastError() != ERROR_FILE_EXISTS) return GetLastError();
        }
        return ERROR_FILE_EXISTS;
    }
    HANDLE get() const { return file_.get(); }
    const std::wstring& name() const { return name_; }
    bool Close() { return CloseHandle(file_.release()) != 0; }
    void NameTaken() { name_.clear(); }

  private:
    Handle file_{nullptr, &CloseIt};
    std::wstring name_;
};

// A new file with the content, beside `target`, then moved to its name:
// ReplaceFileW for an existing one, which keeps its access lists, creation
// time and streams. kNotKept when the folder refuses a new file or the move,
// or the new file would belong to someone else; `existing` (the target, open
// for writing) may be closed then.
Outcome ReplaceThroughTemporary(const std::wstring& target, Handle& existing, DWORD attributes,
                                const ByteArray& bytes) {
    Temporary temporary;
    if (const DWORD error = temporary.Create(target)) {
        return existing && error == ERROR_ACCESS_DENIED ? Outcome::kNotKept : Outcome::kFailed;
    }
    if (existing && !SameOwner(existing.get(), temporary.get())) return Outcome::kNotKept;
    bool ok = WriteBytes(temporary.get(), bytes) && FlushFileBuffers(temporary.get()) != 0;
    ok = temporary.Close() && ok;
    if (!ok) return Outcome::kFailed;
    DWORD error = 0;
    if (existing) {
        const DWORD kept =
            FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
        if (attributes & kept) SetFileAttributesW(temporary.name().c_str(), attributes & kept);
        existing.reset();  // the replacement takes the file to itself
        if (!ReplaceFileW(target.c_str(), temporary.name().c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr,
                          nullptr)) {
            error = GetLastError();
        }
    } else if (!MoveFileExW(temporary.name().c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH)) {
        error = GetLastError();
    }
    if (error == 0) {
        temporary.NameTaken();
        return Outcome::kWritten;
    }
    return existing && error == ERROR_ACCESS_DENIED ? Outcome::kNotKept : Outcome::kFailed;
}

// The plain rewrite: room for the new bytes first, then the bytes from the
// start, then the end of file after them, so that a failure half-way never
// leaves an emptied file.
bool RewriteInPlace(HANDLE file, const ByteArray& bytes) {
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

Handle OpenForWriting(const std::wstring& target) {
    return Own(CreateFileW(target.c_str(), GENERIC_WRITE | READ_CONTROL,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr));
}

}  // namespace

struct WriteTarget::State {
    std::wstring target;
    DWORD attributes = 0;  // of the path itself: a symbolic link is a reparse point
    BY_HANDLE_FILE_INFORMATION info{};
    Handle file{nullptr, &CloseIt};  // the existing file (a link's target), open for writing
    Found found = Found::kRefused;
};

WriteTarget::WriteTarget(const std::string& path) : state_(new State) {
    State& s = *state_;
    s.target = Wide(path);
    if (s.target.empty()) return;
    s.attributes = GetFileAttributesW(s.target.c_str());
    if (s.attributes == INVALID_FILE_ATTRIBUTES) {
        if (GetLastError() == ERROR_FILE_NOT_FOUND) s.found = Found::kNothing;
        return;
    }
    // The read-only attribute refuses a write as a missing permission does.
    if (s.attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) return;
    s.file = OpenForWriting(s.target);
    if (s.file && GetFileType(s.file.get()) == FILE_TYPE_DISK && GetFileInformationByHandle(s.file.get(), &s.info)) {
        s.found = Found::kFile;
    }
}

WriteTarget::~WriteTarget() = default;

WriteTarget::Found WriteTarget::found() const { return state_->found; }

// A symbolic link (or junction) is a reparse point of its own: replacing the
// path would replace the link, so its target is rewritten through it.
bool WriteTarget::Replaceable() const {
    return state_->info.nNumberOfLinks == 1 && (state_->attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0;
}

Outcome WriteTarget::Replace(const ByteArray& bytes) {
    return ReplaceThroughTemporary(state_->target, state_->file, state_->attributes, bytes);
}

bool WriteTarget::Rewrite(const ByteArray& bytes) {
    if (!state_->file) state_->file = OpenForWriting(state_->target);  // a refused replacement closed it
    return state_->file && RewriteInPlace(state_->file.get(), bytes);
}

bool PlatformRead(const std::string& path, ByteArray& out) {
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

}  // namespace velkora
