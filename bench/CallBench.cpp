// External functions called the way the host calls them, through the SDK
// stand-in: the cost of one short call, and of moving 1 MiB SysEx files
// (written against a plain and against a durable baseline).
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "functions/Functions.h"
#include "functions/SysexFile.h"
#include "plugin/Version.h"
#include "values/Parameters.h"
#include "values/ValueList.h"
#include "BenchSupport.h"

namespace {

constexpr size_t kFileBytes = 1 << 20;

// ---- one short call ------------------------------------------------------------

void BM_call(benchmark::State& state) {
    Vect parms;
    Value result;
    parms.Text("255,10,0");
    Velkora_NumToHex(0, Env(), *parms.v, *result.d);
    if (result.Utf8() != "FF,0A,00") {
        state.SkipWithError(("Velkora_NumToHex gave " + result.Utf8()).c_str());
    } else {
        for (auto _ : state) benchmark::DoNotOptimize(Velkora_NumToHex(0, Env(), *parms.v, *result.d));
    }
}

void BM_call_baseline(benchmark::State& state) {
    InstallCallStruct();
    Vect parms;
    Value result;
    Velkora_Version(0, Env(), *parms.v, *result.d);
    if (result.Utf8() != VELKORA_VERSION) {
        state.SkipWithError(("Velkora_Version gave " + result.Utf8()).c_str());
    } else {
        for (auto _ : state) benchmark::DoNotOptimize(Velkora_Version(0, Env(), *parms.v, *result.d));
    }
}

// ---- SysEx files ---------------------------------------------------------------

const ByteArray& FileBytes() {
    static const ByteArray bytes = RandomBytes(kFileBytes, 4);
    return bytes;
}

ByteArray FreadAll(const std::string& path) {
    ByteArray bytes;
    FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr) return bytes;
    struct stat st;
    if (fstat(fileno(f), &st) == 0 && st.st_size > 0) {
        bytes.resize(static_cast<size_t>(st.st_size));
        bytes.resize(std::fread(bytes.data(), 1, bytes.size(), f));
    }
    std::fclose(f);
    return bytes;
}

void BM_sysex_read(benchmark::State& state) {
    const std::string path = BenchDir() + "/read.syx";
    WriteWholeFile(path, FileBytes());
    Vect parms;
    Value result;
    parms.Text(path);
    Velkora_SysexRead(0, Env(), *parms.v, *result.d);
    if (result.Utf8() != ByteArrayToString(FileBytes(), ",", Radix::kDecimal)) {
        state.SkipWithError("Velkora_SysexRead did not give the file's bytes");
    } else {
        for (auto _ : state) benchmark::DoNotOptimize(Velkora_SysexRead(0, Env(), *parms.v, *result.d));
        state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kFileBytes));
    }
}

void BM_sysex_read_baseline(benchmark::State& state) {
    const std::string path = BenchDir() + "/read.syx";
    WriteWholeFile(path, FileBytes());
    for (auto _ : state) {
        const ByteArray bytes = FreadAll(path);
        std::string text = ByteArrayToString(bytes, ",", Radix::kDecimal);
        benchmark::DoNotOptimize(text.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kFileBytes));
}

const std::string& WriteInput() {
    static const std::string text = ByteArrayToString(FileBytes(), ",", Radix::kDecimal);
    return text;
}

void BM_sysex_write(benchmark::State& state) {
    const std::string path = BenchDir() + "/write.syx";
    Vect parms;
    Value result;
    parms.Text(WriteInput());
    parms.Text(path);
    Velkora_SysexWrite(0, Env(), *parms.v, *result.d);
    if (FreadAll(path) != FileBytes()) {
        state.SkipWithError("Velkora_SysexWrite did not write the list's bytes");
    } else {
        for (auto _ : state) benchmark::DoNotOptimize(Velkora_SysexWrite(0, Env(), *parms.v, *result.d));
        state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kFileBytes));
    }
}

