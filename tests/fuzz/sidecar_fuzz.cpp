// Arbitrary packet bytes and an arbitrary set of rule results through the
// packet editor and its proof. Beyond not crashing, an edit keeps every
// value a user had (with its repeats), records exactly the values it added,
// changes nothing when applied again, and changes no byte outside the
// keyword properties, our record and the first rdf:Description's start tag
// and end (where new properties and their namespaces go).
#include <exiv2/exiv2.hpp>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "xmp/exiv2_xmp.h"
#include "xmp/packet_map.h"
#include "xmp/packet_text.h"
#include "xmp/xmp_packet.h"

namespace {

// Names as rules hold them: separators of the hierarchical forms, XML's own
// characters, non-ASCII, white space at the edges.
const Keyword kVocabulary[] = {
    {"Web", "Size"},     {"表示用", "用途"}, {"tiny", ""},   {"a|b", "c"}, {"x/y", ""},     {"Rock & Roll", ""},
    {"caf\xC3\xA9", ""}, {"<&>\"'", "q"},    {" lead", " "}, {"Size", ""}, {"holiday", ""}, {"Web", ""},
};

void check(bool ok, const char* what) {
    if (ok) return;
    std::fprintf(stderr, "broken: %s\n", what);
    std::abort();
}

std::size_t count(const std::vector<std::string>& items, const std::string& value) {
    return static_cast<std::size_t>(std::count(items.begin(), items.end(), value));
}

bool has(const std::vector<std::string>& items, const std::string& value) { return count(items, value) > 0; }

bool mapOf(const std::string& bytes, PacketMap& map, PacketEncoding& encoding) {
    std::string text, error;
    return packetEncoding(bytes, encoding, error) && decodePacket(bytes, encoding, text, error) &&
           mapPacket(text, encoding != PacketEncoding::Utf8, map, error);
}

// The user's values kept, ours recorded.
void checkKeywords(const PacketMap& old, const PacketMap& now, const std::vector<Keyword>& keywords) {
    for (std::size_t p = 0; p < kKeywordProperties; ++p) {
        std::vector<std::string> wanted;
        for (const Keyword& keyword : keywords) wanted.push_back(keywordValues(keyword)[p]);
        const std::vector<std::string>& oldRecord = old.records[p].values;
        const std::vector<std::string>& oldPresent = old.keywords[p].values;
        const std::vector<std::string>& record = now.records[p].values;
        const std::vector<std::string>& present = now.keywords[p].values;
        for (const std::string& value : record) {
            check(count(record, value) == 1, "the record holds each value once");
            check(has(wanted, value), "the record holds only values that apply");
            // Ours: what we had recorded and was still there, or what was missing.
            check((has(oldRecord, value) && has(oldPresent, value)) || !has(oldPresent, value),
                  "the record holds only values we added");
        }
        for (const std::string& value : wanted) check(has(present, value), "every value that applies is there");
        std::vector<std::string> values = oldPresent;
        values.insert(values.end(), present.begin(), present.end());
        for (const std::string& value : values) {
            const std::size_t ours = has(oldRecord, value) && has(oldPresent, value) ? 1 : 0;
            const std::size_t users = count(oldPresent, value) - ours;
            check(count(present, value) == users + (has(record, value) ? 1 : 0),
                  "every value a user had is there, with its repeats, and ours once");
        }
    }
}

// The spans make the new bytes from the old, and each lies where the
// editor may write: inside one of our arrays (with the white space before
// it), the first description's start tag, or where its content ends.
void checkSpans(const std::string& old, const EditedPacket& edited, const PacketMap& map) {
    std::string rebuilt;
    std::size_t from = 0;
    for (const PacketSpan& span : edited.spans) {
        check(span.at >= from && span.at + span.removed <= old.size(), "the spans are in order");
        rebuilt.append(old, from, span.at - from).append(span.inserted);
        from = span.at + span.removed;
    }
    check(rebuilt.append(old, from, std::string::npos) == edited.bytes, "the spans are the whole change");

    std::vector<std::pair<std::size_t, std::size_t>> allowed;
    const auto withLead = [&](const XmlSpan& span) {
        std::size_t start = span.start;
        while (start > 0 && std::string(" \t\r\n").find(old[start - 1]) != std::string::npos) --start;
        allowed.emplace_back(start, span.close);
    };
    for (std::size_t p = 0; p < kKeywordProperties; ++p) {
        if (map.keywords[p].found) withLead(map.keywords[p].property);
        if (map.records[p].found) withLead(map.records[p].property);
    }
    const XmlSpan& parent = map.hasDescription ? map.description : map.rdf;
    allowed.emplace_back(parent.start, parent.startEnd);
    const std::size_t contentEnd = parent.hasChild ? parent.lastChildClose : parent.startEnd;
    allowed.emplace_back(contentEnd, contentEnd);
    for (const PacketSpan& span : edited.spans) {
        check(std::any_of(allowed.begin(), allowed.end(),
                          [&](const auto& a) { return span.at >= a.first && span.at + span.removed <= a.second; }),
              "no byte changes outside our arrays and where new properties go");
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
    registerPixtaggerXmpNamespace();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const unsigned mask = data[0] | (data[1] << 8);
    std::vector<Keyword> keywords;
    for (std::size_t i = 0; i < sizeof kVocabulary / sizeof kVocabulary[0]; ++i) {
        if ((mask >> i) & 1) keywords.push_back(kVocabulary[i]);
    }
    const std::string bytes(reinterpret_cast<const char*>(data) + 2, size - 2);
    EditedPacket edited;
    std::string error;
    if (rewritePacket(bytes, keywords, edited, error) != Rewrite::Changed) return 0;
    PacketMap old, now;
    PacketEncoding encoding{}, newEncoding{};
    check(mapOf(bytes, old, encoding) && mapOf(edited.bytes, now, newEncoding) && encoding == newEncoding,
          "both packets map in one encoding");
    checkKeywords(old, now, keywords);
    if (encoding == PacketEncoding::Utf8) checkSpans(bytes, edited, old);  // the map counts UTF-8 bytes
    EditedPacket again;
    check(rewritePacket(edited.bytes, keywords, again, error) == Rewrite::Unchanged, "a second run changes nothing");
    return 0;
}
