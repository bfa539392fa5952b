// The checker's pass over a 10 MB script against the build's reading of it:
// the same decoding, lines and state machine, plus the reader's notices, the
// #define table, the whole-script rules and the folding of the findings into
// one per cause. Files are not looked at in either; the build reads them as
// much as the checker does.
#include "bench/bench_script.h"
#include "skin/check/script_check.h"
#include "skin/resource_key.h"
#include "skin/script/script_reader.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <utility>
#include <vector>

namespace {

// What the build does with a script's text: every line read under the state,
// each #define added to the table, each key resolved through it.
void BM_BuildReading(benchmark::State& state) {
    const std::vector<std::uint8_t> bytes =
        bench::Encoded(static_cast<int>(state.range(0)), state.range(1) != 0);
    for (auto _ : state) {
        const std::vector<std::u16string> lines = skin::LoadScriptLines(bytes);
        skin::ScriptLineState lineState = skin::ScriptLineState::None;
        skin::DefineTable defines;
        std::size_t named = 0;
        for (const std::u16string& line : lines) {
            skin::LineRequest request = skin::ReadScriptLine(line, lineState);
            if (request.kind == skin::RequestKind::Define)
                defines.Add(std::move(request.define));
            else if (request.kind == skin::RequestKind::RcData ||
                     request.kind == skin::RequestKind::Icon)
                named += skin::UseOfResolvedKey(defines.Resolve(request.keyToken)) ==
                         skin::KeyUse::StringName;
        }
        benchmark::DoNotOptimize(named);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
    state.SetLabel(bench::EncodingName(state.range(0), state.range(1) != 0));
}

void BM_CheckScript(benchmark::State& state) {
    const std::vector<std::uint8_t> bytes =
        bench::Encoded(static_cast<int>(state.range(0)), state.range(1) != 0);
    std::size_t findings = 0;
    for (auto _ : state) {
        skin::ScriptCheck check(u"Files\\vistel.rc");
        check.Read(bytes);
        check.Finish();
        findings = check.Findings().size();
        benchmark::DoNotOptimize(check.References().data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
    state.counters["findings"] = static_cast<double>(findings);
    state.SetLabel(bench::EncodingName(state.range(0), state.range(1) != 0));
}

// (encoding, clean): the three encodings of the script with a finding on
// nearly every other line, then the clean one in UTF-8.
BENCHMARK(BM_BuildReading)
    ->Args({0, 0})
    ->Args({1, 0})
    ->Args({2, 0})
    ->Args({0, 1})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CheckScript)
    ->Args({0, 0})
    ->Args({1, 0})
    ->Args({2, 0})
    ->Args({0, 1})
    ->Unit(benchmark::kMillisecond);

} // namespace
