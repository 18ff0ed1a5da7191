#include "rules/rule_file_problems.h"

#include <boost/lexical_cast.hpp>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <map>
#include <utility>

#include "conditions/condition_list.h"
#include "config/rule_file_names.h"
#include "platform/standin/profile_document.h"
#include "text/messages.h"
#include "text/text_encoding.h"

namespace {

using rule_file::kRuleKeys;
using standin::foldName;
using standin::trimSpace;

// The lines that matter, with their numbers: values themselves are read
// through ProfileDocument, the stand-in's own reading of the same bytes.
struct KeyLine {
    std::size_t line;
    std::string folded;
    std::string_view spelled;
    bool hasValue;  // a line without '=' reads as a missing key
    std::string_view value;
};
struct Block {
    std::size_t line;  // of its header; 0 for the lines before any header
    std::string folded;
    std::string_view spelled;
    std::vector<KeyLine> keys;
};

// Lines end at CR LF, LF or CR, as the profile functions split them.
std::vector<Block> scan(std::string_view bytes) {
    std::vector<Block> blocks{Block{0, "", "", {}}};
    std::size_t number = 0;
    for (std::size_t at = 0; at < bytes.size();) {
        const std::size_t stop = std::min(bytes.find_first_of("\r\n", at), bytes.size());
        const std::string_view content = trimSpace(bytes.substr(at, stop - at));
        ++number;
        at = stop + (stop == bytes.size() ? 0 : bytes.compare(stop, 2, "\r\n") == 0 ? 2 : 1);
        if (content.empty() || content.front() == ';') continue;
        const std::size_t close = content.rfind(']');
        if (content.front() == '[' && close != std::string_view::npos) {
            const std::string_view name = trimSpace(content.substr(1, close - 1));
            blocks.push_back({number, foldName(name), name, {}});
            continue;
        }
        const std::size_t eq = content.find('=');
        const std::string_view key = trimSpace(content.substr(0, eq));
        const bool hasValue = eq != std::string_view::npos;
        blocks.back().keys.push_back(
            {number, foldName(key), key, hasValue, hasValue ? trimSpace(content.substr(eq + 1)) : std::string_view()});
    }
    return blocks;
}

// The rule index of a section name the plug-in writes ("condition12"), or
// nullopt: "Condition012" is never read.
std::optional<std::uint32_t> ruleIndex(const std::string& folded) {
    const std::string prefix = foldName(rule_file::kRuleSectionPrefix);
    if (folded.compare(0, prefix.size(), prefix) != 0) return std::nullopt;
    const std::string digits = folded.substr(prefix.size());
    std::uint32_t index = 0;
    if (digits.empty() || digits.size() > 10 ||
        !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    if (!boost::conversion::try_lexical_convert(digits, index) || std::to_string(index) != digits) return std::nullopt;
    return index;
}

std::string header(const Block& block) { return "[" + std::string(block.spelled) + "]"; }

class Checker {
public:
    explicit Checker(std::string_view bytes) : document_(bytes), blocks_(scan(bytes)) {
        for (const Block& block : blocks_) first_.emplace(block.folded, &block);
    }

    RuleFileCheck run() {
        const std::optional<std::uint32_t> count = readCount();
        for (const Block& block : blocks_) checkBlock(block, count);
        if (count) checkMissingRules(*count);
        std::stable_sort(found_.begin(), found_.end(),
                         [](const Found& l, const Found& r) { return l.problem.line < r.problem.line; });
        RuleFileCheck check;
        const Found* refusal = nullptr;
        for (const Found& f : found_) {
            check.problems.push_back(f.problem);
            if (f.readAt && (refusal == nullptr || *f.readAt < *refusal->readAt)) refusal = &f;
        }
        if (refusal != nullptr) check.refusal = refusal->problem;
        return check;
    }

private:
    // Where acLoadConfig reads a key: 0 for the count, then rule i's key k.
    using ReadAt = std::pair<std::uint64_t, std::size_t>;
    struct Found {
        RuleFileProblem problem;
        std::optional<ReadAt> readAt;  // set when acLoadConfig refuses the file here
    };

    void add(std::size_t line, std::string where, std::string reason, std::optional<ReadAt> readAt = std::nullopt) {
        found_.push_back({{line, std::move(where), std::move(reason)}, readAt});
    }
    void add(const Block& block, const KeyLine& k, std::string reason, std::optional<ReadAt> readAt = std::nullopt) {
        std::string where = block.line == 0 ? "" : header(block) + " ";
        where.append(k.spelled);
        if (k.hasValue) where.append("=").append(k.value);
        add(k.line, std::move(where), std::move(reason), readAt);
    }

    const Block* block(const std::string& folded) const {
        const auto it = first_.find(folded);
        return it == first_.end() ? nullptr : it->second;
    }

    static const KeyLine* key(const Block& block, const std::string& folded) {
        for (const KeyLine& k : block.keys) {
            if (k.folded == folded) return &k;
        }
        return nullptr;
    }

    // The count, or nullopt when acLoadConfig refuses the file at it.
    std::optional<std::uint32_t> readCount() {
        const Block* counts = block(foldName(rule_file::kCountSection));
        numLine_ = counts == nullptr ? nullptr : key(*counts, foldName(rule_file::kCountKey));
        const std::optional<std::string_view> text = document_.find(rule_file::kCountSection, rule_file::kCountKey);
        if (numLine_ == nullptr || !text) return 0;
        std::uint32_t count = 0;
        if (!boost::conversion::try_lexical_convert(std::string(*text), count)) {
            add(*counts, *numLine_, tr("not an integer from 0 to 4294967295: acLoadConfig refuses the file"),
                ReadAt{0, 0});
            return std::nullopt;
        }
        if (count > ConditionList::kMaxSize) {
            add(*counts, *numLine_,
                tr("reads as %s rules, more than the %s the plug-in takes: acLoadConfig refuses the file",
                   {std::to_string(count), std::to_string(ConditionList::kMaxSize)}),
                ReadAt{0, 0});
            return std::nullopt;
        }
        countText_ = "num=" + std::string(numLine_->value);
        return count;
    }

    void checkBlock(const Block& b, const std::optional<std::uint32_t>& count) {
        if (b.line == 0) {
            for (const KeyLine& k : b.keys) add(b, k, tr("outside any section: the plug-in reads no key here"));
            return;
        }
        const Block* firstOfName = block(b.folded);
        if (firstOfName != &b && firstOfName->line != 0) {
            add(b.line, header(b),
                tr("a second %s (the first is on line %s): the plug-in reads only the first",
                   {header(b), std::to_string(firstOfName->line)}));
            return;
        }
        if (b.folded == foldName(rule_file::kCountSection)) {
            checkKeys(
                b, [](const std::string& folded) { return folded == foldName(rule_file::kCountKey); },
                N_("not a key of [Conditions]: the plug-in ignores it"));
            return;
        }
        const std::optional<std::uint32_t> index = ruleIndex(b.folded);
        if (!index) {
            add(b.line, header(b), tr("not a section of the rule file: the plug-in does not read it"));
        } else if (count && *index >= *count) {
            add(b.line, header(b),
                tr("beyond the count (%s): the plug-in does not read it (a save of fewer rules leaves such sections)",
                   {countText_}));
        } else {
            checkRule(b, *index);
        }
    }

    // Keys of no use in a section, and the second of two alike.
    template <typename Known>
    void checkKeys(const Block& b, Known known, const char* unknownReason) {
        std::map<std::string, std::size_t> seen;
        for (const KeyLine& k : b.keys) {
            const auto [it, fresh] = seen.emplace(k.folded, k.line);
            if (!fresh) {
                add(b, k,
                    tr("a second %s in %s (the first is on line %s): the plug-in reads only the first",
                       {std::string(k.spelled), header(b), std::to_string(it->second)}));
            } else if (!known(k.folded)) {
                add(b, k, tr(unknownReason));
            }
        }
    }

    void checkRule(const Block& b, std::uint32_t index) {
        checkKeys(
            b,
            [](const std::string& folded) {
                return std::any_of(std::begin(kRuleKeys), std::end(kRuleKeys),
                                   [&](const char* k) { return folded == foldName(k); });
            },
            N_("not a key of a rule: the plug-in ignores it"));
        std::optional<std::int32_t> values[std::size(kRuleKeys)];
        bool readable = true;  // every integer read: the type is known
        for (std::size_t k = 0; k < std::size(kRuleKeys); ++k) {
            const KeyLine* line = key(b, foldName(kRuleKeys[k]));
            const std::optional<std::string_view> text = document_.find(b.spelled, kRuleKeys[k]);
            if (line == nullptr || !text || rule_file::isTextKey(k)) continue;
            std::int32_t value = 0;
            if (boost::conversion::try_lexical_convert(std::string(*text), value)) {
                values[k] = value;
            } else {
                readable = false;
                add(b, *line, tr("not an integer from -2147483648 to 2147483647: acLoadConfig refuses the file"),
                    ReadAt{std::uint64_t{index} + 1, k});
            }
        }
        const std::int32_t type = values[rule_file::kType].value_or(0);
        const bool range = type != 0;
        if (type != 0 && type != 1)
            add(b, *key(b, foldName(kRuleKeys[rule_file::kType])),
                tr("neither 0 (compare) nor 1 (range): the plug-in reads it as a range"));
        const struct {
            std::size_t key;
            std::int32_t last;
            const char* unused;  // what the value is, where the rule does not use it
            bool used;
            const char* effect;  // and where it does
        } operators[] = {
            {rule_file::kCmbA, 4, N_("not an operator (0 to 4: < <= = >= >)"), !range,
             N_("not an operator (0 to 4: < <= = >= >): the rule matches no image")},
            {rule_file::kCmbB1, 1, N_("not an operator (0 or 1: < <=)"), range,
             N_("not an operator (0 or 1: < <=): the range has no lower bound")},
            {rule_file::kCmbB2, 1, N_("not an operator (0 or 1: < <=)"), range,
             N_("not an operator (0 or 1: < <=): the range has no upper bound")},
        };
        for (const auto& op : operators) {
            const std::optional<std::int32_t>& value = values[op.key];
            if (!value || (*value >= 0 && *value <= op.last)) continue;
            add(b, *key(b, foldName(kRuleKeys[op.key])), tr(op.used && readable ? op.effect : op.unused));
        }
    }

    void checkMissingRules(std::uint32_t count) {
        std::uint64_t present = 0;
        for (const auto& [folded, b] : first_) {
            const std::optional<std::uint32_t> index = ruleIndex(folded);
            if (index && *index < count) ++present;
        }
        const std::uint64_t missing = count - present;
        if (missing == 0) return;
        std::string names;
        std::uint64_t named = 0;
        for (std::uint32_t i = 0; i < count && named < 3; ++i) {
            if (block(foldName(rule_file::ruleSection(i))) != nullptr) continue;
            names += (named == 0 ? "" : ", ") + ("[" + rule_file::ruleSection(i) + "]");
            ++named;
        }
        if (missing > named) names = tr("%s and %s more", {names, std::to_string(missing - named)});
        const Block* counts = block(foldName(rule_file::kCountSection));
        add(*counts, *numLine_,
            trn("counts %s rules, but the file has no %s: it loads as an empty rule, which matches no image",
                "counts %s rules, but the file has no %s: they load as empty rules, which match no image", missing,
                {std::to_string(count), names}));
    }

    const standin::ProfileDocument document_;
    const std::vector<Block> blocks_;
    std::map<std::string, const Block*> first_;  // the first block of each name: the one read
    const KeyLine* numLine_ = nullptr;
    std::string countText_ = tr("0 without a num in [Conditions]");
    std::vector<Found> found_;
};

}  // namespace

RuleFileCheck checkRuleFile(std::string_view bytes) { return Checker(bytes).run(); }

std::string problemText(const std::string& file, const RuleFileProblem& problem) {
    return file + ":" + std::to_string(problem.line) + ": " + cp932ToUtf8(problem.where) + ": " + problem.reason;
}
