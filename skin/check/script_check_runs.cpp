// The checker's last pass: what stays after the causes and still repeats
// (300 keys without a #define) becomes a run, one finding with its span, its
// count and its first few words; then the findings are sorted.
#include "platform/platform.h"
#include "skin/check/script_check.h"
#include "skin/check/script_check_text.h"
#include "skin/findings.h"

#include <algorithm>
#include <limits>
#include <tuple>
#include <unordered_map>
#include <utility>

namespace skin {

using namespace check_text;

namespace {

// The name of a finding whose run form is `name`, or `name` itself.
std::string_view BaseName(std::string_view name) {
    return FindingBaseName(name);
}

// Whether findings of that name fold into a run, and how.
const FindingKind* Folds(std::string_view base) {
    const FindingKind* kind = FindFinding(base);
    return kind != nullptr && !kind->run.empty() ? kind : nullptr;
}

// A run stands for this many findings of one name or more, each at most
// kRunGap lines after the one before; fewer stay one finding each.
constexpr std::size_t kRunLeast = 4;
constexpr std::size_t kRunGap = 10;
bool Earlier(const Finding& a, const Finding& b) {
    return std::tie(a.line, a.column) < std::tie(b.line, b.column);
}

} // namespace

namespace {

// Names that a system header defines, not a program's own resource.h.
bool SystemName(std::u16string_view name) {
    constexpr std::u16string_view kNames[] = {u"IDOK",     u"IDCANCEL",  u"IDABORT", u"IDRETRY",
                                              u"IDIGNORE", u"IDYES",     u"IDNO",    u"IDCLOSE",
                                              u"IDHELP",   u"IDC_STATIC"};
    constexpr std::u16string_view kPrefixes[] = {u"WS_",  u"DS_",  u"ES_",   u"SS_",
                                                 u"BS_",  u"VS_",  u"LANG_", u"SUBLANG_",
                                                 u"VOS_", u"VFT_", u"MFT_",  u"MF_"};
    return std::find(std::begin(kNames), std::end(kNames), name) != std::end(kNames) ||
           std::any_of(std::begin(kPrefixes), std::end(kPrefixes),
                       [&](std::u16string_view p) { return name.starts_with(p); });
}

bool IsCause(std::string_view name) {
    const FindingKind* kind = FindFinding(name);
    return kind != nullptr && kind->cause;
}

} // namespace

void ScriptCheck::Fold(std::span<const std::size_t> members, std::vector<bool>& gone) {
    const Finding& head = findings_[members.front()];
    const std::string_view base = BaseName(head.name);
    const FindingKind& run = *Folds(base);
    Finding folded = head;
    folded.name = run.run;
    folded.lastLine = findings_[members.back()].LastLine();
    const std::u16string lines = Lines(folded.line, folded.lastLine);
    folded.count = 0;
    folded.kinds.clear();
    std::vector<std::u16string> words;
    std::vector<Span> spans;
    std::unordered_map<std::u16string, std::size_t> kindAt; // kind -> its place in kinds
    bool system = false;
    for (const std::size_t index : members) {
        const Finding& member = findings_[index];
        folded.count += member.count;
        folded.severity = std::max(folded.severity, member.severity);
        system = system || SystemName(member.word);
        // The first few distinct words, and one more to know that there are more.
        if (!member.word.empty() && words.size() <= kRunWords &&
            std::find(words.begin(), words.end(), member.word) == words.end())
            words.push_back(member.word);
        // Statements by kind, every kind: each is a resource the build leaves out.
        if (base != "unsupported-statement")
            continue;
        spans.push_back({member.line, member.LastLine()});
        const auto add = [&](const std::u16string& kind, std::size_t n) {
            const auto [at, fresh] = kindAt.emplace(kind, folded.kinds.size());
            if (fresh)
                folded.kinds.emplace_back(kind, n);
            else
                folded.kinds[at->second].second += n;
        };
        if (!member.kinds.empty()) {
            for (const auto& [kind, n] : member.kinds)
                add(kind, n);
        } else if (!member.word.empty()) {
            add(member.word, member.count);
        }
    }
    for (std::size_t k = 1; k < members.size(); ++k)
        gone[members[k]] = true;
    std::stable_sort(folded.kinds.begin(), folded.kinds.end(),
                     [](const auto& a, const auto& b) { return a.second > b.second; });
    const bool paths = run.pathWords;
    std::u16string list;
    for (std::size_t k = 0; k < words.size() && k < kRunWords; ++k)
        list += (k == 0 ? u"" : u", ") + (paths ? u"\"" + words[k] + u"\"" : Quoted(words[k]));
    if (words.size() > kRunWords)
        list += u", ...";
    const std::u16string count = Dec(folded.count);
    if (run.name == "id-not-found") {
        // The project's own header in quotes is the likely cause; a system
        // header too when the names look like its own.
        const auto included = [&](std::size_t at) {
            return Shown(AsWritten(Code(at))) + u" on line " + Dec(at);
        };
        const std::size_t quoted = includeQuoted_ < folded.line ? includeQuoted_ : 0;
        const std::size_t other = includeSystem_ < folded.line ? includeSystem_ : 0;
        std::u16string cause;
        if (quoted != 0 && other != 0 && system)
            cause = included(quoted) + u" and " + included(other) + u" are not read: ";
        else if (quoted != 0 || other != 0)
            cause = included(quoted != 0 ? quoted : other) + u" is not read: ";
        folded.text = cause + count + u" names on " + lines +
                      u" are not found and are written as string names: " + list;
    } else if (run.name == "file-not-found") {
        folded.text = count + u" files named on " + lines + u" are not found: " + list;
    } else if (run.name == "unsupported-statement") {
        std::u16string tally;
        for (const auto& [kind, n] : folded.kinds)
            tally += (tally.empty() ? u"" : u", ") + Dec(n) + u" " + kind;
        const std::u16string effect = Effect(spans);
        folded.text = count + u" findings on " + lines + u": " + tally +
                      u" statements, which a skin script does not have: the build writes no "
                      u"resource of them; read as skin lines, they give " +
                      (effect.empty() ? u"nothing" : effect);
    } else {
        folded.text = count + u" findings on " + lines + u", the first: " + head.text;
        if (!list.empty())
            folded.text += u" (" + list + u")";
    }
    folded.word.clear();
    findings_[members.front()] = std::move(folded);
}

void ScriptCheck::Stretches() {
    std::vector<std::size_t> order;
    for (std::size_t i = 0; i < findings_.size(); ++i) {
        if (findings_[i].line != 0 && IsCause(BaseName(findings_[i].name)))
            order.push_back(i);
    }
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return Earlier(findings_[a], findings_[b]);
    });
    // Between the two only lines that ask for nothing and have no finding:
    // empty lines, comments, the STRINGTABLE line of the next block.
    std::vector<bool> quiet(lines_.size() + 1, true);
    for (const Finding& f : findings_) {
        for (std::size_t line = f.line; line <= f.LastLine() && line < quiet.size(); ++line)
            quiet[line] = false;
    }
    const auto follows = [&](const Finding& a, const Finding& b) {
        if (b.line <= a.LastLine() || BaseName(a.name) != BaseName(b.name) || a.word != b.word)
            return false;
        for (std::size_t line = a.LastLine() + 1; line < b.line; ++line) {
            if (!quiet[line] || records_[line - 1].request != RequestKind::Nothing)
                return false;
        }
        return true;
    };
    std::vector<bool> gone(findings_.size(), false);
    for (std::size_t i = 0; i < order.size();) {
        std::size_t j = i + 1;
        while (j < order.size() && follows(findings_[order[j - 1]], findings_[order[j]]))
            ++j;
        if (j - i >= 2)
            Fold(std::span<const std::size_t>(order).subspan(i, j - i), gone);
        i = j;
    }
    std::size_t index = 0;
    std::erase_if(findings_, [&](const Finding&) { return gone[index++]; });
}

