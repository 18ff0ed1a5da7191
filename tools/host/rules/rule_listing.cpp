#include "rules/rule_listing.h"

#include <cstdio>

#include "text/messages.h"
#include "text/text_encoding.h"
#include "ui/condition_text.h"

namespace {

// A name is one field of one line: a tab or line break in it (a file
// written by hand) would move the columns.
std::string field(const std::string& cp932) {
    std::string out;
    for (const char c : cp932ToUtf8(cp932)) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte != 0x7F) {
            out += c;
            continue;
        }
        char escaped[8];
        std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
        out += escaped;
    }
    return out;
}

}  // namespace

std::string ruleLine(std::size_t number, const Condition& rule) {
    return std::to_string(number) + "\t" + (rule._bEnable ? tr("enabled") : tr("disabled")) + "\t" +
           field(rule._attName) + "\t" + field(rule._catName) + "\t" + cp932ToUtf8(formatCondition(rule));
}

std::string ruleJson(std::size_t number, const Condition& rule) {
    const auto member = [](const char* name, std::int32_t value) {
        return std::string(",\"") + name + "\":" + std::to_string(value);
    };
    return "{\"number\":" + std::to_string(number) + ",\"enabled\":" + (rule._bEnable ? "true" : "false") +
           ",\"attribute\":" + jsonString(cp932ToUtf8(rule._attName)) +
           ",\"category\":" + (rule._catName.empty() ? "null" : jsonString(cp932ToUtf8(rule._catName))) +
           ",\"condition\":" + jsonString(cp932ToUtf8(formatCondition(rule))) + member("type", rule._type) +
           member("a", rule._a) + member("cmbA", rule._cmbA) + member("b1", rule._b1) + member("cmbB1", rule._cmbB1) +
           member("b2", rule._b2) + member("cmbB2", rule._cmbB2) + "}";
}
