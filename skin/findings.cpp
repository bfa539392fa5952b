#include "skin/findings.h"

#include <algorithm>
#include <iterator>

namespace skin {
namespace {

// The unpacker's findings share one table in the guide's section on it.
constexpr std::string_view kUnpackAnchor = "starting-from-an-existing-skin";

// name, severity, tools, run form, cause, symptom, path words, guide anchor
constexpr FindingKind kKinds[] = {
    {"unknown-line", Severity::Warning, kChecker, "unknown-line-run", false, true, false,
     "unknown-line"},
    {"no-kind-keyword", Severity::Warning, kChecker, "no-kind-keyword-run", false, true, false,
     "no-kind-keyword"},
    {"missing-value", Severity::Warning, kChecker, "missing-value-run", false, true, false,
     "missing-value"},
    {"lone-token", Severity::Warning, kChecker, "lone-token-run", false, true, false, "lone-token"},
    {"empty-string", Severity::Warning, kChecker, "empty-string-run", false, true, false,
     "empty-string"},
    {"extra-words", Severity::Warning, kChecker, "extra-words-run", false, true, false,
     "extra-words"},
    {"comment-in-quotes", Severity::Warning, kChecker, "comment-in-quotes-run", false, true, false,
     "comment-in-quotes"},
    {"unclosed-quote", Severity::Warning, kChecker, "unclosed-quote-run", false, true, false,
     "unclosed-quote"},
    {"option-word", Severity::Warning, kChecker, "option-word-run", false, true, false,
     "option-word"},
    {"unreachable-strings", Severity::Warning, kChecker, "", true, false, false,
     "unreachable-strings"},
    {"string-number", Severity::Warning, kChecker, "string-number-run", false, true, false,
     "string-number"},
    {"string-cut", Severity::Warning, kChecker, "string-cut-run", false, false, false,
     "string-cut"},
    {"define-in-strings", Severity::Warning, kChecker, "define-in-strings-run", false, false, false,
     "define-in-strings"},
    {"define-again", Severity::Warning, kChecker, "define-again-run", false, false, false,
     "define-again"},
    {"define-not-number", Severity::Warning, kChecker, "define-not-number-run", false, true, false,
     "define-not-number"},
    {"define-carried", Severity::Warning, kChecker, "define-carried-run", false, true, false,
     "define-carried"},
    {"define-near-miss", Severity::Warning, kChecker, "define-near-miss-run", false, true, false,
     "define-near-miss"},
    {"id-not-found", Severity::Warning, kChecker, "id-not-found-run", false, false, false,
     "id-not-found"},
    {"id-out-of-range", Severity::Warning, kChecker, "id-out-of-range-run", false, false, false,
     "id-out-of-range"},
    {"written-twice", Severity::Warning, kChecker, "written-twice-run", false, false, false,
     "written-twice"},
    {"file-not-found", Severity::Warning, kChecker, "file-not-found-run", false, false, true,
     "file-not-found"},
    {"file-case", Severity::Warning, kChecker, "file-case-run", false, false, true, "file-case"},
    {"file-is-folder", Severity::Warning, kChecker, "file-is-folder-run", false, false, true,
     "file-is-folder"},
    {"file-unreadable", Severity::Warning, kChecker, "file-unreadable-run", false, false, true,
     "file-unreadable"},
    {"empty-data", Severity::Warning, kChecker | kUnpacker, "empty-data-run", false, false, true,
     "empty-data"},
    {"bad-icon", Severity::Warning, kChecker, "bad-icon-run", false, false, true, "bad-icon"},
    {"utf8-no-marker", Severity::Warning, kChecker, "", false, false, false, "utf8-no-marker"},
    {"ansi-text", Severity::Warning, kChecker, "", false, false, false, "ansi-text"},
    {"utf16-no-marker", Severity::Warning, kChecker, "", false, false, false, "utf16-no-marker"},
    {"broken-utf8", Severity::Warning, kChecker, "broken-utf8-run", false, false, false,
     "broken-utf8"},
    {"block-as-strings", Severity::Warning, kChecker, "block-as-strings-run", true, false, false,
     "block-as-strings"},
    {"unsupported-statement", Severity::Warning, kChecker, "unsupported-statement-run", true, false,
     false, "unsupported-statement"},
    {"block-comment", Severity::Warning, kChecker, "block-comment-run", true, false, false,
     "block-comment"},
    {"preprocessor-line", Severity::Warning, kChecker, "preprocessor-line-run", true, false, false,
     "preprocessor-line"},
    {"braces", Severity::Warning, kChecker, "braces-run", true, false, false, "braces"},
    {"literal-escape", Severity::Warning, kChecker, "literal-escape-run", false, true, false,
     "literal-escape"},
    {"value-not-one-string", Severity::Warning, kChecker, "value-not-one-string-run", false, true,
     false, "value-not-one-string"},
    {"backslash-at-end", Severity::Warning, kChecker, "backslash-at-end-run", true, true, false,
     "backslash-at-end"},
    {"cannot-read", Severity::Error, kChecker, "", false, false, false, "cannot-read"},
    {"no-files-folder", Severity::Error, kChecker, "", false, false, false, "no-files-folder"},
    {"unused-file", Severity::Note, kChecker, "", false, false, false, "unused-file-note"},
    {"stale-module", Severity::Note, kChecker, "", false, false, false, "stale-module-note"},
    {"unexpressible-type", Severity::Warning, kUnpacker, "", false, false, false, kUnpackAnchor},
    {"second-language", Severity::Warning, kUnpacker, "", false, false, false, kUnpackAnchor},
    {"duplicate-name", Severity::Warning, kUnpacker, "", false, false, false, kUnpackAnchor},
    {"other-language", Severity::Note, kUnpacker, "", false, false, false, kUnpackAnchor},
    {"unexpressible-name", Severity::Warning, kUnpacker, "", false, false, false, kUnpackAnchor},
    {"string-gap", Severity::Warning, kUnpacker, "", false, false, false, kUnpackAnchor},
    {"string-after-unwritten", Severity::Warning, kUnpacker, "", false, false, false,
     kUnpackAnchor},
    {"unexpressible-string", Severity::Warning, kUnpacker, "", false, false, false, kUnpackAnchor},
    {"strings-past-15", Severity::Warning, kUnpacker, "", false, false, false, kUnpackAnchor},
    {"string-entry-zero", Severity::Warning, kUnpacker, "", false, false, false, kUnpackAnchor},
    {"string-block-form", Severity::Warning, kUnpacker, "", false, false, false, kUnpackAnchor},
    {"orphan-icon-image", Severity::Warning, kUnpacker, "", false, false, false, kUnpackAnchor},
    {"missing-icon-image", Severity::Warning, kUnpacker, "", false, false, false, kUnpackAnchor},
    {"broken-icon-group", Severity::Warning, kUnpacker, "", false, false, false, kUnpackAnchor},
    {"icon-size-differs", Severity::Warning, kUnpacker, "", false, false, false, kUnpackAnchor},
    {"icon-group-extra-bytes", Severity::Warning, kUnpacker, "", false, false, false,
     kUnpackAnchor},
    {"icon-ids-renumbered", Severity::Note, kUnpacker, "", false, false, false, kUnpackAnchor},
    {"unusual-tree", Severity::Warning, kUnpacker, "", false, false, false, kUnpackAnchor},
    {"unknown-module", Severity::Note, kUnpacker, "", false, false, false, kUnpackAnchor},
    {"stale-unpack-folder", Severity::Note, kUnpacker, "", false, false, false, kUnpackAnchor},
};

} // namespace

std::span<const FindingKind> FindingKinds() {
    return kKinds;
}

const FindingKind* FindFinding(std::string_view name) {
    const auto kind = std::find_if(std::begin(kKinds), std::end(kKinds), [&](const FindingKind& k) {
        return k.name == name || (!k.run.empty() && k.run == name);
    });
    return kind == std::end(kKinds) ? nullptr : kind;
}

std::string_view FindingBaseName(std::string_view name) {
    const FindingKind* kind = FindFinding(name);
    return kind != nullptr ? kind->name : name;
}

Severity FindingSeverity(std::string_view name) {
    const FindingKind* kind = FindFinding(name);
    return kind != nullptr ? kind->severity : Severity::Warning;
}

} // namespace skin
