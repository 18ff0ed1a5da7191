#include "rules/rule_arguments.h"

#include <cstddef>
#include <string_view>

#include "rules/cp932_encode.h"
#include "text/messages.h"
#include "text/text_encoding.h"
#include "texts/cp932_texts.h"
#include "ui/attribute_name.h"

namespace {

// The editor reads its fields with the signed GetDlgItemInt, and the plug-in
// keeps thresholds signed: 3000000000 would be stored as a negative number.
constexpr std::uint64_t kLargest = 2147483647;

class Reader {
public:
    explicit Reader(std::string_view text) : text_(text) {}

    void skipSpaces() {
        while (at_ < text_.size() && (text_[at_] == ' ' || text_[at_] == '\t')) ++at_;
    }
    bool done() {
        skipSpaces();
        return at_ == text_.size();
    }
    bool word(std::string_view w) {
        skipSpaces();
        if (text_.substr(at_, w.size()) != w) return false;
        at_ += w.size();
        return true;
    }
    // An operator in CompareOp order, ASCII or the dialog's own symbol
    // (its CP932 text in UTF-8); the longest spelling wins ("<=" over "<").
    bool op(std::int32_t& code) {
        static const char* const kAscii[] = {"<", "<=", "=", ">=", ">"};
        skipSpaces();
        std::size_t longest = 0;
        for (std::int32_t i = 0; i < 5; ++i) {
            for (const std::string& spelling :
                 {std::string(kAscii[i]), cp932ToUtf8(pixtagger::texts::kCompareOpSymbols[i])}) {
                if (spelling.size() > longest && text_.substr(at_, spelling.size()) == spelling) {
                    longest = spelling.size();
                    code = i;
                }
            }
        }
        at_ += longest;
        return longest > 0;
    }
    bool number(std::uint64_t& value) {
        skipSpaces();
        const std::size_t start = at_;
        value = 0;
        for (; at_ < text_.size() && text_[at_] >= '0' && text_[at_] <= '9'; ++at_) {
            if (value <= kLargest) value = value * 10 + static_cast<std::uint64_t>(text_[at_] - '0');
        }
        return at_ > start;
    }

private:
    std::string_view text_;
    std::size_t at_ = 0;
};

std::string tooLarge(const char* option, const std::string& text) {
    return tr("%s '%s': a number beyond 2147483647, the largest the plug-in's rules (and the editor) take",
              {option, text});
}

bool parseArea(const std::string& text, RuleChange& change, std::string& error) {
    Reader reader(text);
    std::int32_t op = 0;
    std::uint64_t value = 0;
    if (!reader.op(op) || !reader.number(value) || !reader.done()) {
        error =
            tr("--area takes 'OP N', OP one of < <= = >= > (or \xEF\xBC\x9C \xE2\x89\xA6 \xEF\xBC\x9D \xE2\x89\xA7 "
               "\xEF\xBC\x9E) and N from 0 to 2147483647: '%s' is not",
               {text});
        return false;
    }
    if (value > kLargest) {
        error = tooLarge("--area", text);
        return false;
    }
    change.area = RuleChange::Compare{op, static_cast<std::int32_t>(value)};
    return true;
}

bool parseRange(const std::string& text, RuleChange& change, std::string& error) {
    Reader reader(text);
    RuleChange::Range range{};
    std::uint64_t low = 0, high = 0;
    if (!reader.number(low) || !reader.op(range.lowOp) ||
        !(reader.word("area") || reader.word("\xE9\x9D\xA2\xE7\xA9\x8D")) || !reader.op(range.highOp) ||
        !reader.number(high) || !reader.done()) {
        error =
            tr("--range takes 'N OP area OP N', OP < or <= (\xEF\xBC\x9C \xE2\x89\xA6) and N from 0 to 2147483647: "
               "'%s' is not",
               {text});
        return false;
    }
    if (range.lowOp > 1 || range.highOp > 1) {
        error = tr("--range: a range takes only < or <= (\xEF\xBC\x9C \xE2\x89\xA6), not '%s'", {text});
        return false;
    }
    if (low > kLargest || high > kLargest) {
        error = tooLarge("--range", text);
        return false;
    }
    range.low = static_cast<std::int32_t>(low);
    range.high = static_cast<std::int32_t>(high);
    change.range = range;
    return true;
}

bool convertName(const char* option, const std::optional<std::string>& given, std::optional<std::string>& out,
                 std::string& error) {
    if (!given) return true;
    out = utf8ToCp932(*given, option, error);
    return out.has_value();
}

}  // namespace

void RuleChange::applyTo(Condition& rule) const {
    if (attribute) rule._attName = *attribute;
    if (category) rule._catName = *category;
    if (area) {
        rule._type = static_cast<std::int32_t>(ConditionType::A);
        rule._cmbA = area->op;
        rule._a = area->value;
    }
    if (range) {
        rule._type = static_cast<std::int32_t>(ConditionType::B);
        rule._b1 = range->low;
        rule._cmbB1 = range->lowOp;
        rule._cmbB2 = range->highOp;
        rule._b2 = range->high;
    }
    if (disable) rule._bEnable = false;
}

bool parseRuleArguments(const RuleArguments& given, RuleChange& change, std::string& error) {
    if (given.area && given.range) {
        error = tr("give --area or --range, not both");
        return false;
    }
    if (!convertName("--attribute", given.attribute, change.attribute, error) ||
        !convertName("--category", given.category, change.category, error))
        return false;
    // The editor's own check, on the bytes it would have stored.
    if (change.attribute) {
        switch (checkAttributeName(change.attribute->c_str())) {
        case AttributeNameFault::Empty: error = tr("--attribute: an attribute name is required"); return false;
        case AttributeNameFault::Backslash:
            error = tr("--attribute '%s': an attribute name cannot hold a backslash", {*given.attribute});
            return false;
        case AttributeNameFault::None: break;
        }
    }
    if (given.area && !parseArea(*given.area, change, error)) return false;
    if (given.range && !parseRange(*given.range, change, error)) return false;
    change.disable = given.disabled;
    return true;
}

bool parseRuleNumber(const std::string& text, std::size_t count, std::size_t& position, std::string& error) {
    std::uint64_t number = 0;
    Reader reader(text);
    if (!reader.number(number) || !reader.done()) {
        error = tr("'%s' is not a rule number (rules are numbered from 1, as rules list shows)", {text});
        return false;
    }
    if (number == 0 || number > count) {
        const std::string shown = number > kLargest ? text : std::to_string(number);
        error = number == 0  ? tr("rules are numbered from 1")
                : count == 0 ? tr("no rule %s: the file holds no rules", {shown})
                             : trn("no rule %s: the file holds %s rule", "no rule %s: the file holds %s rules", count,
                                   {shown, std::to_string(count)});
        return false;
    }
    position = static_cast<std::size_t>(number - 1);
    return true;
}
