#include "BenchSupport.h"

#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <random>
#include <stdexcept>

#include "plugin/EntryPoint.h"
#include "plugin/Strings.h"
#include "values/ValueList.h"

// ---- the counting allocator -------------------------------------------------------
// Replacing the global operator new here replaces it for the whole process,
// the SDK's shared library included. Counting costs one relaxed load while off.

namespace {

std::atomic<bool> g_counting{false};
std::atomic<long> g_calls{0};
std::atomic<long> g_bytes{0};

void* Allocate(std::size_t n) {
    if (g_counting.load(std::memory_order_relaxed)) {
        g_calls.fetch_add(1, std::memory_order_relaxed);
        g_bytes.fetch_add(static_cast<long>(n), std::memory_order_relaxed);
    }
    return std::malloc(n == 0 ? 1 : n);
}

}  // namespace

void* operator new(std::size_t n) {
    if (void* p = Allocate(n)) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t n) {
    if (void* p = Allocate(n)) return p;
    throw std::bad_alloc();
}
void* operator new(std::size_t n, const std::nothrow_t&) noexcept { return Allocate(n); }
void* operator new[](std::size_t n, const std::nothrow_t&) noexcept { return Allocate(n); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }

void StartCountingAllocations() {
    g_calls.store(0);
    g_bytes.store(0);
    g_counting.store(true);
}

AllocationCount StopCountingAllocations() {
    g_counting.store(false);
    return AllocationCount{g_calls.load(), g_bytes.load()};
}

// ---- inputs ---------------------------------------------------------------------------

ByteArray RandomBytes(size_t n, unsigned seed) {
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> byte(0, 255);
    ByteArray bytes(n);
    for (unsigned char& b : bytes) b = static_cast<unsigned char>(byte(random));
    return bytes;
}

std::string CanonicalList(size_t bytes, Radix radix, unsigned seed) {
    // Longest element plus separator: 9 characters (binary), so this many
    // random bytes always write at least `bytes` characters.
    const ByteArray values = RandomBytes(bytes / 2 + 1, seed);
    std::string list = ByteArrayToString(values, ",", radix);
    if (list.size() > bytes) {
        list.resize(bytes);
        // Cut back to a whole element.
        const size_t comma = list.rfind(',');
        list.resize(comma == std::string::npos ? 0 : comma);
    }
    return list;
}

std::string DecimalListOf(size_t elements, unsigned seed) {
    return ByteArrayToString(RandomBytes(elements, seed), ",", Radix::kDecimal);
}

size_t ElementCount(const std::string& list) {
    size_t n = 1;
    for (char c : list) n += c == ',';
    return n;
}

// ---- host side ---------------------------------------------------------------------

const fmx::ExprEnv& Env() { return *fmx::FMH_ExprEnv_Get(); }

void InstallCallStruct() {
    static FMX_ExternCallStruct call{};
    call.instanceID = reinterpret_cast<FMX_PtrType>(&call);
    gFMX_ExternCallPtr = &call;
    gPluginInstance.store(call.instanceID);
}

// ---- files -------------------------------------------------------------------------

namespace {

std::string g_dir;

void RemoveBenchDir() {
    if (g_dir.empty()) return;
    // Only the files this program made: the benchmarks' fixed names.
    for (const char* name : {"read.syx", "write.syx", "baseline.syx", "durable.syx", "durable.syx.new"}) {
        std::remove((g_dir + "/" + name).c_str());
    }
    rmdir(g_dir.c_str());
}

}  // namespace

const std::string& BenchDir() {
    if (g_dir.empty()) {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/velkora-bench-XXXXXX";
        if (mkdtemp(&pattern[0]) == nullptr) throw std::runtime_error("cannot make a directory under " + pattern);
        g_dir = pattern;
        std::atexit(RemoveBenchDir);
    }
    return g_dir;
}

void WriteWholeFile(const std::string& path, const ByteArray& bytes) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) throw std::runtime_error("cannot write " + path);
    const size_t wrote = std::fwrite(bytes.data(), 1, bytes.size(), f);
    if (std::fclose(f) != 0 || wrote != bytes.size()) throw std::runtime_error("cannot write " + path);
}
