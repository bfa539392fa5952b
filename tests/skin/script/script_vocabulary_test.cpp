// The reader, the writer and the checker share one vocabulary: whatever its
// keywords are, the writer gives the reader only lines it reads as meant, the
// checker stays quiet on them and tells the keywords' misspellings.
#include "script_test_support.h"
#include "skin/check/script_check.h"
#include "skin/check/script_check_words.h"
#include "skin/script/script_vocabulary.h"
#include "skin/unpack/script_writer.h"

#include <gtest/gtest.h>

namespace {

namespace vocabulary = skin::vocabulary;
using skin::test::Utf16Le;

std::vector<std::string_view> FindingNames(const std::vector<std::uint8_t>& script) {
    skin::ScriptCheck check(u"vistel.rc");
    check.Read(script);
    check.Finish();
    std::vector<std::string_view> names;
    for (const skin::Finding& finding : check.Findings())
        names.push_back(finding.name);
    return names;
}

TEST(ScriptVocabulary, KeywordsMeanTheSameToWriterReaderAndChecker) {
    for (const std::u16string_view keyword : vocabulary::kKeywords) {
        for (const std::u16string& key : {std::u16string(keyword), vocabulary::FoldCase(keyword)}) {
            SCOPED_TRACE(std::string(key.begin(), key.end()));
            skin::UnpackedModule module;
            module.data.push_back({});
            module.data.back().key = key;
            module.data.back().file = u"vistel\\data\\x.bin";
            if (!skin::KeyNameProblem(key).empty()) {
                // Refused because the reader takes the line for something
                // else, and the checker tells it.
                const std::u16string line =
                    skin::ResourceLine(key, skin::RequestKind::RcData, u"x");
                for (const skin::LineRequest& request : skin::ReadScriptRequests(Utf16Le(line)))
                    EXPECT_NE(request.kind, skin::RequestKind::RcData);
                EXPECT_FALSE(FindingNames(Utf16Le(line)).empty());
                continue;
            }
            const std::vector<std::uint8_t> script = skin::WriteSkinScript(module);
            const std::vector<skin::LineRequest> read = skin::ReadScriptRequests(script);
            ASSERT_EQ(read.size(), 1u);
            EXPECT_EQ(read[0].kind, skin::RequestKind::RcData);
            EXPECT_EQ(read[0].keyToken, key);
            // A bare name is written as a string name: the one thing to tell.
            for (const std::string_view name : FindingNames(script))
                EXPECT_EQ(name, "id-not-found");
        }
        // One letter dropped: the checker names the vocabulary's own keyword.
        std::u16string typo(keyword);
        typo.erase(typo.size() / 2, 1);
        if (keyword == vocabulary::kDefine) {
            EXPECT_EQ(skin::DefineNearMiss(typo + u" X 1"), typo);
        } else if (keyword != vocabulary::kBegin && keyword != vocabulary::kEnd) {
            EXPECT_EQ(skin::KeywordTypo(typo), keyword);
        }
    }
}

// The comment cut and the line breaks are where the writer stops: a text
// that holds neither comes back from a whole script; one that holds either
// does not, and the writer refuses it.
TEST(ScriptVocabulary, CommentCutAndLineBreaksAreTheWritersLimit) {
    const std::u16string texts[] = {
        u"a//b", u"http://x", u"a /b/ c", u"\"//\"", u"a\rb",
        u"a\nb", u"a\u2028b", u"a\tb c",  u"\u2029", std::u16string(u"a\0b", 3)};
    for (const std::u16string& text : texts) {
        SCOPED_TRACE(std::string(text.begin(), text.end()));
        const std::u16string script = std::u16string(vocabulary::kStringTable) + u"\r\n" +
                                      std::u16string(vocabulary::kBegin) + u"\r\n" +
                                      skin::StringEntryLine(1, text) + u"\r\n" +
                                      std::u16string(vocabulary::kEnd) + u"\r\n";
        const std::vector<skin::LineRequest> read = skin::ReadScriptRequests(Utf16Le(script));
        const bool readBack = read.size() == 1 && read.front().value == text;
        EXPECT_EQ(readBack,
                  !vocabulary::HoldsCommentMarker(text) &&
                      text.find_first_of(vocabulary::kLineBreaksAndEnd) == std::u16string::npos);
        EXPECT_EQ(skin::StringTextProblem(text).empty(), readBack);
    }
}

} // namespace
