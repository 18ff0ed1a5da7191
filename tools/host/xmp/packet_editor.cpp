#include "xmp/packet_editor.h"

#include <algorithm>
#include <tuple>

#include "text/messages.h"
#include "xmp/packet_map.h"
#include "xmp/packet_text.h"

namespace {

const char kRdfUri[] = "http://www.w3.org/1999/02/22-rdf-syntax-ns#";

// One change in the text being edited (UTF-8).
struct Edit {
    std::size_t at, removed;
    std::string inserted;
};

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// How the text lays elements out around one: the white space before it,
// split into its line break (empty where it has none) and its indent.
struct Lead {
    std::string lineBreak, indent;
    std::string text() const { return lineBreak + indent; }
};

Lead leadBefore(const std::string& text, std::size_t at) {
    std::size_t from = at;
    while (from > 0 && isSpace(text[from - 1])) --from;
    const std::string run = text.substr(from, at - from);
    const std::size_t newline = run.rfind('\n');
    if (newline == std::string::npos) return {};  // on one line: compact
    return {newline > 0 && run[newline - 1] == '\r' ? "\r\n" : "\n", run.substr(newline + 1)};
}

// What one level of nesting adds to the indent, from a child's and its
// parent's leads; a space where they do not tell.
std::string stepOf(const Lead& child, const Lead& parent) {
    if (child.lineBreak.empty()) return std::string();
    if (child.indent.size() > parent.indent.size() && child.indent.compare(0, parent.indent.size(), parent.indent) == 0)
        return child.indent.substr(parent.indent.size());
    return " ";
}

Lead deeper(const Lead& lead, const std::string& step) { return {lead.lineBreak, lead.indent + step}; }

// The lead of a new child of `span`: its last child's where it has one.
Lead childLead(const std::string& text, const XmlSpan& span, const XmlSpan* parent) {
    if (span.hasChild) return leadBefore(text, span.lastChildStart);
    Lead own = leadBefore(text, span.start);
    if (own.lineBreak.empty()) return own;
    return deeper(own, parent != nullptr ? stepOf(own, leadBefore(text, parent->start)) : " ");
}

// Where the attributes of a start tag end: before its white space, "/" and ">".
std::size_t attributesEnd(const std::string& text, const XmlSpan& span) {
    std::size_t at = span.startEnd - 1;  // the '>'
    if (at > span.start && text[at - 1] == '/') --at;
    while (at > span.start && isSpace(text[at - 1])) --at;
    return at;
}

// Children put into an element after its last child, or into an empty one;
// `closing` is the lead of its end tag where the element had no content.
void appendChildren(const std::string& text, const XmlSpan& span, const std::string& children, const Lead& closing,
                    std::vector<Edit>& edits) {
    if (span.emptyTag()) {
        edits.push_back({span.close - 2, 2, ">" + children + closing.text() + "</" + span.qname + ">"});
        return;
    }
    if (span.hasChild) {
        edits.push_back({span.lastChildClose, 0, children});
        return;
    }
    // Only white space inside: the new children go first, and the end tag
    // gets a line of its own where it had none.
    const bool ownLine = text.find('\n', span.startEnd) < span.end;
    edits.push_back({span.startEnd, 0, ownLine ? children : children + closing.text()});
}

// Namespaces the new elements need, declared on one start tag. XMP's
// toolkit, Exiv2's among them, takes one prefix a namespace in the whole
// packet: a namespace declared anew keeps the prefix the packet gives it
// elsewhere, and no prefix the packet gives another namespace.
class Declarations {
public:
    Declarations(const NamespaceScope& scope, const NamespaceScope& declared) : scope_(scope), declared_(declared) {}

    // A prefix bound to `uri` where the new elements go, declared when none is.
    std::string prefixFor(const std::string& uri, const std::string& preferred) {
        if (bound(preferred) != nullptr && *bound(preferred) == uri) return preferred;
        for (auto it = scope_.rbegin(); it != scope_.rend(); ++it) {
            if (!it->first.empty() && it->second == uri && *bound(it->first) == uri) return it->first;
        }
        std::string prefix = preferred;
        for (const auto& [other, otherUri] : declared_) {
            if (otherUri == uri && !other.empty() && bound(other) == nullptr && !usedElsewhere(other, uri)) {
                prefix = other;
                break;
            }
        }
        for (int n = 2; bound(prefix) != nullptr || usedElsewhere(prefix, uri); ++n)
            prefix = preferred + std::to_string(n);
        scope_.emplace_back(prefix, uri);
        added_.emplace_back(prefix, uri);
        return prefix;
    }

