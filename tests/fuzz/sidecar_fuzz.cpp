// Arbitrary sidecar bytes and an arbitrary set of rule results through the
// sidecar rewrite, then the same bytes as the packet inside a small JPEG,
// PNG, WebP or TIFF (or, for PNG and WebP, as the whole file) through the
// image rewrite. Beyond not crashing, a rewrite keeps every value a user
// had (with its repeats), records exactly the values it added, changes
// nothing when applied again, and keeps every property outside the keyword
// properties and our record; an image keeps what Exiv2 reads of its Exif,
// IPTC and ICC profile.
#include <exiv2/exiv2.hpp>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "images/embedded_packet.h"
#include "sidecars/embedded_xmp.h"
#include "sidecars/xmp_facts.h"
#include "sidecars/xmp_sidecar.h"
#include "sidecars/xmp_tags.h"

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

// The user's values kept, ours recorded, every other property as it was.
void checkRewrite(const std::string& bytes, const std::string& packet, const std::vector<Keyword>& keywords) {
    std::string error;
    std::vector<KeywordState> before, after;
    check(readKeywordState(bytes, before, error) && readKeywordState(packet, after, error), "the keywords read back");

    for (std::size_t p = 0; p < before.size(); ++p) {
        std::vector<std::string> wanted;
        for (const Keyword& keyword : keywords) wanted.push_back(keywordValues(keyword)[p]);
        const KeywordState& old = before[p];
        const KeywordState& now = after[p];
        for (const std::string& value : now.record) {
            check(count(now.record, value) == 1, "the record holds each value once");
            check(has(wanted, value), "the record holds only values that apply");
            // Ours: what we had recorded and was still there, or what was missing.
            check((has(old.record, value) && has(old.present, value)) || !has(old.present, value),
                  "the record holds only values we added");
        }
        for (const std::string& value : wanted) check(has(now.present, value), "every value that applies is there");
        std::vector<std::string> values = old.present;
        values.insert(values.end(), now.present.begin(), now.present.end());
        for (const std::string& value : values) {
            const std::size_t ours = has(old.record, value) && has(old.present, value) ? 1 : 0;
            const std::size_t users = count(old.present, value) - ours;
            check(count(now.present, value) == users + (has(now.record, value) ? 1 : 0),
                  "every value a user had is there, with its repeats, and ours once");
        }
    }

    std::vector<XmpFact> oldFacts, newFacts;
    check(readXmpFacts(bytes, oldFacts, error) && readXmpFacts(packet, newFacts, error), "both packets read");
    check(firstDifference(oldFacts, newFacts).empty(), "every other property comes back as it was");
}

// What Exiv2 reads of an image outside XMP, positions aside; empty where
// it cannot read the file.
std::vector<std::string> exiv2Facts(const std::string& file) {
    std::vector<std::string> facts;
    try {
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
        auto image = Exiv2::ImageFactory::open(reinterpret_cast<const Exiv2::byte*>(file.data()),
                                               static_cast<long>(file.size()));
#pragma GCC diagnostic pop
        image->readMetadata();
        for (const Exiv2::Exifdatum& datum : image->exifData()) {
            const std::string key = datum.key();
            if (key.find("Offsets") == std::string::npos && key != "Exif.Image.XMLPacket" &&
                key.find("JPEGInterchangeFormat") == std::string::npos)
                facts.push_back(key + "=" + datum.toString());
        }
        for (const Exiv2::Iptcdatum& datum : image->iptcData()) facts.push_back(datum.key() + "=" + datum.toString());
        const Exiv2::DataBuf* icc = image->iccProfile();
        if (icc != nullptr && icc->size_ > 0)
            facts.emplace_back(reinterpret_cast<const char*>(icc->pData_), icc->size_);
        facts.emplace_back("read");
    } catch (const std::exception&) {
        facts.clear();
    }
    return facts;
}

