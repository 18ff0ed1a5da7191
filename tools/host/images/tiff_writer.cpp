// The TIFF writer: tag 700's bytes replaced in place when the packet fits
// their padding; else the packet goes to the end of the file and the entry
// points there (the old bytes, no longer named, blanked); where IFD0 has no
// packet, a copy of IFD0 with the entry added goes to the end and the
// header points to it. Strips, tiles and every other value stay in place.
#include <algorithm>

#include "file_bytes.h"
#include "packet_writers.h"
#include "text/messages.h"
#include "xmp/packet_padding.h"

namespace {

using Bytes = std::string_view;

constexpr std::uint32_t kXmpTag = 700;
constexpr std::uint32_t kByteType = 1;  // as exiftool and Adobe's toolkit write it

class TiffBytes {
public:
    TiffBytes(std::string& f, bool big) : f_(f), big_(big) {}

    std::uint32_t get16(std::size_t at) const { return big_ ? be16(f_, at) : le16(f_, at); }
    void put(std::size_t at, std::uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i) {
            const int shift = big_ ? 8 * (bytes - 1 - i) : 8 * i;
            f_[at + static_cast<std::size_t>(i)] = static_cast<char>(v >> shift & 0xFF);
        }
    }
    // `bytes` at the end, on a word boundary as TIFF's values and
    // directories begin; where they start.
    std::size_t append(Bytes bytes) {
        if (f_.size() % 2 != 0) f_ += '\0';
        const std::size_t at = f_.size();
        f_.append(bytes);
        return at;
    }

private:
    std::string& f_;
    bool big_;
};

}  // namespace

bool tiffWithPacket(Bytes f, const ImageLayout& layout, const std::string& packet, std::string& out,
                    std::string& placed, std::string& error) {
    placed = packet;
    out.assign(f);
    TiffBytes tiff(out, layout.bigEndian);
    std::size_t entry = layout.xmpEntry;
    if (entry != ImageLayout::kNone) {
        const Bytes old = layout.packets.front();
        const auto at = static_cast<std::size_t>(old.data() - f.data());
        if (fitPacket(placed, old.size())) {
            out.replace(at, old.size(), placed);
            return true;
        }
        padForNextTime(placed, placed.size() + 2048);
        // A scanner for packets must not find the old one.
        std::fill(out.begin() + static_cast<std::ptrdiff_t>(at),
                  out.begin() + static_cast<std::ptrdiff_t>(at + old.size()), ' ');
    } else {
        const std::size_t ifd0 = layout.ifd0, count = tiff.get16(ifd0);
        if (count == 0xFFFF) {
            error = tr("IFD0 holds as many entries as it can");
            return false;
        }
        // IFD0's entries in tag order, the packet's among them.
        std::string table(2, '\0');
        std::size_t i = 0;
        for (; i < count && tiff.get16(ifd0 + 2 + 12 * i) < kXmpTag; ++i) table.append(f.substr(ifd0 + 2 + 12 * i, 12));
        const std::size_t inTable = table.size();
        table.append(12, '\0');
        table.append(f.substr(ifd0 + 2 + 12 * i, 12 * (count - i) + 4));  // the rest, and the next IFD's offset
        const std::size_t copy = tiff.append(table);
        tiff.put(copy, static_cast<std::uint32_t>(count + 1), 2);
        entry = copy + inTable;
        tiff.put(entry, kXmpTag, 2);
        tiff.put(entry + 2, kByteType, 2);
        tiff.put(4, static_cast<std::uint32_t>(copy), 4);
    }
    // Its offset and length are 32 bits (and a word boundary may cost one more byte).
    if (std::uint64_t{out.size()} + placed.size() + 1 > 0xFFFFFFFFull) {
        error = tr("would grow beyond what a TIFF file's offsets reach");
        return false;
    }
    const std::size_t at = tiff.append(placed);
    tiff.put(entry + 4, static_cast<std::uint32_t>(placed.size()), 4);
    tiff.put(entry + 8, static_cast<std::uint32_t>(at), 4);
    return true;
}