void BM_sysex_write_baseline(benchmark::State& state) {
    const std::string path = BenchDir() + "/baseline.syx";
    const std::string& text = WriteInput();
    for (auto _ : state) {
        std::string work = text;
        const ByteArray bytes = ValuesToByteArray(work, ",", Radix::kDecimal);
        FILE* f = std::fopen(path.c_str(), "wb");
        if (f != nullptr) {
            std::fwrite(bytes.data(), 1, bytes.size(), f);
            std::fclose(f);
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kFileBytes));
}

// The same bytes written durably the plain way: a temporary file, fsync,
// rename over the target, fsync of the folder; Velkora_SysexWrite does the
// same for a file of its caller's (BM_sysex_write_durable is BM_sysex_write).
void BM_sysex_write_durable_baseline(benchmark::State& state) {
    const std::string path = BenchDir() + "/durable.syx", temporary = path + ".new";
    const std::string& text = WriteInput();
    for (auto _ : state) {
        std::string work = text;
        const ByteArray bytes = ValuesToByteArray(work, ",", Radix::kDecimal);
        const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
        bool ok =
            fd >= 0 && write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size()) && fsync(fd) == 0;
        ok = fd >= 0 && close(fd) == 0 && ok && rename(temporary.c_str(), path.c_str()) == 0;
        const int dir = open(BenchDir().c_str(), O_RDONLY | O_CLOEXEC);
        ok = ok && dir >= 0 && fsync(dir) == 0;
        if (dir >= 0) close(dir);
        if (!ok) {
            state.SkipWithError("the durable baseline could not write its file");
            break;
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kFileBytes));
}

// ---- where the SysEx time goes (not paired with a target) -------------------

// What the host costs to take the 3.6 million characters that
// Velkora_SysexRead returns (already in UTF-16, as it hands them over).
void BM_sysex_read_host(benchmark::State& state) {
    const Utf16Text text = ByteArrayToUtf16(FileBytes(), u",", Radix::kDecimal);
    fmx::LocaleUniquePtr locale(fmx::Locale::kType_System);
    Value result;
    for (auto _ : state) benchmark::DoNotOptimize(SetResultText(*result.d, text, *locale));
}

// What reading the 3.6 MB DataToSave parameter costs (mostly the host's
// conversion of its text to bytes).
void BM_sysex_write_host(benchmark::State& state) {
    Vect parms;
    parms.Text(WriteInput());
    for (auto _ : state) {
        std::string text = ParameterAsString(*parms.v, 0);
        benchmark::DoNotOptimize(text.data());
    }
}

// The file alone: WriteSysexFile (temporary file, flush to disk, rename)
// against fopen/fwrite/fclose of the same 1 MiB.
void BM_sysex_write_file(benchmark::State& state) {
    const std::string path = BenchDir() + "/write.syx";
    for (auto _ : state) benchmark::DoNotOptimize(WriteSysexFile(path, FileBytes()));
}

void BM_sysex_write_file_baseline(benchmark::State& state) {
    const std::string path = BenchDir() + "/baseline.syx";
    for (auto _ : state) {
        FILE* f = std::fopen(path.c_str(), "wb");
        if (f != nullptr) {
            std::fwrite(FileBytes().data(), 1, FileBytes().size(), f);
            std::fclose(f);
        }
    }
}

}  // namespace

BENCHMARK(BM_call);
BENCHMARK(BM_call_baseline);
BENCHMARK(BM_sysex_read)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_sysex_read_baseline)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_sysex_write)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_sysex_write_baseline)->UseRealTime()->Unit(benchmark::kMillisecond);
// Both sides of this pair wait for the disk, whose fsync times come in bursts:
// two seconds per repetition (about 200 writes) instead of half a second keep
// a burst from deciding the ratio.
BENCHMARK(BM_sysex_write)->Name("BM_sysex_write_durable")->UseRealTime()->MinTime(2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_sysex_write_durable_baseline)->UseRealTime()->MinTime(2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_sysex_read_host)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_sysex_write_host)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_sysex_write_file)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_sysex_write_file_baseline)->UseRealTime()->Unit(benchmark::kMillisecond);