// Tiny images of each format, without a packet, in EmbedFormat's order:
// 1×1 pixels each.
const std::string kImages[] = {
    std::string("\xFF\xD8\xFF\xC0\x00\x0B\x08\x00\x01\x00\x01\x01\x01\x11\x00\xFF\xDA\x00\x08\x01\x01\x00\x00\x3F\x00"
                "\x00\xFF\xD9",
                28),
    std::string("II*\x00\x08\x00\x00\x00\x06\x00"
                "\x00\x01\x03\x00\x01\x00\x00\x00\x01\x00\x00\x00"  // ImageWidth
                "\x01\x01\x03\x00\x01\x00\x00\x00\x01\x00\x00\x00"  // ImageLength
                "\x06\x01\x03\x00\x01\x00\x00\x00\x01\x00\x00\x00"  // PhotometricInterpretation
                "\x11\x01\x04\x00\x01\x00\x00\x00\x56\x00\x00\x00"  // StripOffsets
                "\x16\x01\x03\x00\x01\x00\x00\x00\x01\x00\x00\x00"  // RowsPerStrip
                "\x17\x01\x04\x00\x01\x00\x00\x00\x01\x00\x00\x00"  // StripByteCounts
                "\x00\x00\x00\x00\x80",
                87),
    std::string("\x89PNG\r\n\x1A\n\x00\x00\x00\x0DIHDR\x00\x00\x00\x01\x00\x00\x00\x01\x08\x00\x00\x00\x00\x3A\x7E\x9B"
                "\x55\x00\x00\x00\x0AIDAT\x78\x9C\x63\x60\x00\x00\x00\x02\x00\x01\x48\xAF\xA4\x71\x00\x00\x00\x00IEND"
                "\xAE\x42\x60\x82",
                67),
    std::string("RIFF\x12\x00\x00\x00WEBPVP8L\x05\x00\x00\x00\x2F\x00\x00\x00\x00\x00", 26),
};

// The image rewrite of `file`: the keywords' rules, the other parts as
// Exiv2 reads them, and nothing more to do on a second run.
void checkImage(EmbedFormat format, const std::string& file, const std::vector<Keyword>& keywords) {
    ImageLayout before, after;
    std::string written, again, error;
    KeywordEdits edits;
    try {
        if (!readLayout(format, file, before, error) ||
            rewriteImage(format, file, before, keywords, written, edits, error) != Rewrite::Changed)
            return;
    } catch (const std::exception&) {
        return;  // the run names the image and leaves it alone
    }
    check(readLayout(format, written, after, error) && after.packets.size() == 1, "the new file holds one packet");
    const std::string packet(after.packets.front());
    if (!before.packets.empty()) checkRewrite(std::string(before.packets.front()), packet, keywords);
    const std::vector<std::string> facts = exiv2Facts(file);
    check(facts.empty() || facts == exiv2Facts(written), "Exif, IPTC and ICC read by Exiv2 as they were");
    check(rewriteImage(format, written, after, keywords, again, edits, error) == Rewrite::Unchanged,
          "a second run changes nothing to the image");
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

    std::string packet, error;
    KeywordEdits edits;
    Rewrite rewrite = Rewrite::Refused;
    try {
        rewrite = rewriteSidecar(bytes, keywords, packet, edits, error);
    } catch (const std::exception&) {
        // the run names the sidecar and leaves it alone
    }
    if (rewrite == Rewrite::Changed) {
        checkRewrite(bytes, packet, keywords);
        std::string again;
        KeywordEdits more;
        check(rewriteSidecar(packet, keywords, again, more, error) == Rewrite::Unchanged,
              "a second run changes nothing");
    }

    // Bits 12 and 13 choose the format; bit 14 takes the bytes for a whole
    // file instead of a packet.
    const auto format = static_cast<EmbedFormat>(mask >> 12 & 3);
    if ((mask >> 14 & 1) != 0) {
        EmbedFormat own{};
        ImageLayout layout;
        if (!embedFormatOf(bytes, own)) return 0;
        // Exiv2 writes JPEG and TIFF: only our walkers read those whole.
        if (own == EmbedFormat::Png || own == EmbedFormat::Webp) {
            checkImage(own, bytes, keywords);
        } else if (readLayout(own, bytes, layout, error)) {
            for (const ImagePart& part : layout.parts)
                check(part.bytes.empty() || (part.bytes.data() >= bytes.data() &&
                                             part.bytes.data() + part.bytes.size() <= bytes.data() + bytes.size()),
                      "every part lies within the file");
        }
        return 0;
    }
    const std::string& image = kImages[static_cast<int>(format)];
    std::string file;
    ImageLayout bare;
    if (format == EmbedFormat::Jpeg) {  // the packet as it is, not as Exiv2 would write it
        if (bytes.size() > 65000) return 0;
        const std::size_t length = bytes.size() + 31;
        file = image.substr(0, 2) + "\xFF\xE1" + static_cast<char>(length >> 8) + static_cast<char>(length & 0xFF) +
               std::string("http://ns.adobe.com/xap/1.0/", 29) + bytes + image.substr(2);
    } else {
        try {
            if (!readLayout(format, image, bare, error) || !withPacket(format, image, bare, bytes, file, error))
                return 0;
        } catch (const std::exception&) {
            return 0;  // not XMP that Exiv2 would write into a TIFF
        }
    }
    checkImage(format, file, keywords);
    return 0;
}
