// The TIFF walker: every directory of the image's chain and those they
// point to, each entry compared by its tag, type, count and value bytes
// (not where they lie), every strip, tile and thumbnail by its bytes, and
// no two of them, nor the packet, sharing a byte.
#include <algorithm>
#include <deque>
#include <set>
#include <utility>

#include "file_bytes.h"
#include "layout_walk.h"
#include "text/messages.h"

namespace {

using Bytes = std::string_view;

struct Range {
    std::uint64_t start, size;
    std::string name;
};

// A directory to read: its place, its name for people, and its number in
// the image's own chain (IFD0, IFD1, ...), if it is there.
struct Directory {
    static constexpr std::size_t kOffChain = static_cast<std::size_t>(-1);
    std::uint32_t offset;
    std::string name;
    std::size_t chain;
};

class TiffWalker {
public:
    TiffWalker(Bytes f, ImageLayout& layout) : f_(f), layout_(layout), big_(byteAt(f, 0) == 'M') {
        layout_.bigEndian = big_;
        layout_.ifd0 = get32(4);
    }

    bool walk(std::string& error) {
        if (layout_.ifd0 == 0) {
            error = tr("no image directory (IFD0)");
            return false;
        }
        ranges_.push_back({0, 8, tr("the header")});
        std::deque<Directory> queue{{get32(4), "IFD0", 0}};
        std::set<std::uint32_t> visited;
        for (std::size_t chain = 1; !queue.empty(); queue.pop_front()) {
            const Directory directory = queue.front();
            if (directory.offset == 0) continue;
            if (!visited.insert(directory.offset).second || visited.size() > 256) {
                error = tr("its directories loop or are too many");
                return false;
            }
            std::uint32_t next = 0;
            if (!read(directory, queue, next, error)) return false;
            // Only the image's own chain goes on to a next directory.
            if (directory.chain != Directory::kOffChain) {
                queue.push_back({next, "IFD" + std::to_string(chain), chain});
                ++chain;
            }
        }
        return disjoint(error);
    }

private:
    std::uint32_t get16(std::size_t at) const { return big_ ? be16(f_, at) : le16(f_, at); }
    std::uint32_t get32(std::size_t at) const { return big_ ? be32(f_, at) : le32(f_, at); }

    static std::uint64_t typeSize(std::uint32_t type) {
        static const std::uint64_t kSizes[] = {0, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8, 4};
        return type < sizeof kSizes / sizeof kSizes[0] ? kSizes[type] : 0;
    }

    // Each value of an entry of SHORT or LONG (or IFD) values.
    bool values(Bytes value, std::uint32_t type, std::vector<std::uint32_t>& out) const {
        const std::size_t size = type == 3 ? 2 : (type == 4 || type == 13) ? 4 : 0;
        if (size == 0) return false;
        const std::size_t base = static_cast<std::size_t>(value.data() - f_.data());
        for (std::size_t i = 0; i < value.size() / size; ++i)
            out.push_back(size == 2 ? get16(base + 2 * i) : get32(base + 4 * i));
        return true;
    }

    // No part shares a byte with another: a writer that keeps one in place
    // while it writes another cannot then change it.
    bool disjoint(std::string& error) {
        ranges_.erase(std::remove_if(ranges_.begin(), ranges_.end(), [](const Range& r) { return r.size == 0; }),
                      ranges_.end());
        std::sort(ranges_.begin(), ranges_.end(), [](const Range& a, const Range& b) { return a.start < b.start; });
        for (std::size_t i = 1, reach = 0; i < ranges_.size(); ++i) {
            if (ranges_[i].start < ranges_[reach].start + ranges_[reach].size) {
                error = tr("%1$s and %2$s share bytes", {ranges_[reach].name, ranges_[i].name});
                return false;
            }
            if (ranges_[i].start + ranges_[i].size > ranges_[reach].start + ranges_[reach].size) reach = i;
        }
        return true;
    }

