// Arbitrary JPEG, TIFF, PNG and WebP files (or arbitrary packet bytes put
// into a tiny one) and an arbitrary set of rule results through the image
// rewrite. Beyond not crashing, a file written holds one packet where our
// walker and Exiv2 find it, keeps what Exiv2 reads of its Exif, IPTC and
// ICC profile, changes no byte outside its packet but the lengths and
// offsets that say where things are, and needs nothing on a second run.
#include <exiv2/exiv2.hpp>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "images/embedded_packet.h"
#include "images/embedded_xmp.h"
#include "images/exiv2_packet.h"
#include "xmp/exiv2_xmp.h"

namespace {

const Keyword kVocabulary[] = {{"Web", "Size"}, {"表示用", "用途"}, {"tiny", ""}, {"Rock & Roll", ""}};

void check(bool ok, const char* what) {
    if (ok) return;
    std::fprintf(stderr, "broken: %s\n", what);
    std::abort();
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
                key.find("JPEGInterchangeFormat") == std::string::npos && key.find("Exif.MpfInfo") != 0)
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

std::size_t offsetIn(const std::string& file, std::string_view part) {
    return static_cast<std::size_t>(part.data() - file.data());
}

// A JPEG's or PNG's change lies within its packet's segment or chunk (and
// a TIFF's within its header's IFD0 offset, the packet's entry, the old
// packet and what was appended), unless an MPF index had to follow it.
void checkBytes(EmbedFormat format, const std::string& before, const ImageLayout& old, const std::string& after,
                const ImageLayout& now) {
    if (format == EmbedFormat::Tiff) {
        check(after.size() >= before.size(), "a TIFF only grows");
        for (std::size_t i = 0; i < before.size(); ++i) {
            const bool packet = !old.packets.empty() && i >= offsetIn(before, old.packets[0]) &&
                                i < offsetIn(before, old.packets[0]) + old.packets[0].size();
            const bool entry = old.xmpEntry != ImageLayout::kNone && i >= old.xmpEntry && i < old.xmpEntry + 12;
            check(before[i] == after[i] || packet || entry || (i >= 4 && i < 8), "a TIFF keeps every byte not ours");
        }
        return;
    }
    if (format == EmbedFormat::Webp || !old.mpf.empty()) return;  // the RIFF size, the VP8X flag, the MP entries
    // Before the packet: its segment's marker, length and signature, or its
    // chunk's length, type and keyword; after it the chunk's CRC. Outside
    // them the files are the same; the old bytes between are its packet's.
    const std::size_t header = format == EmbedFormat::Jpeg ? 33 : 30, trailer = format == EmbedFormat::Jpeg ? 0 : 4;
    const std::size_t start = offsetIn(after, now.packets[0]) - header;
    const std::size_t tail = after.size() - (offsetIn(after, now.packets[0]) + now.packets[0].size() + trailer);
    check(start + tail <= before.size() && before.compare(0, start, after, 0, start) == 0 &&
              before.compare(before.size() - tail, tail, after, after.size() - tail, tail) == 0,
          "the files differ only in the packet's segment or chunk");
    if (old.packets.empty()) {
        check(start + tail == before.size(), "a new packet's segment or chunk is all that is added");
    } else {
        check(offsetIn(before, old.packets[0]) - header == start &&
                  offsetIn(before, old.packets[0]) + old.packets[0].size() + trailer == before.size() - tail,
              "the old bytes replaced are the old packet's segment or chunk");
    }
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

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
    registerPixtaggerXmpNamespace();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    std::vector<Keyword> keywords;
    for (std::size_t i = 0; i < sizeof kVocabulary / sizeof kVocabulary[0]; ++i) {
        if ((data[0] >> i) & 1) keywords.push_back(kVocabulary[i]);
    }
    std::string file(reinterpret_cast<const char*>(data) + 2, size - 2);
    EmbedFormat format{};
    std::string error;
    if ((data[1] & 0x80) != 0) {
        // The bytes are a packet, put into a tiny image by our writer.
        format = static_cast<EmbedFormat>(data[1] & 3);
        ImageLayout bare;
        std::string placed, wrapped;
        if (!readLayout(format, kImages[data[1] & 3], bare, error) ||
            !withPacket(format, kImages[data[1] & 3], bare, file, wrapped, placed, error))
            return 0;
        file.swap(wrapped);
    } else if (!embedFormatOf(file, format)) {
        return 0;
    }
    ImageLayout before, after;
    std::string written, again;
    KeywordEdits edits;
    if (!readLayout(format, file, before, error) ||
        rewriteImage(format, file, before, keywords, written, edits, error) != Rewrite::Changed)
        return 0;
    check(readLayout(format, written, after, error) && after.packets.size() == 1, "the new file holds one packet");
    check(firstChangedPart(before.parts, after.parts).empty(), "every part stays");
    checkBytes(format, file, before, written, after);
    std::string found, ignored;
    bool unreadable = false, oldUnreadable = false;
    if (exiv2FilePacket(written, format, found, unreadable, error)) {
        const std::string_view packet = after.packets[0];
        check(found == packet.substr(std::min(packet.find('<'), packet.size())),
              "Exiv2 finds the packet our walker does");
    } else {
        check(unreadable && !exiv2FilePacket(file, format, ignored, oldUnreadable, error) && oldUnreadable,
              "Exiv2 reads the new file where it read the old one");
    }
    const std::vector<std::string> facts = exiv2Facts(file);
    check(facts.empty() || facts == exiv2Facts(written), "Exif, IPTC and ICC read by Exiv2 as they were");
    check(rewriteImage(format, written, after, keywords, again, edits, error) == Rewrite::Unchanged,
          "a second run changes nothing to the image");
    return 0;
}
