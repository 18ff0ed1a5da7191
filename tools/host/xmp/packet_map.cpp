#include "xmp/packet_map.h"
#include "text/messages.h"

#include <expat.h>

#include <cstring>
#include <memory>

namespace {

// Between the parts of expat's names: URIs and names hold no control character.
constexpr char kSeparator = '\x1F';
const std::string kRdf = "http://www.w3.org/1999/02/22-rdf-syntax-ns#";
const std::string kMeta = "adobe:ns:meta/";

// Deeper than any real packet; a bound on the work a hostile one can ask.
constexpr std::size_t kMaxDepth = 64;

struct Name {
    std::string uri, local, prefix;
};

Name split(const char* expatName) {
    Name name;
    const char* first = std::strchr(expatName, kSeparator);
    if (first == nullptr) {
        name.local = expatName;
        return name;
    }
    name.uri.assign(expatName, first);
    const char* second = std::strchr(first + 1, kSeparator);
    name.local.assign(first + 1, second != nullptr ? second : first + std::strlen(first));
    if (second != nullptr) name.prefix = second + 1;
    return name;
}

enum class Role { Other, Root, Rdf, Description, Property, Array, Item };

struct Frame {
    Role role = Role::Other;
    ArraySpan* target = nullptr;  // Property, Array, Item: the array it belongs to
    std::string shown;  // its name in messages
    XmlSpan span;
    bool hasArray = false;
    std::string text;
};

bool isWhiteSpace(const std::string& text) { return text.find_first_not_of(" \t\r\n") == std::string::npos; }

struct Mapper {
    XML_Parser parser = nullptr;
    PacketMap* map = nullptr;
    std::vector<Frame> stack;
    NamespaceScope scope;
    bool rdfSeen = false;
    std::string error;

    void fail(const std::string& reason) {
        if (error.empty()) error = reason;
        XML_StopParser(parser, XML_FALSE);
    }

    // The array of ours a name is, if any, with its name for messages.
    ArraySpan* ours(const Name& name, std::string& shown) {
        for (std::size_t p = 0; p < kKeywordProperties; ++p) {
            const KeywordProperty& k = kKeywordProperty[p];
            if (name.uri == k.property.uri && name.local == k.property.name) {
                shown = k.property.shown();
                return &map->keywords[p];
            }
            if (name.uri == k.record.uri && name.local == k.record.name) {
                shown = k.record.shown();
                return &map->records[p];
            }
        }
        return nullptr;
    }

    void start(const char* expatName, const char** attributes) {
        if (stack.size() >= kMaxDepth) return fail(tr("nested deeper than any XMP packet; left as it is"));
        const Name name = split(expatName);
        Frame frame;
        frame.span.start = static_cast<std::size_t>(XML_GetCurrentByteIndex(parser));
        frame.span.startEnd = frame.span.start + static_cast<std::size_t>(XML_GetCurrentByteCount(parser));
        frame.span.qname = name.prefix.empty() ? name.local : name.prefix + ":" + name.local;
        Frame* parent = stack.empty() ? nullptr : &stack.back();
        if (parent != nullptr) {
            parent->span.hasChild = true;
            parent->span.lastChildStart = frame.span.start;
        }
        const Role parentRole = parent != nullptr ? parent->role : Role::Other;
        const bool rdf = name.uri == kRdf;
        if (parent == nullptr) {
            if (name.uri == kMeta && (name.local == "xmpmeta" || name.local == "xapmeta")) {
                frame.role = Role::Root;
            } else if (rdf && name.local == "RDF") {
                frame.role = Role::Rdf;
            } else {
                return fail(tr("not an XMP packet (its root element is not x:xmpmeta or rdf:RDF); left as it is"));
            }
        } else if (parentRole == Role::Root && rdf && name.local == "RDF") {
            frame.role = Role::Rdf;
        } else if (parentRole == Role::Rdf && rdf && name.local == "Description") {
            frame.role = Role::Description;
        } else if (parentRole == Role::Description) {
            std::string shown;
            frame.target = ours(name, shown);
            if (frame.target != nullptr) {
                frame.role = Role::Property;
                frame.shown = shown;
                if (frame.target->found) return fail(tr("%s appears twice; left as it is", {shown}));
                if (attributes[0] != nullptr) {
                    const std::string attribute = attributes[0];
                    return fail(attribute == kRdf + kSeparator + "resource"
                                    ? tr("%s is a resource, not a list; left as it is", {shown})
                                : attribute == kRdf + kSeparator + "parseType"
                                    ? tr("%s has an rdf:parseType; left as it is", {shown})
                                    : tr("%s has qualifiers; left as it is", {shown}));
                }
            }
        } else if (parentRole == Role::Property) {
            if (parent->hasArray || !rdf || (name.local != "Bag" && name.local != "Seq" && name.local != "Alt") ||
                attributes[0] != nullptr)
                return fail(tr("%s is not a list of texts; left as it is", {parent->shown}));
            parent->hasArray = true;
            frame.role = Role::Array;
            frame.target = parent->target;
            frame.shown = parent->shown;
            frame.target->arrayType = name.local;
        } else if (parentRole == Role::Array) {
            if (!rdf || name.local != "li" || attributes[0] != nullptr)
                return fail(tr("%s has items with qualifiers or structure; left as it is", {parent->shown}));
            frame.role = Role::Item;
            frame.target = parent->target;
            frame.shown = parent->shown;
        } else if (parentRole == Role::Item) {
            return fail(tr("%s has items with qualifiers or structure; left as it is", {parent->shown}));
        }
        if (frame.role == Role::Rdf) {
            if (rdfSeen) return fail(tr("holds two rdf:RDF elements; left as it is"));
            rdfSeen = true;
            map->rdfScope = scope;
        }
        if (frame.role == Role::Description) {
            if (!map->hasDescription) map->descriptionScope = scope;
            // A keyword property as an attribute is a simple value.
            for (const char** a = attributes; a[0] != nullptr; a += 2) {
                const Name attribute = split(a[0]);
                std::string shown;
                if (ours(attribute, shown) != nullptr)
                    return fail(tr("%s is a simple value, not a list; left as it is", {shown}));
            }
        }
        stack.push_back(std::move(frame));
    }

