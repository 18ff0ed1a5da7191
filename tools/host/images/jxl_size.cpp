#include "jxl_size.h"
#include "text/messages.h"

#include <exiv2/basicio.hpp>
#include <jxl/decode.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

namespace {

// Basic info sits in the codestream's first bytes; a header that needs more
// than this is not one a real encoder wrote.
constexpr std::size_t kHeaderLimit = std::size_t{1} << 20;
constexpr long kChunk = 4096;

// The codestream's bytes in order: the whole file when it is bare; in a
// container, the payload of its jxlc box, or those of its jxlp boxes after
// each one's index. Other boxes (Exif, XMP, JPEG reconstruction data) are
// stepped over by their headers, never read.
class Codestream {
public:
    Codestream(Exiv2::BasicIo& file, bool bare)
        : file_(file),
          fileSize_(static_cast<std::uint64_t>(file.size())),
          boxAt_(bare ? fileSize_ : 0),
          end_(bare ? fileSize_ : 0) {}

    // Appends up to `count` further bytes to `out`; false at the end.
    bool append(std::vector<unsigned char>& out, long count) {
        while (at_ >= end_) {
            if (!nextPart()) return false;
        }
        const long n = static_cast<long>(std::min<std::uint64_t>(end_ - at_, static_cast<std::uint64_t>(count)));
        const std::size_t old = out.size();
        out.resize(old + static_cast<std::size_t>(n));
        if (file_.seek(static_cast<long>(at_), Exiv2::BasicIo::beg) != 0 || file_.read(&out[old], n) != n) return false;
        at_ += static_cast<std::uint64_t>(n);
        return true;
    }

private:
    bool nextPart() {
        while (boxAt_ + 8 <= fileSize_) {
            unsigned char header[16];
            if (file_.seek(static_cast<long>(boxAt_), Exiv2::BasicIo::beg) != 0 || file_.read(header, 8) != 8)
                return false;
            std::uint64_t size = be(header, 4), headerSize = 8;
            if (size == 1) {  // a 64-bit size follows the type
                if (file_.read(header + 8, 8) != 8) return false;
                size = be(header + 8, 8), headerSize = 16;
            }
            // Size 0 runs to the end of the file, as does a box cut short.
            const std::uint64_t left = fileSize_ - boxAt_;
            if (size == 0 || size > left) size = left;
            if (size < headerSize) return false;
            const std::uint64_t payload = boxAt_ + headerSize, boxEnd = boxAt_ + size;
            boxAt_ = boxEnd;
            const bool whole = std::memcmp(header + 4, "jxlc", 4) == 0;
            if (whole || std::memcmp(header + 4, "jxlp", 4) == 0) {
                at_ = payload + (whole ? 0 : 4);
                end_ = boxEnd;
                if (at_ < end_) return true;
            }
        }
        return false;
    }

    static std::uint64_t be(const unsigned char* p, int n) {
        std::uint64_t v = 0;
        for (int i = 0; i < n; ++i) v = v << 8 | p[i];
        return v;
    }

    Exiv2::BasicIo& file_;
    std::uint64_t fileSize_;
    std::uint64_t boxAt_;  // the next box header
    std::uint64_t at_ = 0;  // the part of the codestream being read, up to end_
    std::uint64_t end_;
};

struct DecoderDestroy {
    void operator()(JxlDecoder* d) const { JxlDecoderDestroy(d); }
};

}  // namespace

bool readJxlSize(Exiv2::BasicIo& file, ImageSize& size, std::string& error) {
    unsigned char signature[2] = {};
    const bool bare = file.seek(0, Exiv2::BasicIo::beg) == 0 && file.read(signature, 2) == 2 && signature[0] == 0xFF &&
                      signature[1] == 0x0A;
    const std::unique_ptr<JxlDecoder, DecoderDestroy> decoder(JxlDecoderCreate(nullptr));
    if (!decoder || JxlDecoderSubscribeEvents(decoder.get(), JXL_DEC_BASIC_INFO) != JXL_DEC_SUCCESS) {
        error = tr("out of memory");
        return false;
    }
    Codestream codestream(file, bare);
    std::vector<unsigned char> input;
    std::size_t fed = 0;
    for (;;) {
        if (fed > kHeaderLimit || !codestream.append(input, kChunk)) {
            error = fed > kHeaderLimit ? tr("no image size in the first MiB of its codestream")
                                       : tr("cut short before its image size");
            return false;
        }
        fed += static_cast<std::size_t>(kChunk);
        JxlDecoderSetInput(decoder.get(), input.data(), input.size());
        const JxlDecoderStatus status = JxlDecoderProcessInput(decoder.get());
        if (status == JXL_DEC_BASIC_INFO) {
            JxlBasicInfo info;
            if (JxlDecoderGetBasicInfo(decoder.get(), &info) != JXL_DEC_SUCCESS) break;
            size.width = info.xsize;  // as stored, before its orientation
            size.height = info.ysize;
            return true;
        }
        if (status != JXL_DEC_NEED_MORE_INPUT) break;
        // What the decoder took is done with; what it left, it wants again.
        const std::size_t left = JxlDecoderReleaseInput(decoder.get());
        input.erase(input.begin(), input.end() - static_cast<std::ptrdiff_t>(left));
    }
    error = tr("not a valid JPEG XL codestream");
    return false;
}
