// The image checksum over 256 MiB against a plain read of the same bytes in
// the same run, and against the former loop that took one 16-bit word at a
// time. The checksum should cost about what reading the bytes costs.
#include "acWorkRes/section_writer.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <vector>

namespace {

constexpr std::size_t kBytes = std::size_t{256} << 20;

const std::vector<std::uint8_t>& Buffer() {
    static const std::vector<std::uint8_t> bytes = [] {
        std::vector<std::uint8_t> b(kBytes);
        std::uint32_t x = 12345;
        for (auto& v : b) {
            x = x * 1103515245u + 12345u;
            v = static_cast<std::uint8_t>(x >> 24);
        }
        return b;
    }();
    return bytes;
}

void BM_ImageChecksum(benchmark::State& state) {
    const auto& bytes = Buffer();
    for (auto _ : state)
        benchmark::DoNotOptimize(acWorkRes::ImageChecksum(bytes));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kBytes));
}

// Every byte read once, eight at a time, and combined so that the reads
// cannot be left out: the floor any pass over the bytes has to pay.
void BM_PlainRead(benchmark::State& state) {
    const auto& bytes = Buffer();
    for (auto _ : state) {
        std::uint64_t x = 0;
        for (std::size_t i = 0; i + 8 <= bytes.size(); i += 8) {
            std::uint64_t word;
            std::memcpy(&word, bytes.data() + i, sizeof word);
            x ^= word;
        }
        benchmark::DoNotOptimize(x);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kBytes));
}

// The loop the checksum had before: one little-endian word per step.
void BM_ChecksumWordAtATime(benchmark::State& state) {
    const auto& bytes = Buffer();
    for (auto _ : state) {
        std::uint64_t sum = 0;
        const std::size_t pairs = bytes.size() / 2;
        for (std::size_t i = 0; i < pairs; ++i)
            sum += static_cast<std::uint32_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
        while (sum > 0xFFFF)
            sum = (sum & 0xFFFF) + (sum >> 16);
        benchmark::DoNotOptimize(sum);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kBytes));
}

BENCHMARK(BM_PlainRead)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ImageChecksum)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ChecksumWordAtATime)->Unit(benchmark::kMillisecond);

} // namespace
