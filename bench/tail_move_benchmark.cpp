// The tail move of a commit: ResizeFileRegion grows a 64 MiB file by 64 KiB
// at 1 MiB from its start and shrinks it back, so each iteration moves the
// 63 MiB behind that point twice inside the remapped file. Against it, the
// same two overlapping moves in memory.
#include "acWorkRes/section_writer.h"
#include "platform/platform.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr std::uint64_t kFileSize = std::uint64_t{64} << 20;
constexpr std::uint64_t kOffset = std::uint64_t{1} << 20;
constexpr std::int64_t kDelta = 64 * 1024;
constexpr std::uint64_t kTail = kFileSize - kOffset;

void BM_TailMoveInFile(benchmark::State& state) {
    const fs::path path = fs::temp_directory_path() / "ksb-bench-tail.bin";
    {
        std::vector<char> bytes(kFileSize, 'x');
        std::ofstream(path, std::ios::binary | std::ios::trunc)
            .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    platform::File file =
        platform::OpenExisting(path.u16string(), platform::OpenMode::ExclusiveReadWrite);
    platform::Mapping view = platform::MapWholeFile(file, true);
    if (!view) {
        state.SkipWithError("cannot map the file");
        return;
    }
    for (auto _ : state) {
        if (!acWorkRes::ResizeFileRegion(file, kOffset, kDelta, view) ||
            !acWorkRes::ResizeFileRegion(file, kOffset + kDelta, -kDelta, view)) {
            state.SkipWithError("ResizeFileRegion failed");
            break;
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * 2 * kTail));
    view.Unmap();
    file.Close();
    std::error_code ec;
    fs::remove(path, ec);
}

void BM_TailMoveInMemory(benchmark::State& state) {
    std::vector<std::uint8_t> bytes(kFileSize + kDelta, 'x');
    for (auto _ : state) {
        std::memmove(bytes.data() + kOffset + kDelta, bytes.data() + kOffset, kTail);
        std::memmove(bytes.data() + kOffset, bytes.data() + kOffset + kDelta, kTail);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * 2 * kTail));
}

BENCHMARK(BM_TailMoveInFile)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TailMoveInMemory)->Unit(benchmark::kMillisecond);

} // namespace
