// The section layout on its own: the size pass and the writing pass over a
// tree of many small resources held in memory, against a plain memcpy of the
// same data bytes in the same run. State range: icons in the tree (each with
// two images and a group), as many raw-data items.
#include "acWorkRes/acWorkRes.h"
#include "acWorkRes/resource_tree.h"
#include "acWorkRes/section_layout.h"
#include "skin/template_module.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

std::vector<std::uint8_t> Pattern(std::size_t size, std::size_t seed) {
    std::vector<std::uint8_t> data(size);
    for (std::size_t i = 0; i < size; ++i)
        data[i] = static_cast<std::uint8_t>(i * 7 + seed);
    return data;
}

// A template copy with the items stored, its update left open.
struct OpenTree {
    fs::path Path;
    acWorkRes::ResourceUpdateHandle* Handle = nullptr;
    std::vector<std::vector<std::uint8_t>> Data; // what was stored, for the memcpy

    explicit OpenTree(int icons) {
        Path = fs::temp_directory_path() / ("ksb-bench-layout-" + std::to_string(icons) + ".dll");
        const auto bytes = skin::TemplateModule();
        std::ofstream(Path, std::ios::binary | std::ios::trunc)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
        Handle = acWorkRes::BeginResourceUpdate(Path.u16string(), false);
        for (int k = 0; Handle && k < icons; ++k) {
            const auto id = static_cast<std::uint16_t>(50 + 2 * k);
            Store(acWorkRes::kRtIcon, id, Pattern(1128 + (k % 3) * 3000, k));
            Store(acWorkRes::kRtIcon, static_cast<std::uint16_t>(id + 1), Pattern(4264, k));
            std::u16string name = u"GROUP_";
            for (char c : std::to_string(k * 7919 % 100003))
                name += static_cast<char16_t>(c);
            Store(acWorkRes::kRtGroupIcon, name, Pattern(34, k));
            Store(acWorkRes::kRtRcData, static_cast<std::uint16_t>(1 + k),
                  Pattern(16 + (k * 37) % 4000, k));
        }
    }
    ~OpenTree() {
        acWorkRes::EndResourceUpdate(Handle, true);
        std::error_code ec;
        fs::remove(Path, ec);
    }
    void Store(const acWorkRes::ResourceId& type, const acWorkRes::ResourceId& name,
               std::vector<std::uint8_t> data) {
        acWorkRes::UpdateResourceItem(Handle, type, name, 1049, data.data(),
                                      static_cast<std::uint32_t>(data.size()));
        Data.push_back(std::move(data));
    }
    std::int64_t Bytes() const {
        std::int64_t total = 0;
        for (const auto& d : Data)
            total += static_cast<std::int64_t>(d.size());
        return total;
    }
};

void BM_SectionLayout(benchmark::State& state) {
    OpenTree tree(static_cast<int>(state.range(0)));
    if (!tree.Handle) {
        state.SkipWithError("BeginResourceUpdate failed");
        return;
    }
    acWorkRes::SectionSizes sizes;
    acWorkRes::ComputeSectionSizes(*tree.Handle->Root, sizes);
    std::vector<std::uint8_t> image(*sizes.NewSize(), 1); // touched once, outside the timing
    for (auto _ : state) {
        acWorkRes::SectionSizes s;
        if (!acWorkRes::ComputeSectionSizes(*tree.Handle->Root, s) ||
            !acWorkRes::BuildSectionImage(0x1000, *tree.Handle->Root, s, image)) {
            state.SkipWithError("layout failed");
            break;
        }
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(tree.Data.size()));
    state.SetBytesProcessed(state.iterations() * tree.Bytes());
    state.counters["section_MiB"] = static_cast<double>(image.size()) / (1 << 20);
}

void BM_MemcpySameData(benchmark::State& state) {
    OpenTree tree(static_cast<int>(state.range(0)));
    std::vector<std::uint8_t> target(static_cast<std::size_t>(tree.Bytes()), 1);
    for (auto _ : state) {
        std::uint8_t* at = target.data();
        for (const auto& d : tree.Data) {
            std::memcpy(at, d.data(), d.size());
            at += d.size();
        }
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(tree.Data.size()));
    state.SetBytesProcessed(state.iterations() * tree.Bytes());
}

BENCHMARK(BM_SectionLayout)->Arg(300)->Arg(3000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MemcpySameData)->Arg(300)->Arg(3000)->Unit(benchmark::kMillisecond);

} // namespace
