#include "image_files.h"

#include <algorithm>
#include <fstream>
#include <initializer_list>
#include <utility>
#include <vector>

using Bytes = std::vector<unsigned char>;

void put16le(Bytes& b, std::uint32_t v) {
    b.push_back(static_cast<unsigned char>(v));
    b.push_back(static_cast<unsigned char>(v >> 8));
}
void put32le(Bytes& b, std::uint32_t v) {
    put16le(b, v & 0xFFFF);
    put16le(b, v >> 16);
}

namespace {

void put32be(Bytes& b, std::uint32_t v) {
    for (int s = 24; s >= 0; s -= 8) b.push_back(static_cast<unsigned char>(v >> s));
}

// One IFD entry of count 1: a SHORT (type 3) or LONG value in place.
void putTiffEntry(Bytes& tiff, std::uint32_t tag, std::uint32_t type, std::uint32_t value) {
    put16le(tiff, tag);
    put16le(tiff, type);
    put32le(tiff, 1);
    if (type == 3) {
        put16le(tiff, value);
        put16le(tiff, 0);
    } else {
        put32le(tiff, value);
    }
}

std::uint32_t crc32(const Bytes& data, std::size_t from) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (std::size_t i = from; i < data.size(); ++i) {
        crc ^= data[i];
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

void chunk(Bytes& png, const char* type, const Bytes& data) {
    put32be(png, static_cast<std::uint32_t>(data.size()));
    const std::size_t start = png.size();
    png.insert(png.end(), type, type + 4);
    png.insert(png.end(), data.begin(), data.end());
    put32be(png, crc32(png, start));
}

// A zlib stream of stored (uncompressed) deflate blocks.
Bytes zlibStored(const Bytes& raw) {
    Bytes z = {0x78, 0x01};
    std::size_t at = 0;
    do {
        const std::size_t n = std::min<std::size_t>(raw.size() - at, 65535);
        z.push_back(at + n == raw.size() ? 1 : 0);
        put16le(z, static_cast<std::uint32_t>(n));
        put16le(z, static_cast<std::uint32_t>(~n & 0xFFFF));
        z.insert(z.end(), raw.begin() + static_cast<std::ptrdiff_t>(at),
                 raw.begin() + static_cast<std::ptrdiff_t>(at + n));
        at += n;
    } while (at < raw.size());
    std::uint32_t a = 1, b = 0;
    for (unsigned char c : raw) {
        a = (a + c) % 65521;
        b = (b + a) % 65521;
    }
    put32be(z, (b << 16) | a);
    return z;
}

Bytes pngHeader(std::uint32_t width, std::uint32_t height) {
    Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    Bytes ihdr;
    put32be(ihdr, width);
    put32be(ihdr, height);
    ihdr.insert(ihdr.end(), {8, 0, 0, 0, 0});  // 8-bit grey, no interlace
    chunk(png, "IHDR", ihdr);
    return png;
}

void save(const std::string& path, const Bytes& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

using Parts = std::initializer_list<Bytes>;

Bytes cat(Parts parts) {
    Bytes out;
    for (const Bytes& part : parts) out.insert(out.end(), part.begin(), part.end());
    return out;
}
Bytes be(std::uint32_t v, int bytes) {
    Bytes b;
    for (int s = 8 * (bytes - 1); s >= 0; s -= 8) b.push_back(static_cast<unsigned char>(v >> s));
    return b;
}
Bytes tag(const char* fourcc) { return Bytes(fourcc, fourcc + 4); }
// An ISOBMFF box, and a full box (version and flags first).
Bytes box(const char* type, Parts payload) {
    const Bytes body = cat(payload);
    return cat({be(static_cast<std::uint32_t>(body.size() + 8), 4), tag(type), body});
}
Bytes fullBox(const char* type, std::uint32_t version, Parts payload) {
    return box(type, {be(version << 24, 4), cat(payload)});
}

// A little-endian TIFF whose IFD0 holds `entries` (tag, LONG value), with
// an Exif directory of `exif` entries when there are any.
Bytes tiffWith(const std::vector<std::pair<std::uint32_t, std::uint32_t>>& entries,
               const std::vector<std::pair<std::uint32_t, std::uint32_t>>& exif) {
    Bytes tiff = {'I', 'I', 42, 0};
    put32le(tiff, 8);
    const std::size_t n = entries.size() + (exif.empty() ? 0 : 1);
    put16le(tiff, static_cast<std::uint32_t>(n));
    for (const auto& [t, v] : entries) putTiffEntry(tiff, t, 4, v);
    if (!exif.empty()) putTiffEntry(tiff, 0x8769, 4, static_cast<std::uint32_t>(8 + 2 + n * 12 + 4));
    put32le(tiff, 0);
    if (exif.empty()) return tiff;
    put16le(tiff, static_cast<std::uint32_t>(exif.size()));
    for (const auto& [t, v] : exif) putTiffEntry(tiff, t, 4, v);
    put32le(tiff, 0);
    return tiff;
}

}  // namespace

void writeHeif(const std::string& path, const std::vector<HeifItem>& items, std::uint32_t exifWidth,
               std::uint32_t exifHeight, bool wideIpma) {
    struct Item {
        const char* type;
        std::uint32_t width, height;
        Bytes data = {0}, refs;
    };
    // A reference box: item `from` to each of `to`, ids counted from 1.
    const auto ref = [](const char* type, std::size_t from, const std::vector<std::size_t>& to) {
        Bytes ids;
        for (const std::size_t id : to) ids = cat({ids, be(static_cast<std::uint32_t>(id), 2)});
        return box(type, {be(static_cast<std::uint32_t>(from), 2), be(static_cast<std::uint32_t>(to.size()), 2), ids});
    };
    std::vector<Item> all;
    for (const HeifItem& it : items)
        all.push_back({it.columns > 0 ? "grid" : "hvc1", it.width, it.height, Bytes(it.dataBytes, 0), {}});
    for (std::size_t i = 0; i < items.size(); ++i) {
        const HeifItem& it = items[i];
        if (it.columns > 0) {  // the grid's descriptor: 16-bit sizes, rows and columns less one
            all[i].data = cat({{0, 0}, be(it.rows - 1, 1), be(it.columns - 1, 1), be(it.width, 2), be(it.height, 2)});
            std::vector<std::size_t> tiles;
            for (std::uint32_t n = 0; n < it.columns * it.rows; ++n) {
                tiles.push_back(all.size() + 1);
                all.push_back({"hvc1", it.tileSize, it.tileSize, Bytes(it.dataBytes, 0), {}});
            }
            all[i].refs = ref("dimg", i + 1, tiles);
        }
        if (items[i].thumbnailOfPrimary) all[i].refs = ref("thmb", i + 1, {1});
    }
    if (exifWidth > 0) {
        all.push_back({"Exif", 0, 0, cat({be(0, 4), tiffWith({}, {{0xA002, exifWidth}, {0xA003, exifHeight}})}),
                       ref("cdsc", all.size() + 1, {1})});
    }
    // iloc holds offsets from the file's start: a first layout tells where
    // the data begins.
    std::size_t dataSize = 0;
    for (const Item& item : all) dataSize += item.data.size();
    const auto layout = [&](std::size_t dataAt) {
        Bytes infe, iref, ipco = box("hvcC", {{1}, Bytes(22, 0)}), ipma, iloc, mdat;
        const std::uint32_t first = wideIpma ? 202 : 2;  // the first ispe's index
        for (std::uint32_t pad = 2; pad < first; ++pad) ipco = cat({ipco, box("free", {})});
        std::uint32_t images = 0;
        std::vector<std::pair<std::uint32_t, std::uint32_t>> sizes;  // one ispe each, as phones share them
        for (std::size_t i = 0; i < all.size(); ++i) {
            const Bytes id = be(static_cast<std::uint32_t>(i + 1), 2);
            infe = cat({infe, fullBox("infe", 2, {id, be(0, 2), tag(all[i].type), {0}})});
            iref = cat({iref, all[i].refs});
            if (all[i].width > 0) {  // hvcC is property 1, the ispe boxes follow
                const auto size = std::make_pair(all[i].width, all[i].height);
                auto at = std::find(sizes.begin(), sizes.end(), size);
                if (at == sizes.end()) {
                    ipco = cat({ipco, fullBox("ispe", 0, {be(size.first, 4), be(size.second, 4)})});
                    at = sizes.insert(sizes.end(), size);
                }
                const auto index = static_cast<std::uint32_t>(first + (at - sizes.begin()));
                ipma = wideIpma ? cat({ipma, be(static_cast<std::uint32_t>(i + 1), 4), {2, 0x80, 1}, be(index, 2)})
                                : cat({ipma, id, {2, 0x81}, be(index, 1)});
                ++images;
            }
            iloc = cat({iloc, id, be(0, 2), be(1, 2), be(static_cast<std::uint32_t>(dataAt + mdat.size()), 4),
                        be(static_cast<std::uint32_t>(all[i].data.size()), 4)});
            mdat.insert(mdat.end(), all[i].data.begin(), all[i].data.end());
        }
        const auto count = be(static_cast<std::uint32_t>(all.size()), 2);
        return cat({box("ftyp", {tag("heic"), be(0, 4), tag("mif1"), tag("heic")}),
                    fullBox("meta", 0,
                            {fullBox("hdlr", 0, {be(0, 4), tag("pict"), Bytes(13, 0)}), fullBox("pitm", 0, {be(1, 2)}),
                             fullBox("iinf", 0, {count, infe}), fullBox("iref", 0, {iref}),
                             box("iprp", {box("ipco", {ipco}),
                                          box("ipma", {be(wideIpma ? 0x01000001 : 0, 4), be(images, 4), ipma})}),
                             fullBox("iloc", 0, {{0x44, 0}, count, iloc})}),
                    box("mdat", {mdat})});
    };
    save(path, layout(layout(0).size() - dataSize));
}

void writeCr3(const std::string& path, std::uint32_t width, std::uint32_t height,
              const std::vector<std::uint32_t>& pixelDimensions) {
    static const Bytes kCanonUuid = {0x85, 0xC0, 0xB6, 0x87, 0x82, 0x0F, 0x11, 0xE0,
                                     0x81, 0x11, 0xF4, 0xCE, 0x46, 0x2B, 0x6A, 0x48};
    const Bytes cmt1 = box("CMT1", {tiffWith({{256, width}, {257, height}}, {})});
    const Bytes cmt2 = pixelDimensions.size() < 2
                           ? Bytes()
                           : box("CMT2", {tiffWith({{0xA002, pixelDimensions[0]}, {0xA003, pixelDimensions[1]}}, {})});
    save(path, cat({box("ftyp", {tag("crx "), be(1, 4), tag("crx "), tag("isom")}),
                    box("moov", {box("uuid", {kCanonUuid, cmt1, cmt2})}), box("mdat", {Bytes(16, 0)})}));
}

void writePng(const std::string& path, std::uint32_t width, std::uint32_t height) {
    Bytes png = pngHeader(width, height);
    Bytes rows;
    for (std::uint32_t y = 0; y < height; ++y) {
        rows.push_back(0);  // no filter
        rows.insert(rows.end(), width, static_cast<unsigned char>(y));
    }
    chunk(png, "IDAT", zlibStored(rows));
    chunk(png, "IEND", {});
    save(path, png);
}

void writePngHeaderOnly(const std::string& path, std::uint32_t width, std::uint32_t height) {
    Bytes png = pngHeader(width, height);
    chunk(png, "IDAT", zlibStored({}));
    chunk(png, "IEND", {});
    save(path, png);
}

void writeBmp(const std::string& path, std::uint32_t width, std::uint32_t height) {
    const std::uint32_t stride = (width * 3 + 3) & ~3u;
    Bytes bmp = {'B', 'M'};
    put32le(bmp, 54 + stride * height);
    put32le(bmp, 0);
    put32le(bmp, 54);
    put32le(bmp, 40);
    put32le(bmp, width);
    put32le(bmp, height);
    put16le(bmp, 1);
    put16le(bmp, 24);
    for (int i = 0; i < 6; ++i) put32le(bmp, 0);
    bmp.resize(bmp.size() + static_cast<std::size_t>(stride) * height, 0x80);
    save(path, bmp);
}

void writeTiff(const std::string& path, std::uint32_t width, std::uint32_t height) {
    Bytes tiff = {'I', 'I', 42, 0};
    put32le(tiff, 8);
    const std::uint32_t entries = 8;
    const std::uint32_t dataAt = 8 + 2 + entries * 12 + 4;
    put16le(tiff, entries);
    auto entry = [&](std::uint32_t tag, std::uint32_t type, std::uint32_t value) {
        putTiffEntry(tiff, tag, type, value);
    };
    entry(256, 4, width);  // ImageWidth
    entry(257, 4, height);  // ImageLength
    entry(258, 3, 8);  // BitsPerSample
    entry(259, 3, 1);  // no compression
    entry(262, 3, 1);  // black is zero
    entry(273, 4, dataAt);  // StripOffsets
    entry(278, 4, height);  // RowsPerStrip
    entry(279, 4, width * height);  // StripByteCounts
    put32le(tiff, 0);
    tiff.resize(tiff.size() + static_cast<std::size_t>(width) * height, 0x40);
    save(path, tiff);
}

void writePreviewFirstTiff(const std::string& path, std::uint32_t previewWidth, std::uint32_t previewHeight,
                           std::uint32_t fullWidth, std::uint32_t fullHeight) {
    // PackBits rows of runs of up to 128 equal bytes keep a full-size
    // image small on disk.
    Bytes packed;
    for (std::uint32_t y = 0; y < fullHeight; ++y) {
        for (std::uint32_t left = fullWidth; left > 0;) {
            const std::uint32_t run = std::min<std::uint32_t>(left, 128);
            packed.push_back(static_cast<unsigned char>(257 - run));
            packed.push_back(static_cast<unsigned char>(y));
            left -= run;
        }
    }
    const std::uint32_t previewIfd = 8, previewEntries = 10;
    const std::uint32_t fullIfd = previewIfd + 2 + previewEntries * 12 + 4, fullEntries = 9;
    const std::uint32_t previewData = fullIfd + 2 + fullEntries * 12 + 4;
    const std::uint32_t fullData = previewData + previewWidth * previewHeight;

    Bytes tiff = {'I', 'I', 42, 0};
    put32le(tiff, previewIfd);
    auto entry = [&](std::uint32_t tag, std::uint32_t type, std::uint32_t value) {
        putTiffEntry(tiff, tag, type, value);
    };
    auto ifd = [&](std::uint32_t entries, std::uint32_t subfileType, std::uint32_t width, std::uint32_t height,
                   std::uint32_t compression, std::uint32_t dataAt, std::uint32_t dataSize) {
        put16le(tiff, entries);
        entry(254, 4, subfileType);  // NewSubfileType: 1 a reduced-size copy, 0 the image
        entry(256, 4, width);
        entry(257, 4, height);
        entry(258, 3, 8);
        entry(259, 3, compression);
        entry(262, 3, 1);
        entry(273, 4, dataAt);
        entry(278, 4, height);
        entry(279, 4, dataSize);
        if (entries == previewEntries) entry(330, 4, fullIfd);  // SubIFDs
        put32le(tiff, 0);
    };
    ifd(previewEntries, 1, previewWidth, previewHeight, 1, previewData, previewWidth * previewHeight);
    ifd(fullEntries, 0, fullWidth, fullHeight, 32773, fullData, static_cast<std::uint32_t>(packed.size()));
    tiff.resize(tiff.size() + static_cast<std::size_t>(previewWidth) * previewHeight, 0x40);
    tiff.insert(tiff.end(), packed.begin(), packed.end());
    save(path, tiff);
}

void writeJpegHeaders(const std::string& path, std::uint32_t width, std::uint32_t height,
                      const std::vector<std::size_t>& commentSizes) {
    Bytes jpeg = {0xFF, 0xD8};
    for (const std::size_t size : commentSizes) {
        put32be(jpeg, 0xFFFE0000u | static_cast<std::uint32_t>(size + 2));  // COM and its length
        jpeg.resize(jpeg.size() + size, 'c');
    }
    put32be(jpeg, 0xFFC00011u);  // SOF0, length 17
    jpeg.push_back(8);
    put32be(jpeg, height << 16 | width);
    jpeg.insert(jpeg.end(), {3, 1, 0x22, 0, 2, 0x11, 1, 3, 0x11, 1, 0xFF, 0xD9});  // three components, EOI
    save(path, jpeg);
}
