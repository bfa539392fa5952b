// The reader, the writer and the checker share one vocabulary: whatever its
// keywords are, the writer gives the reader only lines it reads as meant, and
// the checker stays quiet on them and recognises the keywords' misspellings.
#include "script_test_support.h"
#include "skin/script_check.h"
#include "skin/script_check_words.h"
#include "skin/script_vocabulary.h"
#include "skin/script_writer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

namespace vocabulary = skin::vocabulary;

// A keyword as written, in lower case, and with its first letter alone upper.
std::vector<std::u16string> Spellings(std::u16string_view keyword) {
    std::u16string lower = vocabulary::FoldCase(keyword);
    std::u16string mixed = lower;
    const std::size_t letter = mixed.find_first_not_of(u'#');
    if (letter < mixed.size() && mixed[letter] >= u'a' && mixed[letter] <= u'z')
        mixed[letter] = static_cast<char16_t>(mixed[letter] - u'a' + u'A');
    return {std::u16string(keyword), lower, mixed};
}

std::vector<std::string_view> FindingNames(const std::vector<std::uint8_t>& script) {
    skin::ScriptCheck check(u"vistel.rc");
    check.Read(script);
    check.Finish();
    std::vector<std::string_view> names;
    for (const skin::Finding& finding : check.Findings())
        names.push_back(finding.name);
    return names;
}

TEST(ScriptVocabulary, KeywordsAsKeysMeanTheSameToWriterReaderAndChecker) {
    for (const std::u16string_view keyword : vocabulary::kKeywords) {
        for (const std::u16string& key : Spellings(keyword)) {
            SCOPED_TRACE(std::string(key.begin(), key.end()));
            skin::UnpackedModule module;
            module.moduleFile = u"vistel.dll";
            module.data.push_back({});
            module.data.back().key = key;
            module.data.back().file = u"vistel\\data\\x.bin";
            module.icons.push_back({});
            module.icons.back().key = key;
            module.icons.back().file = u"vistel\\icons\\x.ico";
            const std::u16string problem = skin::KeyNameProblem(key);
            if (!problem.empty()) {
                // The writer refuses it because the reader would take the
                // line for something else, and the checker says so.
                skin::ScriptLineState state = skin::ScriptLineState::None;
                const std::u16string line =
                    skin::ResourceLine(key, skin::RequestKind::RcData, module.data.back().file);
                EXPECT_NE(skin::ReadScriptLine(line, state).kind, skin::RequestKind::RcData);
                EXPECT_FALSE(FindingNames(skin::test::Utf8(line + u"\r\n")).empty());
                continue;
            }
            const std::vector<std::uint8_t> script = skin::WriteSkinScript(module);
            const std::vector<skin::LineRequest> read = skin::ReadScriptRequests(script);
            const std::vector<skin::LineRequest> meant = skin::ScriptRequestsOf(module);
            ASSERT_EQ(read.size(), meant.size());
            for (std::size_t i = 0; i < read.size(); ++i) {
                EXPECT_EQ(read[i].kind, meant[i].kind);
                EXPECT_EQ(read[i].keyToken, meant[i].keyToken);
            }
            // A bare name is written as a string name: the one thing to tell.
            for (const std::string_view name : FindingNames(script))
                EXPECT_EQ(name, "id-not-found");
        }
    }
}

TEST(ScriptVocabulary, CheckerTellsMisspellingsOfTheVocabularysKeywords) {
    for (const std::u16string_view keyword : vocabulary::kKeywords) {
        if (keyword == vocabulary::kBegin || keyword == vocabulary::kEnd)
            continue; // too short to tell a misspelling from a word
        // One letter dropped from the middle.
        std::u16string typo(keyword);
        typo.erase(typo.size() / 2, 1);
        SCOPED_TRACE(std::string(typo.begin(), typo.end()));
        if (keyword == vocabulary::kDefine) {
            EXPECT_EQ(skin::DefineNearMiss(typo + u" X 1"), typo);
            EXPECT_EQ(
                skin::DefineNearMiss(u"# " + std::u16string(vocabulary::kDefineWord) + u" X 1"),
                u"# " + std::u16string(vocabulary::kDefineWord));
            continue;
        }
        // The very object of the vocabulary, not a spelling of its own.
        EXPECT_EQ(skin::KeywordTypo(typo).data(), keyword.data());
        EXPECT_TRUE(skin::KeywordTypo(keyword).empty());
    }
}

TEST(ScriptVocabulary, CommentCutIsTheWritersLimit) {
    for (const std::u16string text : {u"a//b", u"//", u"http://x", u"a /b/ c", u"\"//\""}) {
        SCOPED_TRACE(std::string(text.begin(), text.end()));
        skin::ScriptLineState state = skin::ScriptLineState::Strings;
        const skin::LineRequest read = skin::ReadScriptLine(skin::StringEntryLine(1, text), state);
        const bool readBack = read.kind == skin::RequestKind::StringEntry && read.value == text;
        EXPECT_EQ(readBack, !vocabulary::HoldsCommentMarker(text));
        EXPECT_EQ(skin::StringTextProblem(text).empty(), readBack);
    }
}

} // namespace