void ScriptCheck::Runs(std::size_t gap, std::size_t least, std::string_view only) {
    // Findings of one name in line order; a run takes the place of its first.
    std::vector<std::size_t> order(findings_.size());
    std::vector<std::string_view> bases(findings_.size());
    for (std::size_t i = 0; i < order.size(); ++i) {
        order[i] = i;
        bases[i] = BaseName(findings_[i].name);
    }
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        const Finding& x = findings_[a];
        const Finding& y = findings_[b];
        return std::tie(bases[a], x.line, x.column) < std::tie(bases[b], y.line, y.column);
    });
    const bool all = gap == std::numeric_limits<std::size_t>::max();
    std::vector<bool> gone(findings_.size(), false);
    for (std::size_t i = 0; i < order.size();) {
        const Finding& head = findings_[order[i]];
        std::size_t j = i + 1;
        const std::string_view base = bases[order[i]];
        while (j < order.size() && bases[order[j]] == base) {
            const std::size_t before = findings_[order[j - 1]].LastLine();
            const std::size_t line = findings_[order[j]].line;
            if (line > before && line - before > gap)
                break;
            ++j;
        }
        const bool hasRun = Folds(base) != nullptr;
        // Span findings are one per cause; only the last resort folds them too.
        if (j - i < least || !hasRun || head.line == 0 || (IsCause(base) && !all) ||
            (!only.empty() && base != only)) {
            i = j;
            continue;
        }
        Fold(std::span<const std::size_t>(order).subspan(i, j - i), gone);
        i = j;
    }
    std::size_t index = 0;
    std::erase_if(findings_, [&](const Finding&) { return gone[index++]; });
}

void ScriptCheck::Finish() {
    FindBlocks();
    Statements();
    BlockFindings();
    Comments();
    Preprocessor();
    Unreachable();
    Absorb();
    KeyAndText();
    Stretches();
    Runs(kRunGap, kRunLeast);
    // Against a flood the most frequent name is folded whole, then the next.
    const std::size_t limit = FindingLimit(lines_.size());
    while (true) {
        std::unordered_map<std::string_view, std::size_t> counts;
        std::size_t total = 0;
        for (const Finding& f : findings_) {
            const std::string_view base = BaseName(f.name);
            if (f.line != 0 && Folds(base) != nullptr)
                ++counts[base];
            total += f.line != 0;
        }
        const auto most =
            std::max_element(counts.begin(), counts.end(), [](const auto& a, const auto& b) {
                return std::tie(a.second, a.first) < std::tie(b.second, b.first);
            });
        if (total <= limit || most == counts.end() || most->second < 2)
            break;
        Runs(std::numeric_limits<std::size_t>::max(), 2, most->first);
    }
    for (Finding& finding : findings_)
        finding.file = file_;
    std::stable_sort(findings_.begin(), findings_.end(), Earlier);
}

} // namespace skin