    // The declarations added, laid out as the attributes of `tag` are.
    std::string text(const std::string& tag) const {
        std::string separator = " ";
        const std::size_t newline = tag.rfind('\n');
        if (newline != std::string::npos) {
            const std::size_t indent = tag.find_first_not_of(" \t", newline + 1);
            separator = (newline > 0 && tag[newline - 1] == '\r' ? "\r\n" : "\n") +
                        tag.substr(newline + 1, indent - newline - 1);
        }
        std::string out;
        for (const auto& [prefix, uri] : added_)
            out.append(separator).append("xmlns:").append(prefix).append("=\"").append(uri) += '"';
        return out;
    }
    bool any() const { return !added_.empty(); }

private:
    // The URI bound to `prefix` there, if any: the innermost binding holds.
    const std::string* bound(const std::string& prefix) const {
        for (auto it = scope_.rbegin(); it != scope_.rend(); ++it) {
            if (it->first == prefix) return &it->second;
        }
        return nullptr;
    }

    // Whether the packet binds `prefix` to another namespace anywhere.
    bool usedElsewhere(const std::string& prefix, const std::string& uri) const {
        return std::any_of(declared_.begin(), declared_.end(),
                           [&](const auto& d) { return d.first == prefix && d.second != uri; });
    }

    NamespaceScope scope_;
    const NamespaceScope& declared_;
    NamespaceScope added_;
};

class Editor {
public:
    Editor(const std::string& text, const PacketMap& map, PacketEncoding encoding)
        : text_(text), map_(map), encoding_(encoding) {}

    bool item(const std::string& value, const std::string& rdf, std::string& out, std::string& error) const {
        std::string escaped;
        if (!escapeValue(value, encoding_, escaped)) {
            error = tr("the keyword \"%s\" holds a character XML cannot hold; left as it is", {value});
            return false;
        }
        out = "<" + rdf + "li>" + escaped + "</" + rdf + "li>";
        return true;
    }

    // One array's change where it stands. Our record goes whole once it
    // holds nothing; a keyword property keeps its element, which may have
    // been the user's before any item was ours.
    bool change(const ArraySpan& array, const ArrayChange& delta, bool record, std::string& error) {
        if (record && array.items.size() == delta.removed.size() && delta.appended.empty()) {
            edits_.push_back(removal(array.property));
            return true;
        }
        for (const std::size_t i : delta.removed) edits_.push_back(removal(array.items[i]));
        if (delta.appended.empty()) return true;
        const std::string rdf = array.items.empty() ? array.array.prefix() : array.items.back().prefix();
        const Lead lead = childLead(text_, array.array, &array.property);
        std::string children, one;
        for (const std::string& value : delta.appended) {
            if (!item(value, rdf, one, error)) return false;
            children += lead.text() + one;
        }
        appendChildren(text_, array.array, children, leadBefore(text_, array.array.start), edits_);
        return true;
    }

    // A new property of the first rdf:Description (or of a new one),
    // written with `prefix` and the RDF prefix `rdf`.
    bool property(const std::string& qname, const std::string& type, const std::vector<std::string>& values,
                  const std::string& rdf, const Lead& lead, const std::string& step, std::string& out,
                  std::string& error) const {
        const Lead inner = deeper(lead, step), items = deeper(inner, step);
        out += lead.text() + "<" + qname + ">" + inner.text() + "<" + rdf + type + ">";
        std::string one;
        for (const std::string& value : values) {
            if (!item(value, rdf, one, error)) return false;
            out += items.text() + one;
        }
        out += inner.text() + "</" + rdf + type + ">" + lead.text() + "</" + qname + ">";
        return true;
    }

    struct NewProperty {
        const XmpName* name;
        const char* type;
        const std::vector<std::string>* values;
    };

    bool addProperties(const std::vector<NewProperty>& added, std::string& error) {
        if (added.empty()) return true;
        const bool hasDescription = map_.hasDescription;
        if (!hasDescription && map_.rdf.prefix().empty()) {
            error = tr("holds no rdf:Description, and its rdf:RDF has no prefix to make one with; left as it is");
            return false;
        }
        const XmlSpan& parent = hasDescription ? map_.description : map_.rdf;
        Declarations declarations(hasDescription ? map_.descriptionScope : map_.rdfScope, map_.declared);
        const std::string rdfPrefix = parent.prefix().empty() ? declarations.prefixFor(kRdfUri, "rdf") + ":"
                                                              : parent.prefix();
        const Lead lead = childLead(text_, parent, hasDescription ? &map_.rdf : nullptr);
        const Lead own = leadBefore(text_, parent.start);
        const std::string step = stepOf(lead, own);
        std::string children;
        const Lead propertyLead = hasDescription ? lead : deeper(lead, step);
        for (const NewProperty& p : added) {
            const std::string prefix = declarations.prefixFor(p.name->uri, p.name->prefix);
            if (!property(prefix + ":" + p.name->name, p.type, *p.values, rdfPrefix, propertyLead, step, children,
                          error))
                return false;
        }
        if (!hasDescription) {
            // The description of the resource the packet is about: "" as a
            // new packet has it.
            const std::string description = rdfPrefix + "Description";
            children = lead.text() + "<" + description + " " + rdfPrefix + "about=\"\"" + declarations.text("") + ">" +
                       children + lead.text() + "</" + description + ">";
        } else if (declarations.any()) {
            const std::size_t at = attributesEnd(text_, parent);
            edits_.push_back({at, 0, declarations.text(text_.substr(parent.start, at - parent.start))});
        }
        appendChildren(text_, parent, children, own, edits_);
        return true;
    }

