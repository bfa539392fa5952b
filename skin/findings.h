// Every finding the skin tools give, by its stable name: how bad it is, which
// tool gives it, whether and how it folds into a run, and where the author's
// guide (docs/writing-skins.md) explains it.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace skin {

enum class Severity { Note, Warning, Error };

// The tools that give a finding (a set: one name may serve both).
enum FindingTool : std::uint8_t { kChecker = 1, kUnpacker = 2 };

struct FindingKind {
    std::string_view name;
    Severity severity = Severity::Warning;
    std::uint8_t tools = kChecker;
    // Its run form, which stands for many of it; empty when it never folds.
    std::string_view run;
    // One finding per cause over a span of lines: it folds into a run only as
    // the last resort against a flood.
    bool cause = false;
    // Left out on a line inside a cause's span: the cause tells it.
    bool symptom = false;
    // Its run lists its words as paths, whole, rather than as quoted words.
    bool pathWords = false;
    // The guide's section that explains it (the heading's anchor).
    std::string_view anchor;
};

// Every finding, checker's first.
std::span<const FindingKind> FindingKinds();
// The finding of that name or run name; nullptr when there is none.
const FindingKind* FindFinding(std::string_view name);
// The name whose run form `name` is, or `name` itself.
std::string_view FindingBaseName(std::string_view name);
// The severity of the finding of that name (Warning for a name not listed).
Severity FindingSeverity(std::string_view name);
// The guide's section on the runs of findings.
inline constexpr std::string_view kRunsAnchor = "runs-id-not-found-run-file-not-found-run-";

} // namespace skin
