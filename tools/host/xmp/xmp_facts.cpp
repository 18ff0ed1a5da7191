#include "xmp/xmp_facts.h"
#include "text/messages.h"

#include <expat.h>

#include <algorithm>
#include <cstring>
#include <memory>

namespace {

const std::string kRdf = "http://www.w3.org/1999/02/22-rdf-syntax-ns# ";
const std::string kXml = "http://www.w3.org/XML/1998/namespace ";
const std::string kMeta = "adobe:ns:meta/ ";
// Between the steps of a path: URIs hold slashes, names cannot hold this.
const std::string kStep = "\x1F";

// Deeper than any real packet; a bound on the work a hostile one can ask.
constexpr std::size_t kMaxDepth = 64;

struct Frame {
    std::string path;  // the property this element's content belongs to
    bool transparent = false;  // rdf:Description and the wrappers: their content is the parent's
    bool hasElements = false;
    bool hasFields = false;  // facts from its attributes: a struct written in attribute form
    int items = 0;  // rdf:li met so far
    std::string text;
};

struct Reader {
    XML_Parser parser = nullptr;
    std::vector<Frame> stack;
    std::vector<XmpFact> facts;
    std::string error;

    void fail(const char* reason) {
        if (error.empty()) error = reason;
        XML_StopParser(parser, XML_FALSE);
    }

    void add(std::string path, std::string value) { facts.push_back({std::move(path), std::move(value)}); }

    void start(const std::string& name, const char** attributes) {
        if (stack.size() >= kMaxDepth) return fail(tr("nested deeper than any XMP packet"));
        const std::string parent = stack.empty() ? std::string() : stack.back().path;
        if (!stack.empty()) stack.back().hasElements = true;
        Frame frame;
        frame.path = parent;
        if (name.compare(0, kMeta.size(), kMeta) == 0 || name == kRdf + "RDF" || name == kRdf + "Description") {
            frame.transparent = true;
        } else if (name == kRdf + "value") {
            // The value of a property with qualifiers is the property's own.
        } else if (name == kRdf + "Bag" || name == kRdf + "Seq" || name == kRdf + "Alt") {
            frame.path += kStep + name.substr(kRdf.size());
        } else if (name == kRdf + "li") {
            frame.path += kStep + "[" + std::to_string(stack.empty() ? 0 : ++stack.back().items) + "]";
        } else {
            frame.path += (parent.empty() ? "" : kStep) + name;
        }
        const bool wrapper = name.compare(0, kMeta.size(), kMeta) == 0 || name == kRdf + "RDF";
        for (const char** a = attributes; !wrapper && a[0] != nullptr; a += 2) {
            const std::string attribute = a[0];
            if (attribute == kRdf + "parseType" && std::strcmp(a[1], "Resource") == 0) continue;
            if (attribute == kRdf + "about" && a[1][0] == '\0') continue;
            if (attribute.compare(0, kRdf.size(), kRdf) == 0 || attribute.compare(0, kXml.size(), kXml) == 0) {
                // rdf:resource, rdf:about, xml:lang and the like qualify the value itself.
                std::string path = frame.path;
                add(path.append(kStep).append(1, '@').append(attribute), a[1]);
            } else {
                std::string path = frame.path;
                if (!path.empty()) path += kStep;
                add(path.append(attribute), a[1]);
                frame.hasFields = true;
            }
        }
        stack.push_back(std::move(frame));
    }

    void end() {
        if (!error.empty()) return;  // expat ends the tag it stopped in
        Frame frame = std::move(stack.back());
        stack.pop_back();
        if (frame.transparent) {
            // A Description's fields are its parent's, a struct's.
            if (!stack.empty() && frame.hasFields) stack.back().hasFields = true;
            return;
        }
        // An element without children is a value, the empty one included;
        // one with children or fields is a container, its text only layout.
        if (!frame.hasElements && (!frame.hasFields || !frame.text.empty())) add(frame.path, frame.text);
    }
};

}  // namespace

bool readXmpFacts(const std::string& bytes, std::vector<XmpFact>& facts, std::string& error) {
    const std::unique_ptr<XML_ParserStruct, decltype(&XML_ParserFree)> parser(XML_ParserCreateNS(nullptr, ' '),
                                                                              &XML_ParserFree);
    if (!parser) {
        error = tr("out of memory");
        return false;
    }
    Reader reader;
    reader.parser = parser.get();
    XML_SetUserData(parser.get(), &reader);
    XML_SetParamEntityParsing(parser.get(), XML_PARAM_ENTITY_PARSING_NEVER);
    XML_SetStartDoctypeDeclHandler(parser.get(), [](void* data, const XML_Char*, const XML_Char*, const XML_Char*, int) {
        static_cast<Reader*>(data)->fail(tr("holds a document type declaration"));
    });
    XML_SetElementHandler(
        parser.get(),
        [](void* data, const XML_Char* name, const XML_Char** attributes) {
            static_cast<Reader*>(data)->start(name, attributes);
        },
        [](void* data, const XML_Char*) { static_cast<Reader*>(data)->end(); });
    XML_SetCharacterDataHandler(parser.get(), [](void* data, const XML_Char* text, int length) {
        auto* reader = static_cast<Reader*>(data);
        if (!reader->stack.empty()) reader->stack.back().text.append(text, static_cast<std::size_t>(length));
    });
    if (bytes.size() > static_cast<std::size_t>(INT32_MAX) ||
        XML_Parse(parser.get(), bytes.data(), static_cast<int>(bytes.size()), XML_TRUE) != XML_STATUS_OK) {
        error = !reader.error.empty() ? reader.error
                                      : tr("not well-formed XML: %1$s at line %2$s",
                                           {XML_ErrorString(XML_GetErrorCode(parser.get())),
                                            std::to_string(XML_GetCurrentLineNumber(parser.get()))});
        return false;
    }
    std::sort(reader.facts.begin(), reader.facts.end());
    facts = std::move(reader.facts);
    return true;
}

std::string factProperty(const XmpFact& fact) {
    const std::size_t from = fact.path.compare(0, kStep.size() + 1, kStep + "@") == 0 ? kStep.size() + 1 : 0;
    return fact.path.substr(from, fact.path.find(kStep, from) - from);
}

std::string factSteps(const XmpFact& fact) {
    const std::size_t step = fact.path.find(kStep);
    return step == std::string::npos ? std::string() : fact.path.substr(step + kStep.size());
}

std::string firstDifference(const std::vector<XmpFact>& before, const std::vector<XmpFact>& after) {
    const auto differs = std::mismatch(before.begin(), before.end(), after.begin(), after.end());
    if (differs.first == before.end() && differs.second == after.end()) return std::string();
    const XmpFact& differing = differs.first == before.end() ? *differs.second
                               : differs.second == after.end()
                                   ? *differs.first
                                   : (*differs.first < *differs.second ? *differs.first : *differs.second);
    return factProperty(differing);
}
