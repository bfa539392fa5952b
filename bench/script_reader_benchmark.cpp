// The script reader on a 10 MB script: decoding, lines, tokens and the state
// machine, line by line as the build reads it, in the three encodings a
// script comes in.
// Then the #define look-up, which searches the script's records in order:
// its cost per look-up grows with the number of #define lines before it.
#include "bench/bench_script.h"
#include "skin/script/script_reader.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace {

void BM_ReadScript(benchmark::State& state) {
    const std::vector<std::uint8_t> bytes = bench::Encoded(static_cast<int>(state.range(0)));
    std::size_t requests = 0;
    for (auto _ : state) {
        // As the build reads a script: all lines first, then one at a time.
        const std::vector<std::u16string> lines = skin::LoadScriptLines(bytes);
        skin::ScriptLineState lineState = skin::ScriptLineState::None;
        requests = 0;
        for (const std::u16string& line : lines) {
            const skin::LineRequest request = skin::ReadScriptLine(line, lineState);
            requests += request.kind != skin::RequestKind::Nothing;
            benchmark::DoNotOptimize(request.value.data());
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
    state.counters["requests"] = static_cast<double>(requests);
    state.SetLabel(bench::EncodingName(state.range(0)));
}

skin::Defines MakeDefines(std::int64_t count) {
    skin::Defines defines;
    for (std::int64_t k = 0; k < count; ++k) {
        std::u16string name = u"IDI_SKIN_";
        for (const char c : std::to_string(k))
            name += static_cast<char16_t>(c);
        defines.push_back({name, static_cast<std::int32_t>(100 + k)});
    }
    return defines;
}

// One look-up of a name that no record has (a string name), the longest
// search, with state.range(0) records before it: over the list.
void BM_ResolveStringName(benchmark::State& state) {
    const skin::Defines defines = MakeDefines(state.range(0));
    for (auto _ : state)
        benchmark::DoNotOptimize(skin::ResolveResourceId(u"StatusIdr_0123", defines));
    state.SetItemsProcessed(state.iterations());
}

// The same through the table the build uses.
void BM_DefineTableStringName(benchmark::State& state) {
    skin::DefineTable table;
    for (skin::TDefineRecord& record : MakeDefines(state.range(0)))
        table.Add(std::move(record));
    const std::u16string key = u"StatusIdr_0123";
    for (auto _ : state)
        benchmark::DoNotOptimize(table.Resolve(key));
    state.SetItemsProcessed(state.iterations());
}

BENCHMARK(BM_ReadScript)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ResolveStringName)->Arg(150)->Arg(1500)->Arg(15000);
BENCHMARK(BM_DefineTableStringName)->Arg(150)->Arg(1500)->Arg(15000);

} // namespace
