// What the fault-injection sweeps share: a program folder holding a copy of
// the example skin, snapshots of folders, a log that keeps its lines, and
// the checks that nothing stayed open, mapped or behind.
#pragma once

#include "skin/build_driver.h"
#include "tests/support/scratch.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace sweep {

namespace fs = std::filesystem;

using Snapshot = std::map<std::string, std::vector<std::uint8_t>>; // relative path -> bytes

// Every file below `folder` with its bytes.
Snapshot TakeSnapshot(const fs::path& folder);

// A program folder below the private temporary folder, holding a copy of
// examples/Files; removed when it goes.
class ExampleProgram : public ksbtest::ScratchFolder {
public:
    ExampleProgram();

    // The folder as the program sees it, ending in "/".
    std::u16string Folder() const;
    // Back to a fresh copy of the example: Files\ only.
    void Reset();
};

class KeptLog final : public skin::BuildLog {
public:
    void AppendLine(std::u16string_view line) override { lines.emplace_back(line); }
    std::size_t Count(std::u16string_view line) const;
    std::vector<std::u16string> lines;
};

// How a run ended.
struct Outcome {
    bool failureInjected = false; // the n-th operation came and failed
    bool generalError = false;    // the run ended with skin::GeneralError
    std::u16string message;       // its message
};

// The counted platform operations of `run` when none fails.
template <typename Run> std::uint64_t CountOperations(Run&& run);

// Runs `run` with the n-th counted platform operation failing. Any exception
// but skin::GeneralError is a test failure.
template <typename Run> Outcome RunFailing(std::uint64_t n, Run&& run);

// What a finished run must not leave: open descriptors beyond `descriptors`,
// mapped files or updater temporary files below the private temporary folder.
void ExpectNothingLeftOpen(std::size_t descriptors, const std::string& when);

std::string Utf8(std::u16string_view text);

// Whether `message` is one of the build's file errors ("Cannot create
// folder", "Cannot create file", "Cannot open file", "Cannot write file").
bool IsBuildError(const std::u16string& message);

} // namespace sweep

#include "platform/fault_injection.h"

namespace sweep {

template <typename Run> std::uint64_t CountOperations(Run&& run) {
    platform::testing::FailNthOperation(UINT64_MAX);
    run();
    const std::uint64_t count = platform::testing::OperationsCounted();
    platform::testing::FailNthOperation(0);
    return count;
}

template <typename Run> Outcome RunFailing(std::uint64_t n, Run&& run) {
    Outcome outcome;
    platform::testing::FailNthOperation(n);
    try {
        run();
    } catch (const skin::GeneralError& error) {
        outcome.generalError = true;
        outcome.message = error.Message();
    } catch (const std::exception& error) {
        ADD_FAILURE() << "operation " << n << ": unexpected exception " << error.what();
    }
    outcome.failureInjected = platform::testing::InjectedFailureHappened();
    platform::testing::FailNthOperation(0);
    return outcome;
}

} // namespace sweep
