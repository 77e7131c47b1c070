// Child processes and directories on Windows (the suite runs under Wine).
#include "TestSupport.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <algorithm>
#include <mutex>
#include <stdexcept>
#include <thread>

namespace {

std::wstring Wide(const std::string& utf8) {
    if (utf8.empty()) return std::wstring();
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), &wide[0], n);
    return wide;
}

std::string Utf8(const std::wstring& wide) {
    if (wide.empty()) return std::string();
    const int n =
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), &out[0], n, nullptr, nullptr);
    return out;
}

// One argument as the C runtime's command-line parser reads it back.
std::wstring QuoteArgument(const std::wstring& arg) {
    if (!arg.empty() && arg.find_first_of(L" \t\n\v\"") == std::wstring::npos) return arg;
    std::wstring q = L"\"";
    size_t backslashes = 0;
    for (wchar_t c : arg) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        q.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        q += c;
    }
    q.append(backslashes * 2, L'\\');
    return q + L"\"";
}

// The current environment with `extra` ("NAME=value") added or replacing.
std::wstring EnvironmentBlock(const std::vector<std::string>& extra) {
    std::vector<std::wstring> entries;
    if (wchar_t* env = GetEnvironmentStringsW()) {
        for (const wchar_t* p = env; *p; p += wcslen(p) + 1) entries.emplace_back(p);
        FreeEnvironmentStringsW(env);
    }
    for (const std::string& kv : extra) {
        const std::wstring w = Wide(kv);
        const std::wstring name = w.substr(0, w.find(L'=') + 1);
        for (auto it = entries.begin(); it != entries.end();) {
            it = _wcsnicmp(it->c_str(), name.c_str(), name.size()) == 0 ? entries.erase(it) : it + 1;
        }
        entries.push_back(w);
    }
    std::wstring block;
    for (const std::wstring& e : entries) block += e + L'\0';
    return block + L'\0';
}

// Reads what is waiting in `pipe` without blocking; false once it is closed.
bool ReadAvailable(HANDLE pipe, std::string* into) {
    DWORD waiting = 0;
    if (!PeekNamedPipe(pipe, nullptr, 0, nullptr, &waiting, nullptr)) return false;
    char buf[65536];
    while (waiting > 0) {
        DWORD got = 0;
        if (!ReadFile(pipe, buf, std::min<DWORD>(waiting, sizeof buf), &got, nullptr) || got == 0) return false;
        into->append(buf, got);
        waiting -= got;
    }
    return true;
}

void RemoveTree(const std::wstring& dir) {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((dir + L"\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = found.cFileName;
            if (name == L"." || name == L"..") continue;
            const std::wstring path = dir + L"\\" + name;
            SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(path);
            } else {
                DeleteFileW(path.c_str());
            }
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    RemoveDirectoryW(dir.c_str());
}

// Child handles are made inheritable only while one child is created: two
// threads creating children at once would hand each other's pipes over.
std::mutex creating;

}  // namespace

ProcessResult RunProcess(const std::vector<std::string>& argv, const std::string& input, int timeout_seconds,
                         const std::vector<std::string>& extra_env) {
    std::wstring command;
    for (const std::string& a : argv) command += (command.empty() ? L"" : L" ") + QuoteArgument(Wide(a));
    std::wstring environment = EnvironmentBlock(extra_env);
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE in_read, in_write, out_read, out_write, err_read, err_write;
    PROCESS_INFORMATION child{};
    BOOL started;
    {
        std::lock_guard<std::mutex> hold(creating);
        if (!CreatePipe(&in_read, &in_write, &inherit, 0) || !CreatePipe(&out_read, &out_write, &inherit, 0) ||
            !CreatePipe(&err_read, &err_write, &inherit, 0)) {
            throw std::runtime_error("CreatePipe");
        }
        for (HANDLE ours : {in_write, out_read, err_read}) SetHandleInformation(ours, HANDLE_FLAG_INHERIT, 0);
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = in_read;
        startup.hStdOutput = out_write;
        startup.hStdError = err_write;
        started = CreateProcessW(nullptr, &command[0], nullptr, nullptr, TRUE, CREATE_UNICODE_ENVIRONMENT,
                                 &environment[0], nullptr, &startup, &child);
        for (HANDLE theirs : {in_read, out_write, err_write}) CloseHandle(theirs);
    }
    ProcessResult r;
    if (!started) {
        for (HANDLE ours : {in_write, out_read, err_read}) CloseHandle(ours);
        r.status = 127;
        return r;
    }
    // The feeder owns its copy of the input and its pipe end: if a process
    // the child started keeps the pipe without reading, it is left behind.
    std::thread([in_write, data = input] {
        DWORD wrote = 0;
        for (size_t done = 0; done < data.size(); done += wrote) {
            const DWORD chunk = static_cast<DWORD>(std::min<size_t>(data.size() - done, 65536));
            if (!WriteFile(in_write, data.data() + done, chunk, &wrote, nullptr) || wrote == 0) break;
        }
        CloseHandle(in_write);
    }).detach();
    // Output is read until the child has exited and its pipes are empty, not
    // until they close: a process it started (one of Wine's services, say)
    // may hold them open for longer.
    const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(timeout_seconds) * 1000;
    bool out_open = true, err_open = true;
    for (;;) {
        const bool exited = WaitForSingleObject(child.hProcess, 10) == WAIT_OBJECT_0;
        if (out_open) out_open = ReadAvailable(out_read, &r.out);
        if (err_open) err_open = ReadAvailable(err_read, &r.err);
        if (exited || (!out_open && !err_open)) break;
        if (GetTickCount64() > deadline) {
            TerminateProcess(child.hProcess, 128 + 9);  // as a POSIX SIGKILL reads
            WaitForSingleObject(child.hProcess, INFINITE);
        }
    }
    WaitForSingleObject(child.hProcess, INFINITE);
    if (out_open) ReadAvailable(out_read, &r.out);
    if (err_open) ReadAvailable(err_read, &r.err);
    DWORD code = 0;
    GetExitCodeProcess(child.hProcess, &code);
    r.status = static_cast<int>(code);
    CloseHandle(child.hThread);
    CloseHandle(child.hProcess);
    CloseHandle(out_read);
    CloseHandle(err_read);
    return r;
}

TempDir::TempDir() {
    wchar_t base[MAX_PATH + 1];
    const DWORD n = GetTempPathW(MAX_PATH + 1, base);
    if (n == 0) throw std::runtime_error("GetTempPathW");
    static unsigned counter = 0;
    for (int attempt = 0; attempt < 1000; ++attempt) {
        const std::wstring dir = std::wstring(base, n) + L"velkora-test-" + std::to_wstring(GetCurrentProcessId()) +
                                 L"-" + std::to_wstring(++counter);
        if (CreateDirectoryW(dir.c_str(), nullptr)) {
            path_ = Utf8(dir);
            return;
        }
    }
    throw std::runtime_error("CreateDirectoryW");
}

TempDir::~TempDir() { RemoveTree(Wide(path_)); }

std::vector<std::string> DirectoryEntries(const std::string& dir) {
    std::vector<std::string> names;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((Wide(dir) + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        const std::wstring name = found.cFileName;
        if (name != L"." && name != L"..") names.push_back(Utf8(name));
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return names;
}
