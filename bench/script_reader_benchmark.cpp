// The script reader on a 10 MB script: decoding, lines, tokens and the state
// machine, line by line as the build reads it, in the three encodings a
// script comes in.
// Then the #define look-up, which searches the script's records in order:
// its cost per look-up grows with the number of #define lines before it.
#include "skin/script_reader.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr std::size_t kScriptBytes = 10 * 1000 * 1000;

// A script like the generated skins, repeated to about 10 MB of UTF-8 text.
std::string ScriptText() {
    std::string text = "// benchmark script\r\n";
    int k = 0;
    while (text.size() < kScriptBytes) {
        const std::string n = std::to_string(k);
        text += "#define IDI_SKIN_" + n + " " + std::to_string(100 + k) + "\r\n";
        text += "STRINGTABLE\r\nBEGIN\r\n    1 \"Online " + n +
                "\"\r\n    2 \"Away\" // two\r\nEND\r\n";
        text += "IDI_SKIN_" + n + " ICON skin\\icons\\i" + n + ".ico\r\n";
        text += "StatusIdr_" + n + " RCDATA \"skin\\\\data\\\\d" + n + ".bin\"\r\n";
        text += "\r\n";
        ++k;
    }
    return text;
}

std::vector<std::uint8_t> Encoded(int encoding) {
    const std::string text = ScriptText();
    std::vector<std::uint8_t> bytes;
    if (encoding == 0) { // UTF-8 with its marker
        bytes = {0xEF, 0xBB, 0xBF};
        bytes.insert(bytes.end(), text.begin(), text.end());
    } else if (encoding == 1) { // UTF-16 LE with its marker
        bytes = {0xFF, 0xFE};
        for (const char c : text) {
            bytes.push_back(static_cast<std::uint8_t>(c));
            bytes.push_back(0);
        }
    } else { // no marker: the ANSI code page
        bytes.assign(text.begin(), text.end());
    }
    return bytes;
}

void BM_ReadScript(benchmark::State& state) {
    const std::vector<std::uint8_t> bytes = Encoded(static_cast<int>(state.range(0)));
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
    state.SetLabel(state.range(0) == 0 ? "UTF-8" : state.range(0) == 1 ? "UTF-16" : "ANSI");
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
