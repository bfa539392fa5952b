// Runs every input of fuzz/corpus/<target>/ and fuzz/regressions/<target>/
// through the fuzz target's body; each input is a test of its own, and each
// broken expectation of the body is a failure of that test.
#include "fuzz/fuzz_helper.h"
#include "fuzz/targets.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <ostream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

struct Input {
    std::string target;
    fs::path path;
    std::string name; // a test name: the folder and file, letters, digits and '_'
};

// Shown by GoogleTest for a failing input.
void PrintTo(const Input& input, std::ostream* out) {
    *out << input.path.string();
}

using Body = void (*)(std::span<const std::uint8_t>);

Body BodyOf(const std::string& target) {
    if (target == "module")
        return ksbfuzz::ModuleTarget;
    if (target == "icon")
        return ksbfuzz::IconTarget;
    if (target == "unpack")
        return ksbfuzz::UnpackTarget;
    return ksbfuzz::ScriptTarget;
}

std::vector<Input> InputsOf(const std::string& target) {
    std::vector<Input> inputs;
    const fs::path fuzz = fs::path(KSB_SOURCE_DIR) / "fuzz";
    for (const char* kind : {"corpus", "regressions"}) {
        // The unpacker's seeds are the module corpus.
        const bool moduleSeeds = target == "unpack" && kind == std::string("corpus");
        const fs::path folder = fuzz / kind / (moduleSeeds ? "module" : target);
        if (!fs::is_directory(folder))
            continue;
        for (const auto& entry : fs::directory_iterator(folder)) {
            if (!entry.is_regular_file() || entry.path().filename().string().starts_with("."))
                continue;
            std::string name = std::string(kind) + "_" + entry.path().filename().string();
            std::replace_if(
                name.begin(), name.end(),
                [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); }, '_');
            inputs.push_back({target, entry.path(), name});
        }
    }
    std::sort(inputs.begin(), inputs.end(),
              [](const Input& a, const Input& b) { return a.name < b.name; });
    return inputs;
}

class FuzzInput : public testing::TestWithParam<Input> {};

TEST_P(FuzzInput, RunsCleanThroughTheTargetBody) {
    const Input& input = GetParam();
    ASSERT_TRUE(fs::is_regular_file(input.path));
    const ksbfuzz::Bytes bytes = ksbfuzz::ReadFile(input.path);
    ksbfuzz::SetViolationHandler(
        [](const std::string& message) { ADD_FAILURE() << "finding: " << message; });
    BodyOf(input.target)(bytes);
    ksbfuzz::SetViolationHandler(nullptr);
}

std::string NameOf(const testing::TestParamInfo<Input>& info) {
    return info.param.name;
}

INSTANTIATE_TEST_SUITE_P(Module, FuzzInput, testing::ValuesIn(InputsOf("module")), NameOf);
INSTANTIATE_TEST_SUITE_P(Icon, FuzzInput, testing::ValuesIn(InputsOf("icon")), NameOf);
INSTANTIATE_TEST_SUITE_P(Script, FuzzInput, testing::ValuesIn(InputsOf("script")), NameOf);
INSTANTIATE_TEST_SUITE_P(Unpack, FuzzInput, testing::ValuesIn(InputsOf("unpack")), NameOf);

// Each target has seeds: a corpus that went missing must not pass silently.
TEST(FuzzCorpus, EveryTargetHasSeeds) {
    for (const char* target : {"module", "icon", "script", "unpack"})
        EXPECT_GE(InputsOf(target).size(), 5u) << target;
}

} // namespace
