// The value-list codec and the checksum, each against the plain C library
// loop a developer would write first: split at commas and strtoul/strtol
// each element; snprintf each element when writing.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

#include "functions/Checksum.h"
#include "values/ValueList.h"
#include "BenchSupport.h"

namespace {

constexpr size_t kListBytes = 1 << 20;    // 1 MiB of list text
constexpr size_t kEncodeBytes = 1 << 18;  // 256 KiB of bytes

int BaseOf(Radix radix) { return radix == Radix::kHex ? 16 : radix == Radix::kBin ? 2 : 10; }

// Inputs are made once per radix and kept for the whole run.
const std::string& ListFor(Radix radix) {
    static std::map<Radix, std::string> lists;
    auto it = lists.find(radix);
    if (it == lists.end()) it = lists.emplace(radix, CanonicalList(kListBytes, radix)).first;
    return it->second;
}

const ByteArray& EncodeInput() {
    static const ByteArray bytes = RandomBytes(kEncodeBytes, 2);
    return bytes;
}

void ReportAllocations(benchmark::State& state, const AllocationCount& count) {
    state.counters["allocs"] = static_cast<double>(count.calls);
    state.counters["alloc_bytes"] = static_cast<double>(count.bytes);
}

// ---- decode --------------------------------------------------------------------

void Decode(benchmark::State& state, Radix radix) {
    const std::string& list = ListFor(radix);
    for (auto _ : state) {
        ByteArray bytes = ValuesToByteArray(list, ",", radix);
        benchmark::DoNotOptimize(bytes.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * list.size()));
    state.counters["elements"] = static_cast<double>(ElementCount(list));
    ReportAllocations(state, CountAllocations([&] {
                          ByteArray bytes = ValuesToByteArray(list, ",", radix);
                          benchmark::DoNotOptimize(bytes.data());
                      }));
}

ByteArray StrtoulLoop(const std::string& list, int base) {
    ByteArray bytes;
    const char* text = list.c_str();
    size_t begin = 0;
    for (;;) {
        const size_t comma = list.find(',', begin);
        // strtoul stops at the comma by itself: no copy of the element.
        bytes.push_back(static_cast<unsigned char>(std::strtoul(text + begin, nullptr, base) & 0xFF));
        if (comma == std::string::npos) break;
        begin = comma + 1;
    }
    return bytes;
}

void DecodeBaseline(benchmark::State& state, Radix radix) {
    const std::string& list = ListFor(radix);
    const int base = BaseOf(radix);
    // Same answer, or the comparison would mean nothing.
    if (StrtoulLoop(list, base) != ValuesToByteArray(list, ",", radix)) {
        state.SkipWithError("the strtoul loop and the codec disagree");
        return;
    }
    for (auto _ : state) {
        ByteArray bytes = StrtoulLoop(list, base);
        benchmark::DoNotOptimize(bytes.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * list.size()));
    state.counters["elements"] = static_cast<double>(ElementCount(list));
    ReportAllocations(state, CountAllocations([&] {
                          ByteArray bytes = StrtoulLoop(list, base);
                          benchmark::DoNotOptimize(bytes.data());
                      }));
}

void BM_decode(benchmark::State& state) { Decode(state, Radix::kDecimal); }
void BM_decode_baseline(benchmark::State& state) { DecodeBaseline(state, Radix::kDecimal); }
void BM_decode_hex(benchmark::State& state) { Decode(state, Radix::kHex); }
void BM_decode_hex_baseline(benchmark::State& state) { DecodeBaseline(state, Radix::kHex); }
void BM_decode_bin(benchmark::State& state) { Decode(state, Radix::kBin); }
void BM_decode_bin_baseline(benchmark::State& state) { DecodeBaseline(state, Radix::kBin); }

// Time per element at 10k, 100k and 1M elements: flat when reading is linear.
void BM_decode_linear(benchmark::State& state) {
    const size_t elements = static_cast<size_t>(state.range(0));
    const std::string list = DecimalListOf(elements, 3);
    for (auto _ : state) {
        ByteArray bytes = ValuesToByteArray(list, ",", Radix::kDecimal);
        benchmark::DoNotOptimize(bytes.data());
    }
    // Seconds per element, scaled to nanoseconds.
    state.counters["ns_per_element"] =
        benchmark::Counter(static_cast<double>(elements) * 1e-9,
                           benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    ReportAllocations(state, CountAllocations([&] {
                          ByteArray bytes = ValuesToByteArray(list, ",", Radix::kDecimal);
                          benchmark::DoNotOptimize(bytes.data());
                      }));
}

// ---- encode --------------------------------------------------------------------

void Encode(benchmark::State& state, Radix radix) {
    const ByteArray& bytes = EncodeInput();
    for (auto _ : state) {
        std::string text = ByteArrayToString(bytes, ",", radix);
        benchmark::DoNotOptimize(text.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
    ReportAllocations(state, CountAllocations([&] {
                          std::string text = ByteArrayToString(bytes, ",", radix);
                          benchmark::DoNotOptimize(text.data());
                      }));
}

std::string SnprintfLoop(const ByteArray& bytes, Radix radix) {
    std::string text;
    char element[16];
    for (size_t i = 0; i < bytes.size(); ++i) {
        const unsigned b = bytes[i];
        int n;
        if (radix == Radix::kHex) {
            n = std::snprintf(element, sizeof element, "%02X", b);
        } else if (radix == Radix::kBin) {
            n = std::snprintf(element, sizeof element, "%u%u%u%u%u%u%u%u", b >> 7, (b >> 6) & 1, (b >> 5) & 1,
                              (b >> 4) & 1, (b >> 3) & 1, (b >> 2) & 1, (b >> 1) & 1, b & 1);
        } else {
            n = std::snprintf(element, sizeof element, "%u", b);
        }
        text.append(element, static_cast<size_t>(n));
        if (i + 1 < bytes.size()) text += ',';
    }
    return text;
}

void EncodeBaseline(benchmark::State& state, Radix radix) {
    const ByteArray& bytes = EncodeInput();
    if (SnprintfLoop(bytes, radix) != ByteArrayToString(bytes, ",", radix)) {
        state.SkipWithError("the snprintf loop and the codec disagree");
        return;
    }
    for (auto _ : state) {
        std::string text = SnprintfLoop(bytes, radix);
        benchmark::DoNotOptimize(text.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
    ReportAllocations(state, CountAllocations([&] {
                          std::string text = SnprintfLoop(bytes, radix);
                          benchmark::DoNotOptimize(text.data());
                      }));
}

void BM_encode(benchmark::State& state) { Encode(state, Radix::kDecimal); }
void BM_encode_baseline(benchmark::State& state) { EncodeBaseline(state, Radix::kDecimal); }
void BM_encode_hex(benchmark::State& state) { Encode(state, Radix::kHex); }
void BM_encode_hex_baseline(benchmark::State& state) { EncodeBaseline(state, Radix::kHex); }
void BM_encode_bin(benchmark::State& state) { Encode(state, Radix::kBin); }
void BM_encode_bin_baseline(benchmark::State& state) { EncodeBaseline(state, Radix::kBin); }

// ---- checksum ------------------------------------------------------------------

unsigned StrtolLoop(const std::string& list) {
    unsigned sum = 0;
    const char* text = list.c_str();
    size_t begin = 0;
    for (;;) {
        const size_t comma = list.find(',', begin);
        sum += static_cast<unsigned>(static_cast<unsigned long>(std::strtol(text + begin, nullptr, 10)) & 0xFF);
        if (comma == std::string::npos) break;
        begin = comma + 1;
    }
    return sum & 0x7F;
}

void BM_checksum(benchmark::State& state) {
    const std::string& list = ListFor(Radix::kDecimal);
    for (auto _ : state) benchmark::DoNotOptimize(ChecksumOf(list));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * list.size()));
}

void BM_checksum_baseline(benchmark::State& state) {
    const std::string& list = ListFor(Radix::kDecimal);
    if (StrtolLoop(list) != ChecksumOf(list)) {
        state.SkipWithError("the strtol loop and ChecksumOf disagree");
        return;
    }
    for (auto _ : state) benchmark::DoNotOptimize(StrtolLoop(list));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * list.size()));
}

}  // namespace

BENCHMARK(BM_decode);
BENCHMARK(BM_decode_baseline);
BENCHMARK(BM_decode_hex);
BENCHMARK(BM_decode_hex_baseline);
BENCHMARK(BM_decode_bin);
BENCHMARK(BM_decode_bin_baseline);
BENCHMARK(BM_decode_linear)->Arg(10000)->Arg(100000)->Arg(1000000);
BENCHMARK(BM_encode);
BENCHMARK(BM_encode_baseline);
BENCHMARK(BM_encode_hex);
BENCHMARK(BM_encode_hex_baseline);
BENCHMARK(BM_encode_bin);
BENCHMARK(BM_encode_bin_baseline);
BENCHMARK(BM_checksum);
BENCHMARK(BM_checksum_baseline);