    bool read(const Directory& directory, std::deque<Directory>& queue, std::uint32_t& next, std::string& error) {
        const std::uint32_t offset = directory.offset;
        const std::string& name = directory.name;
        if (std::uint64_t{offset} + 2 > f_.size() ||
            std::uint64_t{offset} + 6 + 12 * std::uint64_t{get16(offset)} > f_.size()) {
            error = tr("%s lies past the end of the file", {name});
            return false;
        }
        const std::uint32_t count = get16(offset);
        next = get32(offset + 2 + 12 * count);
        ranges_.push_back({offset, 6 + 12 * std::uint64_t{count}, name});
        std::vector<std::uint32_t> dataOffsets, dataCounts;
        std::uint32_t thumbnail = 0, thumbnailLength = 0;
        std::size_t subIfds = 0;
        for (std::uint32_t i = 0; i < count; ++i) {
            if (tooManyParts(layout_.parts.size() + dataOffsets.size(), error)) return false;
            const std::size_t entry = offset + 2 + 12 * std::size_t{i};
            const std::uint32_t tag = get16(entry), type = get16(entry + 2), n = get32(entry + 4);
            const std::uint64_t size = typeSize(type) * n;
            const std::string tagName = tr("tag %1$s of %2$s", {hexNumber(tag, 4), name});
            if (typeSize(type) == 0) {
                // Readers guess where its value lies, perhaps past the end
                // of the file, where a new packet would then be.
                error = tr("%1$s is of an unknown type (%2$s)", {tagName, std::to_string(type)});
                return false;
            }
            Bytes value = f_.substr(entry + 8, 4);
            if (size > 4) {
                if (get32(entry + 8) > f_.size() || size > f_.size() - get32(entry + 8)) {
                    error = tr("%s points past the end of the file", {tagName});
                    return false;
                }
                value = f_.substr(get32(entry + 8), static_cast<std::size_t>(size));
                ranges_.push_back({get32(entry + 8), size, tagName});
            } else {
                value = value.substr(0, static_cast<std::size_t>(size));
            }
            std::vector<std::uint32_t> numbers;
            if (tag == 50706 ||
                (tag == 262 && type == 3 && n == 1 && (get16(entry + 8) == 32803 || get16(entry + 8) == 34892)))
                layout_.cameraRaw = true;  // DNGVersion; PhotometricInterpretation CFA or LinearRaw
            switch (tag) {
            case 273:  // StripOffsets
            case 324:  // TileOffsets
                if (!values(value, type, dataOffsets)) break;
                continue;
            case 279:  // StripByteCounts, kept as an entry too
            case 325:  // TileByteCounts
                values(value, type, dataCounts);
                break;
            case 513:  // JPEGInterchangeFormat
                if (n == 1) thumbnail = get32(entry + 8);
                continue;
            case 514:  // its length
                if (n == 1) thumbnailLength = get32(entry + 8);
                break;
            case 330:  // SubIFDs
            case 34665:  // the Exif directory
            case 34853:  // GPS
            case 40965:  // interoperability
                if (!values(value, type, numbers)) break;
                for (std::uint32_t at : numbers) {
                    queue.push_back({at,
                                     tag == 330     ? tr("SubIFD %1$s of %2$s", {std::to_string(subIfds++), name})
                                     : tag == 34665 ? tr("the Exif directory of %s", {name})
                                     : tag == 34853 ? tr("the GPS directory of %s", {name})
                                                    : tr("the interoperability directory of %s", {name}),
                                     Directory::kOffChain});
                }
                continue;
            case 700:  // the XMP packet: IFD0's, in bytes, as readers take it
                if (directory.chain != 0 || (type != 1 && type != 7) || size <= 4) {
                    error = directory.chain != 0 ? tr("an XMP packet outside IFD0, which readers differ on")
                                                 : tr("an XMP packet of another form, which readers differ on");
                    return false;
                }
                layout_.packets.push_back(value);
                layout_.xmpEntry = entry;
                if (!ranges_.empty()) ranges_.back().name = tr("the XMP packet");
                continue;
            default: break;
            }
            layout_.parts.push_back(
                {tr("%1$s (type %2$s, %3$s values)", {tagName, std::to_string(type), std::to_string(n)}), value, {}});
        }
        if (dataOffsets.size() != dataCounts.size()) {
            error = tr("%1$s has %2$s strips or tiles and %3$s lengths for them",
                       {name, std::to_string(dataOffsets.size()), std::to_string(dataCounts.size())});
            return false;
        }
        if (thumbnail != 0) {
            dataOffsets.push_back(thumbnail);
            dataCounts.push_back(thumbnailLength);
        }
        for (std::size_t i = 0; i < dataOffsets.size(); ++i) {
            if (tooManyParts(layout_.parts.size(), error)) return false;
            if (dataOffsets[i] > f_.size() || dataCounts[i] > f_.size() - dataOffsets[i]) {
                error = tr("image data of %s lies past the end of the file", {name});
                return false;
            }
            const bool isThumbnail = thumbnail != 0 && i + 1 == dataOffsets.size();
            const std::string dataName = isThumbnail ? tr("the thumbnail of %s", {name})
                                                     : tr("strip or tile %1$s of %2$s", {std::to_string(i), name});
            layout_.parts.push_back({dataName, f_.substr(dataOffsets[i], dataCounts[i]), {}});
            ranges_.push_back({dataOffsets[i], dataCounts[i], dataName});
        }
        return true;
    }

    Bytes f_;
    ImageLayout& layout_;
    bool big_;
    std::vector<Range> ranges_;
};

}  // namespace

bool tiffLayout(Bytes f, ImageLayout& layout, std::string& error) {
    if (f.size() < 8 || !(f.substr(0, 4) == Bytes("II*\0", 4) || f.substr(0, 4) == Bytes("MM\0*", 4))) {
        error = tr("not a classic TIFF file");
        return false;
    }
    return TiffWalker(f, layout).walk(error);
}
