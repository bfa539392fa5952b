// The registry of findings against the author's guide: every finding has its
// section, and the guide explains no finding the registry does not know.
#include "skin/findings.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <set>
#include <string>

namespace {

// The anchor a Markdown heading gets: lower case, punctuation other than
// "-" and "_" dropped, spaces as "-".
std::string Anchor(std::string_view heading) {
    std::string anchor;
    for (const char c : heading) {
        if (c >= 'A' && c <= 'Z')
            anchor += static_cast<char>(c - 'A' + 'a');
        else if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_')
            anchor += c;
        else if (c == ' ')
            anchor += '-';
    }
    return anchor;
}

bool IsNameChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-';
}

struct Guide {
    std::set<std::string> anchors;
    // "### name" and "### name (note)" sections: name -> a note?
    std::map<std::string, bool> sections;
    // The names of the unpacker's table, in its first column: name -> a note?
    std::map<std::string, bool> unpackRows;
};

Guide ReadGuide() {
    Guide guide;
    std::ifstream in(KSB_SOURCE_DIR "/docs/writing-skins.md");
    EXPECT_TRUE(in) << "docs/writing-skins.md";
    std::string line, section;
    bool code = false;
    while (std::getline(in, line)) {
        if (line.starts_with("```"))
            code = !code;
        if (code)
            continue;
        if (line.starts_with("#")) {
            const std::size_t text = line.find_first_not_of('#');
            const std::string heading = line.substr(line.find_first_not_of(' ', text));
            section = Anchor(heading);
            guide.anchors.insert(section);
            const std::size_t end = heading.find(' ');
            const std::string first = heading.substr(0, end);
            if (line.starts_with("### ") && std::all_of(first.begin(), first.end(), IsNameChar))
                guide.sections[first] = heading.ends_with("(note)");
            continue;
        }
        if (section != "starting-from-an-existing-skin" || !line.starts_with("| `"))
            continue;
        const std::string cell = line.substr(1, line.find('|', 1) - 1);
        for (std::size_t open = cell.find('`'); open != std::string::npos;) {
            const std::size_t close = cell.find('`', open + 1);
            guide.unpackRows[cell.substr(open + 1, close - open - 1)] =
                cell.find("(note)") != std::string::npos;
            open = cell.find('`', close + 1);
        }
    }
    return guide;
}

TEST(Findings, EachHasItsPlaceInTheGuideAndTheGuideNoOther) {
    const Guide guide = ReadGuide();
    ASSERT_FALSE(guide.sections.empty());
    ASSERT_FALSE(guide.unpackRows.empty());
    std::set<std::string_view> names;
    std::set<std::string> checker, unpacker;
    for (const skin::FindingKind& kind : skin::FindingKinds()) {
        const std::string name(kind.name);
        SCOPED_TRACE(name);
        EXPECT_TRUE(names.insert(kind.name).second) << "listed twice";
        const bool note = kind.severity == skin::Severity::Note;
        EXPECT_TRUE(guide.anchors.contains(std::string(kind.anchor))) << kind.anchor;
        if (kind.tools & skin::kChecker) {
            checker.insert(name);
            ASSERT_TRUE(guide.sections.contains(name)) << "no section";
            EXPECT_EQ(guide.sections.at(name), note);
            EXPECT_EQ(kind.anchor, Anchor(name + (note ? " (note)" : "")));
        }
        if (kind.tools & skin::kUnpacker) {
            unpacker.insert(name);
            ASSERT_TRUE(guide.unpackRows.contains(name)) << "not in the unpacker's table";
            EXPECT_EQ(guide.unpackRows.at(name), note);
        }
        if (!kind.run.empty()) {
            EXPECT_EQ(kind.run, name + "-run");
            EXPECT_EQ(skin::FindingBaseName(kind.run), kind.name);
            EXPECT_EQ(skin::FindingSeverity(kind.run), kind.severity);
        }
    }
    EXPECT_TRUE(guide.anchors.contains(std::string(skin::kRunsAnchor)));
    for (const auto& [name, note] : guide.sections)
        EXPECT_TRUE(checker.contains(name)) << "### " << name << " names no finding";
    for (const auto& [name, note] : guide.unpackRows)
        EXPECT_TRUE(unpacker.contains(name)) << "`" << name << "` names no finding";
}

} // namespace
