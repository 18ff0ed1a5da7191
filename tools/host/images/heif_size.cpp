#include "heif_size.h"
#include "text/messages.h"

#include <exiv2/basicio.hpp>

#include <bitset>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

// Phones write ftyp, meta, then mdat; a few more boxes before meta are
// seen, thousands are not a file anyone wrote.
constexpr int kMaxBoxesBeforeMeta = 64;

struct Failure {
    HeifRefusal kind;
    std::string reason;
};

std::uint64_t be(const unsigned char* p, int n) {
    std::uint64_t v = 0;
    for (int i = 0; i < n; ++i) v = v << 8 | p[i];
    return v;
}

// A box inside the meta box's bytes: its type and payload [body, end).
struct Box {
    char type[5] = {};
    std::size_t body = 0, end = 0;
};

// The boxes one after another in [at, end) of `bytes`; a box that claims
// more than its parent holds is a damaged file.
class Boxes {
public:
    Boxes(const std::vector<unsigned char>& bytes, std::size_t at, std::size_t end)
        : bytes_(bytes), at_(at), end_(end) {}

    // False at the end; throws Failure on a box that overruns its parent.
    bool next(Box& box) {
        if (at_ >= end_) return false;
        const std::size_t left = end_ - at_;
        if (left < 8) throw Failure{HeifRefusal::Damaged, tr("a box inside its meta box is cut short")};
        const unsigned char* p = bytes_.data() + at_;
        std::uint64_t size = be(p, 4), header = 8;
        if (size == 1) {
            if (left < 16) throw Failure{HeifRefusal::Damaged, tr("a box inside its meta box is cut short")};
            size = be(p + 8, 8), header = 16;
        } else if (size == 0) {
            size = left;  // to the end of its parent
        }
        if (size < header || size > left)
            throw Failure{HeifRefusal::Damaged, tr("a box inside its meta box overruns it")};
        std::memcpy(box.type, p + 4, 4);
        box.body = at_ + static_cast<std::size_t>(header);
        box.end = at_ + static_cast<std::size_t>(size);
        at_ = box.end;
        return true;
    }

private:
    const std::vector<unsigned char>& bytes_;
    std::size_t at_, end_;
};

bool is(const Box& box, const char* type) { return std::memcmp(box.type, type, 4) == 0; }

// Reads forward through one box's payload; running past it is a damaged file.
class Fields {
public:
    Fields(const std::vector<unsigned char>& bytes, const Box& box) : bytes_(bytes), at_(box.body), end_(box.end) {}

    std::uint64_t take(int n, const char* what) {
        if (end_ - at_ < static_cast<std::size_t>(n))
            throw Failure{HeifRefusal::Damaged, tr("its %s box is cut short", {what})};
        const std::uint64_t v = be(bytes_.data() + at_, n);
        at_ += static_cast<std::size_t>(n);
        return v;
    }
    std::size_t left() const { return end_ - at_; }
    void skip(std::size_t n) { at_ += n; }  // n checked against left() first

private:
    const std::vector<unsigned char>& bytes_;
    std::size_t at_, end_;
};

// The primary item's ispe, from the meta box's payload (version and flags first).
ImageSize sizeFromMeta(const std::vector<unsigned char>& meta) {
    Box pitm, iprp, box;
    int pitms = 0, iprps = 0;
    for (Boxes children(meta, 4, meta.size()); children.next(box);) {
        if (is(box, "pitm")) pitm = box, ++pitms;
        if (is(box, "iprp")) iprp = box, ++iprps;
    }
    if (pitms != 1) {
        throw pitms == 0 ? Failure{HeifRefusal::Damaged, tr("no primary item (pitm) in its meta box")}
                         : Failure{HeifRefusal::Inconsistent, tr("two primary items (pitm) in its meta box")};
    }
    Fields p(meta, pitm);
    const auto pitmVersion = p.take(1, "pitm");
    p.take(3, "pitm");
    if (pitmVersion > 1) throw Failure{HeifRefusal::Damaged, tr("a pitm box of an unknown version")};
    const std::uint64_t primary = p.take(pitmVersion == 0 ? 2 : 4, "pitm");
    if (iprps != 1) {
        throw iprps == 0 ? Failure{HeifRefusal::Damaged, tr("no item properties (iprp) in its meta box")}
                         : Failure{HeifRefusal::Inconsistent, tr("two item property boxes (iprp) in its meta box")};
    }

    // Which properties the primary item has: indices from 1 into ipco.
    Box ipco;
    int ipcos = 0, entries = 0;
    std::bitset<32768> wanted;
    for (Boxes children(meta, iprp.body, iprp.end); children.next(box);) {
        if (is(box, "ipco")) ipco = box, ++ipcos;
        if (!is(box, "ipma")) continue;
        Fields f(meta, box);
        const auto version = f.take(1, "ipma");
        const auto flags = f.take(3, "ipma");
        const std::uint64_t count = f.take(4, "ipma");
        const int idSize = version < 1 ? 2 : 4, indexSize = (flags & 1) != 0 ? 2 : 1;
        for (std::uint64_t e = 0; e < count; ++e) {
            if (f.left() < static_cast<std::size_t>(idSize) + 1)
                throw Failure{HeifRefusal::Inconsistent, tr("its ipma box counts more entries than it holds")};
            const std::uint64_t item = f.take(idSize, "ipma");
            const std::uint64_t associations = f.take(1, "ipma");
            if (associations * static_cast<std::uint64_t>(indexSize) > f.left())
                throw Failure{HeifRefusal::Inconsistent, tr("its ipma box counts more properties than it holds")};
            if (item != primary) {
                f.skip(static_cast<std::size_t>(associations) * static_cast<std::size_t>(indexSize));
                continue;
            }
            if (++entries > 1)
                throw Failure{HeifRefusal::Inconsistent, tr("the primary item's properties are listed twice (ipma)")};
            for (std::uint64_t a = 0; a < associations; ++a) {
                const std::uint64_t index = f.take(indexSize, "ipma") & (indexSize == 2 ? 0x7FFFu : 0x7Fu);
                if (index != 0) wanted.set(static_cast<std::size_t>(index));
            }
        }
    }
    if (ipcos != 1) {
        throw ipcos == 0 ? Failure{HeifRefusal::Damaged, tr("no property container (ipco) in its meta box")}
                         : Failure{HeifRefusal::Inconsistent, tr("two property containers (ipco) in its meta box")};
    }
    if (entries == 0) throw Failure{HeifRefusal::Damaged, tr("no properties (ipma) for its primary item")};

    // One walk of ipco, in index order.
    ImageSize size;
    int ispes = 0;
    std::size_t index = 0;
    for (Boxes properties(meta, ipco.body, ipco.end); properties.next(box);) {
        if (++index >= wanted.size()) break;
        if (!wanted.test(index)) continue;
        wanted.reset(index);
        if (!is(box, "ispe")) continue;
        if (++ispes > 1) throw Failure{HeifRefusal::Inconsistent, tr("two sizes (ispe) for its primary item")};
        Fields f(meta, box);
        f.take(4, "ispe");  // version and flags
        size.width = static_cast<std::uint32_t>(f.take(4, "ispe"));
        size.height = static_cast<std::uint32_t>(f.take(4, "ispe"));
    }
    if (wanted.any()) throw Failure{HeifRefusal::Damaged, tr("its primary item has a property that ipco lacks")};
    if (ispes == 0) throw Failure{HeifRefusal::Damaged, tr("no size (ispe) for its primary item")};
    if (size.width == 0 || size.height == 0) throw Failure{HeifRefusal::Damaged, tr("a size (ispe) of 0 pixels")};
    return size;
}

