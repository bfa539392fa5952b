// One whole update of a template copy per iteration: begin, store every item,
// commit. Each workload is measured against a plain memcpy of the same bytes
// in the same run, so the figures can be read as "so many copies' worth".
//
//   small  2,000 RCDATA items of 16 to 1,000 bytes under numbers
//   large  200 RCDATA items of 64 KiB to 400 KiB (each waits in a temporary file)
//   named  50 icon-sized items (1 to 10 KiB) under string names
#include "acWorkRes/acWorkRes.h"
#include "skin/template_module.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

struct Item {
    acWorkRes::ResourceId Name;
    std::vector<std::uint8_t> Data;
};

std::vector<std::uint8_t> Pattern(std::size_t size, std::size_t seed) {
    std::vector<std::uint8_t> data(size);
    for (std::size_t i = 0; i < size; ++i)
        data[i] = static_cast<std::uint8_t>(i * 13 + seed);
    return data;
}

std::vector<Item> SmallItems() {
    std::vector<Item> items;
    for (std::uint16_t i = 0; i < 2000; ++i)
        items.push_back({static_cast<std::uint16_t>(i + 1), Pattern(16 + (i * 37) % 985, i)});
    return items;
}

std::vector<Item> LargeItems() {
    std::vector<Item> items;
    for (std::uint16_t i = 0; i < 200; ++i) {
        const std::size_t size = 64 * 1024 + std::size_t{i} * (336 * 1024) / 199;
        items.push_back({static_cast<std::uint16_t>(i + 1), Pattern(size, i)});
    }
    return items;
}

std::vector<Item> NamedItems() {
    std::vector<Item> items;
    for (int i = 0; i < 50; ++i) {
        std::u16string name = u"ICON_";
        for (char c : std::to_string(i * 7919 % 1000))
            name += static_cast<char16_t>(c);
        items.push_back(
            {name, Pattern(1024 + (i * 193) % (9 * 1024), static_cast<std::size_t>(i))});
    }
    return items;
}

std::int64_t TotalBytes(const std::vector<Item>& items) {
    std::int64_t total = 0;
    for (const Item& item : items)
        total += static_cast<std::int64_t>(item.Data.size());
    return total;
}

fs::path ModulePath() {
    return fs::temp_directory_path() / "ksb-bench-commit.dll";
}

void WriteTemplate(const fs::path& path) {
    const auto bytes = skin::TemplateModule();
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

void Commit(benchmark::State& state, const std::vector<Item>& items) {
    const fs::path path = ModulePath();
    for (auto _ : state) {
        state.PauseTiming();
        WriteTemplate(path);
        state.ResumeTiming();
        acWorkRes::ResourceUpdateHandle* handle =
            acWorkRes::BeginResourceUpdate(path.u16string(), false);
        if (!handle) {
            state.SkipWithError("BeginResourceUpdate failed");
            break;
        }
        for (const Item& item : items) {
            if (!acWorkRes::UpdateResourceItem(handle, acWorkRes::kRtRcData, item.Name, 1049,
                                               item.Data.data(),
                                               static_cast<std::uint32_t>(item.Data.size()))) {
                state.SkipWithError("UpdateResourceItem failed");
                break;
            }
        }
        if (!acWorkRes::EndResourceUpdate(handle, false)) {
            state.SkipWithError("EndResourceUpdate failed");
            break;
        }
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(items.size()));
    state.SetBytesProcessed(state.iterations() * TotalBytes(items));
    std::error_code ec;
    fs::remove(path, ec);
}

// The same bytes copied once with memcpy into one buffer.
void Memcpy(benchmark::State& state, const std::vector<Item>& items) {
    std::vector<std::uint8_t> target(static_cast<std::size_t>(TotalBytes(items)));
    for (auto _ : state) {
        std::uint8_t* at = target.data();
        for (const Item& item : items) {
            std::memcpy(at, item.Data.data(), item.Data.size());
            at += item.Data.size();
        }
        benchmark::DoNotOptimize(target.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(items.size()));
    state.SetBytesProcessed(state.iterations() * TotalBytes(items));
}

void BM_CommitSmall(benchmark::State& state) {
    static const auto items = SmallItems();
    Commit(state, items);
}
void BM_MemcpySmall(benchmark::State& state) {
    static const auto items = SmallItems();
    Memcpy(state, items);
}
void BM_CommitLarge(benchmark::State& state) {
    static const auto items = LargeItems();
    Commit(state, items);
}
void BM_MemcpyLarge(benchmark::State& state) {
    static const auto items = LargeItems();
    Memcpy(state, items);
}
void BM_CommitNamed(benchmark::State& state) {
    static const auto items = NamedItems();
    Commit(state, items);
}
void BM_MemcpyNamed(benchmark::State& state) {
    static const auto items = NamedItems();
    Memcpy(state, items);
}

BENCHMARK(BM_CommitSmall)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MemcpySmall)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CommitLarge)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MemcpyLarge)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CommitNamed)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MemcpyNamed)->Unit(benchmark::kMicrosecond);

} // namespace
