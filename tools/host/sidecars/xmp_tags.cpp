#include "xmp_tags.h"

#include <exiv2/exiv2.hpp>

#include <algorithm>
#include <stdexcept>

// A reserved top-level domain: the URI can never name anybody else's schema.
const char* const kPixtaggerXmpNamespace = "http://pixtagger.invalid/xmp/1.0/";
const char* const kPixtaggerXmpPrefix = "pixtagger";

namespace {

using Items = std::vector<std::string>;

struct Property {
    const char* key;  // the keyword property
    Exiv2::TypeId type;  // its array type when we create it
    char separator;  // between category and name; 0: the name alone
    const char* recordKey;  // our bag of the values we added to it
};

// Lightroom's hierarchy, digiKam's tag paths, and the flat keywords every
// other program reads.
const Property kProperties[] = {
    {"Xmp.lr.hierarchicalSubject", Exiv2::xmpBag, '|', "Xmp.pixtagger.lrHierarchicalSubject"},
    {"Xmp.digiKam.TagsList", Exiv2::xmpSeq, '/', "Xmp.pixtagger.digiKamTagsList"},
    {"Xmp.dc.subject", Exiv2::xmpBag, 0, "Xmp.pixtagger.dcSubject"},
};

std::string valueFor(const Property& property, const Keyword& keyword) {
    if (property.separator == 0 || keyword.category.empty()) return keyword.name;
    return keyword.category + property.separator + keyword.name;
}

bool contains(const Items& items, const std::string& value) {
    return std::find(items.begin(), items.end(), value) != items.end();
}

// "dc:subject" for "Xmp.dc.subject".
std::string shownName(const std::string& key) {
    std::string name = key.substr(4);
    name[name.find('.')] = ':';
    return name;
}

// The values of an array property, or its one text; throws for forms we
// would damage by rewriting them as a plain list.
Items itemsOf(const Exiv2::XmpData& xmp, const std::string& key) {
    for (const Exiv2::Xmpdatum& datum : xmp) {
        const std::string other = datum.key();
        if (other.size() > key.size() && other.compare(0, key.size(), key) == 0 &&
            (other[key.size()] == '[' || other[key.size()] == '/')) {
            throw std::runtime_error(shownName(key) + " has items with qualifiers or structure; left as it is");
        }
    }
    Items items;
    const auto it = xmp.findKey(Exiv2::XmpKey(key));
    if (it == xmp.end()) return items;
    const Exiv2::Value& value = it->value();
    if (value.typeId() == Exiv2::xmpBag || value.typeId() == Exiv2::xmpSeq || value.typeId() == Exiv2::xmpAlt) {
        for (long i = 0; i < value.count(); ++i) items.push_back(value.toString(i));
        return items;
    }
    const auto* text = dynamic_cast<const Exiv2::XmpTextValue*>(&value);
    if (text == nullptr || text->xmpStruct() != Exiv2::XmpValue::xsNone)
        throw std::runtime_error(shownName(key) + " is not a list of texts; left as it is");
    if (text->xmpArrayType() == Exiv2::XmpValue::xaNone) items.push_back(text->toString());
    return items;  // an empty array has no items
}

Exiv2::TypeId arrayTypeOf(const Exiv2::XmpData& xmp, const std::string& key, Exiv2::TypeId fallback) {
    const auto it = xmp.findKey(Exiv2::XmpKey(key));
    if (it == xmp.end()) return fallback;
    const Exiv2::TypeId type = it->value().typeId();
    return type == Exiv2::xmpBag || type == Exiv2::xmpSeq || type == Exiv2::xmpAlt ? type : fallback;
}

// Replaces the property's value where it stands, so the packet keeps its
// order; an empty list removes the property.
void store(Exiv2::XmpData& xmp, const std::string& key, Exiv2::TypeId type, const Items& items) {
    const Exiv2::XmpKey xmpKey(key);
    auto it = xmp.findKey(xmpKey);
    if (items.empty()) {
        if (it != xmp.end()) xmp.erase(it);
        return;
    }
    Exiv2::XmpArrayValue value(type);
    for (const std::string& item : items) value.read(item);
    if (it != xmp.end()) {
        it->setValue(&value);
    } else {
        xmp.add(xmpKey, &value);
    }
}

}  // namespace