// The boxes after the meta box, stepped over by their headers up to the
// end of the file or of the image data: a second meta box leaves open which
// one describes the file.
void checkOneMeta(Exiv2::BasicIo& file, std::uint64_t at, int boxes) {
    const auto fileSize = static_cast<std::uint64_t>(file.size());
    for (; boxes < kMaxBoxesBeforeMeta && at + 8 <= fileSize; ++boxes) {
        unsigned char header[16];
        if (file.seek(static_cast<long>(at), Exiv2::BasicIo::beg) != 0 || file.read(header, 8) != 8) return;
        std::uint64_t size = be(header, 4);
        if (size == 1 && file.read(header + 8, 8) == 8) size = be(header + 8, 8);
        if (std::memcmp(header + 4, "meta", 4) == 0)
            throw Failure{HeifRefusal::Inconsistent, tr("two meta boxes at its top level")};
        if (size < 8 || size > fileSize - at) return;  // to the end, or image data cut short
        at += size;
    }
}

// The meta box among the top-level boxes, stepped over by their headers.
std::vector<unsigned char> readMeta(Exiv2::BasicIo& file) {
    const auto fileSize = static_cast<std::uint64_t>(file.size());
    std::uint64_t at = 0;
    for (int boxes = 0; boxes < kMaxBoxesBeforeMeta; ++boxes) {
        unsigned char header[16];
        if (at + 8 > fileSize || file.seek(static_cast<long>(at), Exiv2::BasicIo::beg) != 0 || file.read(header, 8) != 8)
            throw Failure{HeifRefusal::Damaged, tr("no meta box before the end of the file")};
        std::uint64_t size = be(header, 4), headerSize = 8;
        if (size == 1) {
            if (file.read(header + 8, 8) != 8) throw Failure{HeifRefusal::Damaged, tr("its boxes are cut short")};
            size = be(header + 8, 8), headerSize = 16;
        } else if (size == 0) {
            size = fileSize - at;
        }
        if (size < headerSize) throw Failure{HeifRefusal::Damaged, tr("a box smaller than its own header")};
        if (std::memcmp(header + 4, "meta", 4) != 0) {
            if (size > fileSize - at)  // image data cut short, with no meta before it
                throw Failure{HeifRefusal::Damaged, tr("no meta box before the end of the file")};
            at += size;
            continue;
        }
        if (size > fileSize - at) throw Failure{HeifRefusal::Damaged, tr("its meta box is cut short")};
        if (size - headerSize > kMaxMetaBytes)
            throw Failure{HeifRefusal::Limit, tr("a meta box larger than 4 MiB, more than any image's holds")};
        std::vector<unsigned char> meta(static_cast<std::size_t>(size - headerSize));
        const auto n = static_cast<long>(meta.size());
        if (meta.size() < 4) throw Failure{HeifRefusal::Damaged, tr("a meta box too small for its version")};
        if (file.read(meta.data(), n) != n) throw Failure{HeifRefusal::Damaged, tr("its meta box is cut short")};
        checkOneMeta(file, at + size, boxes + 1);
        return meta;
    }
    throw Failure{HeifRefusal::Limit, tr("no meta box among its first 64 boxes")};
}

}  // namespace

bool readHeifSize(Exiv2::BasicIo& file, ImageSize& size, std::string& error, HeifRefusal* refusal) {
    try {
        size = sizeFromMeta(readMeta(file));
        if (refusal != nullptr) *refusal = HeifRefusal::None;
        return true;
    } catch (const Failure& f) {
        error = f.reason;
        if (refusal != nullptr) *refusal = f.kind;
        return false;
    }
}