    std::vector<Edit>& edits() { return edits_; }

private:
    // An element with the white space that leads to it.
    Edit removal(const XmlSpan& span) const {
        std::size_t from = span.start;
        while (from > 0 && isSpace(text_[from - 1])) --from;
        return {from, span.close - from, std::string()};
    }

    const std::string& text_;
    const PacketMap& map_;
    PacketEncoding encoding_;
    std::vector<Edit> edits_;
};

}  // namespace

Rewrite editPacket(std::string_view packet, const std::vector<Keyword>& keywords, EditedPacket& edited,
                   std::string& error) {
    if (packet.find_first_not_of(" \t\r\n") == std::string_view::npos) {
        error = tr("not an XMP file (it holds no XML); left as it is");
        return Rewrite::Refused;
    }
    PacketEncoding encoding{};
    std::string text;
    if (!packetEncoding(packet, encoding, error) || !decodePacket(packet, encoding, text, error)) {
        error = tr("not valid XMP (%s); left as it is", {error});
        return Rewrite::Refused;
    }
    PacketMap map;
    if (!mapPacket(text, encoding != PacketEncoding::Utf8, map, error)) return Rewrite::Refused;

    PerProperty<KeywordArrays> state;
    for (std::size_t p = 0; p < kKeywordProperties; ++p) {
        const ArraySpan& array = map.keywords[p];
        state[p].present = array.values;
        state[p].record = map.records[p].values;
        std::string escaped;
        for (std::size_t i = 0; i < array.items.size(); ++i) {
            const XmlSpan& item = array.items[i];
            state[p].canonical.push_back(escapeValue(array.values[i], encoding, escaped) &&
                                         text.compare(item.startEnd, item.end - item.startEnd, escaped) == 0);
        }
    }
    edited.plan = planKeywords(state, keywords);
    if (!edited.plan.edits.any()) return Rewrite::Unchanged;

    Editor editor(text, map, encoding);
    std::vector<Editor::NewProperty> added;
    for (std::size_t p = 0; p < kKeywordProperties; ++p) {
        const KeywordProperty& k = kKeywordProperty[p];
        for (const auto& [array, change, name, type] :
             {std::make_tuple(&map.keywords[p], &edited.plan.keywords[p], &k.property, k.arrayType),
              std::make_tuple(&map.records[p], &edited.plan.records[p], &k.record, "Bag")}) {
            if (!change->any()) continue;
            if (array->found) {
                if (!editor.change(*array, *change, name == &k.record, error)) return Rewrite::Refused;
            } else {
                added.push_back({name, type, &change->appended});
            }
        }
    }
    // The new properties keep the order of the table: the keyword
    // properties first, our record after them.
    std::stable_partition(added.begin(), added.end(), [](const Editor::NewProperty& p) {
        return std::string(p.name->uri) != kPixtaggerXmpNamespace;
    });
    if (!editor.addProperties(added, error)) return Rewrite::Refused;

    std::vector<Edit>& edits = editor.edits();
    std::stable_sort(edits.begin(), edits.end(),
                     [](const Edit& a, const Edit& b) { return a.at != b.at ? a.at < b.at : a.removed < b.removed; });
    std::string result;
    edited.spans.clear();
    std::size_t from = 0, original = 0;
    for (const Edit& edit : edits) {
        result.append(text, from, edit.at - from);
        original += encodedSize(std::string_view(text).substr(from, edit.at - from), encoding);
        const std::size_t removed = encodedSize(std::string_view(text).substr(edit.at, edit.removed), encoding);
        edited.spans.push_back({original, removed, encodePacket(edit.inserted, encoding)});
        result += edit.inserted;
        original += removed;
        from = edit.at + edit.removed;
    }
    result.append(text, from, std::string::npos);
    edited.bytes = encodePacket(result, encoding);
    return Rewrite::Changed;
}

std::string emptyPacket(bool padded) {
    std::string packet =
        "<?xpacket begin=\"\xEF\xBB\xBF\" id=\"W5M0MpCehiHzreSzNTczkc9d\"?>\n"
        "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\">\n"
        " <rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\">\n"
        "  <rdf:Description rdf:about=\"\"/>\n"
        " </rdf:RDF>\n"
        "</x:xmpmeta>\n";
    // XMP's own update method: white space that a later writer can take
    // the packet's growth from, the file keeping its size.
    if (padded) {
        for (int line = 0; line < 20; ++line) packet += std::string(100, ' ') + "\n";
    }
    return packet + "<?xpacket end=\"w\"?>";
}
