#include "xmp/packet_proof.h"

#include <algorithm>
#include <array>

#include "text/messages.h"
#include "xmp/exiv2_xmp.h"
#include "xmp/xmp_facts.h"

namespace {

using Values = std::vector<std::string>;

std::string uriName(const XmpName& name) { return std::string(name.uri) + " " + name.name; }

// A property for messages: "rdf:about", else its name and namespace.
std::string shown(const std::string& property) {
    const std::size_t space = property.find(' ');
    if (space == std::string::npos) return property;
    const std::string uri = property.substr(0, space), name = property.substr(space + 1);
    if (uri == "http://www.w3.org/1999/02/22-rdf-syntax-ns#") return "rdf:" + name;
    if (uri == "http://www.w3.org/XML/1998/namespace") return "xml:" + name;
    for (const KeywordProperty& k : kKeywordProperty) {
        if (property == uriName(k.property)) return k.property.shown();
    }
    return name + " (of " + uri + ")";
}

// `values` less `removed` and with `added`, as a sorted multiset.
Values expected(Values values, const std::string& property, const KeywordEdits& edits) {
    for (const KeywordEdit& edit : edits.removed) {
        if (edit.property != property) continue;
        const auto it = std::find(values.begin(), values.end(), edit.value);
        if (it != values.end()) values.erase(it);
    }
    for (const KeywordEdit& edit : edits.added) {
        if (edit.property == property) values.push_back(edit.value);
    }
    std::sort(values.begin(), values.end());
    return values;
}

Values sorted(Values values) {
    std::sort(values.begin(), values.end());
    return values;
}

// The facts of the six properties of ours, each an array's items, and the
// rest of the packet's facts.
struct Split {
    std::vector<XmpFact> others;
    std::array<Values, 2 * kKeywordProperties> items;
    std::array<std::string, 2 * kKeywordProperties> arrayType;
};

bool split(const std::vector<XmpFact>& facts, Split& out, std::string& error) {
    std::array<std::string, 2 * kKeywordProperties> names;
    for (std::size_t p = 0; p < kKeywordProperties; ++p) {
        names[p] = uriName(kKeywordProperty[p].property);
        names[kKeywordProperties + p] = uriName(kKeywordProperty[p].record);
    }
    for (const XmpFact& fact : facts) {
        const auto which = std::find(names.begin(), names.end(), factProperty(fact));
        if (which == names.end()) {
            out.others.push_back(fact);
            continue;
        }
        const auto i = static_cast<std::size_t>(which - names.begin());
        // An item ("Bag\x1F[3]"), or an empty array ("Bag", no value).
        const std::string steps = factSteps(fact);
        const std::string type = steps.substr(0, steps.find('\x1F'));
        const bool item = steps.size() > type.size() + 2 && steps[type.size() + 1] == '[' && steps.back() == ']' &&
                          steps.find('\x1F', type.size() + 1) == std::string::npos;
        if ((type != "Bag" && type != "Seq" && type != "Alt") || (!item && steps != type) ||
            (!out.arrayType[i].empty() && out.arrayType[i] != type)) {
            error = tr("%s would not be a list of texts; left as it is", {shown(*which)});
            return false;
        }
        out.arrayType[i] = type;
        if (item) out.items[i].push_back(fact.value);
    }
    return true;
}

bool expatAgrees(std::string_view before, std::string_view after, const KeywordPlan& plan, std::string& error) {
    std::vector<XmpFact> old, now;
    if (!readXmpFacts(std::string(before), old, error)) return false;
    if (!readXmpFacts(std::string(after), now, error)) {
        error = tr("the new packet would not read back (%s); left as it is", {error});
        return false;
    }
    Split a, b;
    if (!split(old, a, error) || !split(now, b, error)) return false;
    const std::string lost = firstDifference(a.others, b.others);
    if (!lost.empty()) {
        error = tr("%s would not come back as it is; left as it is", {shown(lost)});
        return false;
    }
    for (std::size_t p = 0; p < kKeywordProperties; ++p) {
        const XmpName& name = kKeywordProperty[p].property;
        if (sorted(b.items[p]) != expected(a.items[p], name.shown(), plan.edits) ||
            (!a.items[p].empty() && !b.items[p].empty() && a.arrayType[p] != b.arrayType[p])) {
            error = tr("%s would not hold exactly the values meant; left as it is", {name.shown()});
            return false;
        }
        if (sorted(b.items[kKeywordProperties + p]) != sorted(plan.record[p])) {
            error = tr("%s would not hold exactly our values; left as it is", {kKeywordProperty[p].record.shown()});
            return false;
        }
    }
    return true;
}

bool exiv2Agrees(std::string_view before, std::string_view after, const KeywordPlan& plan, std::string& error) {
    const Exiv2Reading old = exiv2Reading(before);
    if (!old.read) return true;
    const Exiv2Reading now = exiv2Reading(after);
    if (!now.read) {
        error = tr("Exiv2 could not read the new packet, though it read the old one; left as it is");
        return false;
    }
    const auto lost = std::mismatch(old.others.begin(), old.others.end(), now.others.begin(), now.others.end());
    if (lost.first != old.others.end() || lost.second != now.others.end()) {
        const std::string& line = lost.first != old.others.end() ? *lost.first : *lost.second;
        error = tr("Exiv2 would read %s otherwise; left as it is", {line.substr(0, line.find(' '))});
        return false;
    }
    for (std::size_t p = 0; p < kKeywordProperties; ++p) {
        const std::string name = kKeywordProperty[p].property.shown();
        if (sorted(now.keywords[p]) != expected(old.keywords[p], name, plan.edits) ||
            sorted(now.records[p]) != sorted(plan.record[p])) {
            error = tr("Exiv2 would read %s otherwise than meant; left as it is", {name});
            return false;
        }
    }
    return true;
}

}  // namespace

bool provePacket(std::string_view before, std::string_view after, const KeywordPlan& plan, std::string& error) {
    return expatAgrees(before, after, plan, error) && exiv2Agrees(before, after, plan, error);
}