void registerPixtaggerXmpNamespace() {
    Exiv2::XmpParser::initialize();
    Exiv2::XmpProperties::registerNs(kPixtaggerXmpNamespace, kPixtaggerXmpPrefix);
}

void resetXmpNamespaces() {
    Exiv2::XmpProperties::unregisterNs();
    Exiv2::XmpProperties::registerNs(kPixtaggerXmpNamespace, kPixtaggerXmpPrefix);
}

bool keywordNamespacesIntact(std::string& error) {
    static const std::pair<const char*, const char*> kBindings[] = {
        {"dc", "http://purl.org/dc/elements/1.1/"},
        {"lr", "http://ns.adobe.com/lightroom/1.0/"},
        {"digiKam", "http://www.digikam.org/ns/1.0/"},
        {kPixtaggerXmpPrefix, kPixtaggerXmpNamespace},
    };
    for (const auto& [prefix, uri] : kBindings) {
        if (Exiv2::XmpProperties::ns(prefix) == uri) continue;
        error = std::string("binds the prefix ") + prefix + " to another namespace; left as it is";
        resetXmpNamespaces();
        return false;
    }
    return true;
}

void releaseXmpNamespaces() { Exiv2::XmpParser::terminate(); }

KeywordEdits applyKeywords(Exiv2::XmpData& xmp, const std::vector<Keyword>& keywords) {
    const std::vector<KeywordState> states = keywordState(xmp);  // every check before the first change
    struct Plan {
        const Items& present;
        const Items& record;
        Items wanted;
    };
    std::vector<Plan> plans;
    for (std::size_t p = 0; p < states.size(); ++p) {
        Plan plan{states[p].present, states[p].record, {}};
        for (const Keyword& keyword : keywords) {
            const std::string value = valueFor(kProperties[p], keyword);
            if (!contains(plan.wanted, value)) plan.wanted.push_back(value);
        }
        plans.push_back(std::move(plan));
    }

    KeywordEdits edits;
    std::vector<Items> records(plans.size());
    for (std::size_t p = 0; p < plans.size(); ++p) {
        const Property& property = kProperties[p];
        const Plan& plan = plans[p];
        Items present = plan.present;
        Items& record = records[p];
        // We own one occurrence of each value in our record, no more: every
        // other copy, repeats included, is the user's and stays.
        Items seen;
        for (const std::string& ours : plan.record) {
            if (contains(seen, ours)) continue;
            seen.push_back(ours);
            // A value the user took out since is no longer ours to track.
            if (!contains(present, ours)) continue;
            if (contains(plan.wanted, ours)) {
                record.push_back(ours);
            } else {
                present.erase(std::find(present.rbegin(), present.rend(), ours).base() - 1);
                edits.removed.push_back({shownName(property.key), ours});
            }
        }
        // A value already there that we did not add is the user's: never
        // recorded as ours, so never removed by a later run.
        for (const std::string& value : plan.wanted) {
            if (contains(present, value)) continue;
            present.push_back(value);
            record.push_back(value);
            edits.added.push_back({shownName(property.key), value});
        }
        if (present != plan.present) store(xmp, property.key, arrayTypeOf(xmp, property.key, property.type), present);
    }
    for (std::size_t p = 0; p < plans.size(); ++p) {  // our record after the keywords in a new packet
        if (records[p] == plans[p].record) continue;
        store(xmp, kProperties[p].recordKey, Exiv2::xmpBag, records[p]);
        edits.recordChanged = true;
    }
    // No properties at all would encode to no packet, which is not an XMP
    // file: an empty record keeps the sidecar valid.
    if (xmp.empty() && edits.any()) {
        const Exiv2::XmpArrayValue empty(Exiv2::xmpBag);
        xmp.add(Exiv2::XmpKey(kProperties[2].recordKey), &empty);
    }
    return edits;
}

std::vector<KeywordState> keywordState(const Exiv2::XmpData& xmp) {
    std::vector<KeywordState> state;
    for (const Property& property : kProperties)
        state.push_back({shownName(property.key), itemsOf(xmp, property.key), itemsOf(xmp, property.recordKey)});
    return state;
}

std::vector<std::string> keywordValues(const Keyword& keyword) {
    std::vector<std::string> values;
    for (const Property& property : kProperties) values.push_back(valueFor(property, keyword));
    return values;
}
