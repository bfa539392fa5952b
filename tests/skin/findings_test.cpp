// The registry of findings against the author's guide: every finding has its
// section, the guide explains no finding the registry does not know, and it
// names the findings that fold into no run.
#include "skin/findings.h"

#include <gtest/gtest.h>

#include <cctype>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <string>

namespace {

// The anchor of a Markdown heading: lower case, punctuation other than "-"
// and "_" dropped, spaces as "-".
std::string Anchor(const std::string& heading) {
    std::string anchor;
    for (const char c : heading) {
        if (std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_')
            anchor += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        else if (c == ' ')
            anchor += '-';
    }
    return anchor;
}

TEST(Findings, EachHasItsPlaceInTheGuideAndTheGuideNoOther) {
    std::ifstream in(KSB_SOURCE_DIR "/docs/writing-skins.md");
    ASSERT_TRUE(in);
    // Every heading's anchor; "### name" sections and the names in the first
    // column of the unpacker's table, each with whether it says "(note)".
    std::set<std::string> anchors;
    std::map<std::string, bool> sections, unpackRows;
    const std::regex heading(R"(^#+ (.*))"), section(R"(^### ([a-z0-9-]+)( \(note\))?$)"),
        name("`([a-z0-9-]+)`");
    std::string line, at, runs;
    std::smatch m;
    for (bool code = false; std::getline(in, line);) {
        code = code != line.starts_with("```");
        if (code || line.starts_with("```")) {
            continue;
        } else if (std::regex_match(line, m, heading)) {
            anchors.insert(at = Anchor(m[1]));
            if (std::regex_match(line, m, section))
                sections[m[1]] = m[2].matched;
        } else if (at == skin::kRunsAnchor) {
            runs += line + " ";
        } else if (at == "starting-from-an-existing-skin" && line.starts_with("| `")) {
            const std::string cell = line.substr(0, line.find('|', 1));
            for (std::sregex_iterator i(cell.begin(), cell.end(), name), end; i != end; ++i)
                unpackRows[(*i)[1]] = cell.find("(note)") != std::string::npos;
        }
    }
    ASSERT_FALSE(sections.empty() || unpackRows.empty());
    // The runs' section names the checker's findings that have no run form.
    std::set<std::string> runless;
    const std::size_t from = runs.find("has a run form"), to = runs.find("have none");
    ASSERT_LT(from, to);
    const std::string list = runs.substr(from, to - from);
    for (std::sregex_iterator i(list.begin(), list.end(), name), end; i != end; ++i)
        runless.insert((*i)[1]);
    EXPECT_TRUE(anchors.contains(std::string(skin::kRunsAnchor)));
    std::set<std::string> checker, unpacker;
    for (const skin::FindingKind& kind : skin::FindingKinds()) {
        const std::string text(kind.name);
        SCOPED_TRACE(text);
        const bool note = kind.severity == skin::Severity::Note;
        EXPECT_TRUE(anchors.contains(std::string(kind.anchor))) << kind.anchor;
        if (kind.tools & skin::kChecker) {
            EXPECT_TRUE(checker.insert(text).second) << "listed twice";
            ASSERT_TRUE(sections.contains(text)) << "no section";
            EXPECT_EQ(sections[text], note);
            EXPECT_EQ(kind.anchor, Anchor(text + (note ? " (note)" : "")));
        }
        if (kind.tools & skin::kUnpacker) {
            EXPECT_TRUE(unpacker.insert(text).second) << "listed twice";
            ASSERT_TRUE(unpackRows.contains(text)) << "not in the unpacker's table";
            EXPECT_EQ(unpackRows[text], note);
        }
        if (kind.tools & skin::kChecker) {
            EXPECT_EQ(runless.contains(text), kind.run.empty()) << "run form as the guide says";
        }
        if (!kind.run.empty()) {
            EXPECT_EQ(kind.run, text + "-run");
            EXPECT_EQ(skin::FindingBaseName(kind.run), kind.name);
        }
    }
    for (const auto& [text, note] : sections)
        EXPECT_TRUE(checker.contains(text)) << "### " << text << " names no finding";
    for (const auto& [text, note] : unpackRows)
        EXPECT_TRUE(unpacker.contains(text)) << "`" << text << "` names no finding";
}

} // namespace