    void end() {
        if (!error.empty()) return;  // expat ends the tag it stopped in
        Frame frame = std::move(stack.back());
        stack.pop_back();
        XmlSpan& span = frame.span;
        const auto at = static_cast<std::size_t>(XML_GetCurrentByteIndex(parser));
        const auto count = static_cast<std::size_t>(XML_GetCurrentByteCount(parser));
        span.end = count == 0 ? span.startEnd : at;
        span.close = count == 0 ? span.startEnd : at + count;
        if (!stack.empty()) stack.back().span.lastChildClose = span.close;
        switch (frame.role) {
        case Role::Rdf: map->rdf = span; break;
        case Role::Description:
            if (!map->hasDescription) {
                map->hasDescription = true;
                map->description = span;
            }
            break;
        case Role::Property:
            if (!frame.hasArray || !isWhiteSpace(frame.text))
                return fail(tr("%s is a simple value, not a list; left as it is", {frame.shown}));
            frame.target->found = true;
            frame.target->property = span;
            break;
        case Role::Array:
            if (!isWhiteSpace(frame.text))
                return fail(tr("%s has text between its items; left as it is", {frame.shown}));
            frame.target->array = span;
            break;
        case Role::Item:
            frame.target->items.push_back(span);
            frame.target->values.push_back(std::move(frame.text));
            break;
        case Role::Root:
        case Role::Other: break;
        }
    }

    void text(const char* text, int length) {
        if (stack.empty()) return;
        Frame& frame = stack.back();
        if (frame.role == Role::Property || frame.role == Role::Array || frame.role == Role::Item)
            frame.text.append(text, static_cast<std::size_t>(length));
    }
};

}  // namespace

bool mapPacket(const std::string& text, bool forceUtf8, PacketMap& map, std::string& error) {
    map = PacketMap();
    const std::unique_ptr<XML_ParserStruct, decltype(&XML_ParserFree)> parser(
        XML_ParserCreateNS(forceUtf8 ? "UTF-8" : nullptr, kSeparator), &XML_ParserFree);
    if (!parser) {
        error = tr("out of memory");
        return false;
    }
    XML_SetReturnNSTriplet(parser.get(), 1);
    Mapper mapper;
    mapper.parser = parser.get();
    mapper.map = &map;
    XML_SetUserData(parser.get(), &mapper);
    XML_SetParamEntityParsing(parser.get(), XML_PARAM_ENTITY_PARSING_NEVER);
    XML_SetStartDoctypeDeclHandler(parser.get(), [](void* data, const XML_Char*, const XML_Char*, const XML_Char*, int) {
        static_cast<Mapper*>(data)->fail(tr("holds a document type declaration; left as it is"));
    });
    XML_SetNamespaceDeclHandler(
        parser.get(),
        [](void* data, const XML_Char* prefix, const XML_Char* uri) {
            auto* mapper = static_cast<Mapper*>(data);
            mapper->scope.emplace_back(prefix != nullptr ? prefix : "", uri != nullptr ? uri : "");
            mapper->map->declared.push_back(mapper->scope.back());
        },
        [](void* data, const XML_Char* prefix) {
            NamespaceScope& scope = static_cast<Mapper*>(data)->scope;
            const std::string name = prefix != nullptr ? prefix : "";
            for (auto it = scope.rbegin(); it != scope.rend(); ++it) {
                if (it->first != name) continue;
                scope.erase(std::next(it).base());
                break;
            }
        });
    XML_SetElementHandler(
        parser.get(),
        [](void* data, const XML_Char* name, const XML_Char** attributes) {
            static_cast<Mapper*>(data)->start(name, attributes);
        },
        [](void* data, const XML_Char*) { static_cast<Mapper*>(data)->end(); });
    XML_SetCharacterDataHandler(parser.get(), [](void* data, const XML_Char* text, int length) {
        static_cast<Mapper*>(data)->text(text, length);
    });
    if (text.size() > static_cast<std::size_t>(INT32_MAX) ||
        XML_Parse(parser.get(), text.data(), static_cast<int>(text.size()), XML_TRUE) != XML_STATUS_OK) {
        error = !mapper.error.empty() ? mapper.error
                                      : tr("not valid XMP (not well-formed XML: %1$s at line %2$s); left as it is",
                                           {XML_ErrorString(XML_GetErrorCode(parser.get())),
                                            std::to_string(XML_GetCurrentLineNumber(parser.get()))});
        return false;
    }
    if (!mapper.rdfSeen) {
        error = tr("not an XMP packet (no rdf:RDF element in it); left as it is");
        return false;
    }
    return true;
}
