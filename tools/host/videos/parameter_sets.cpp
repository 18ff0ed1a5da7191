#include "videos/parameter_sets.h"

#include <algorithm>
#include <vector>

namespace {

// The bits of a NAL unit's payload, the emulation prevention bytes (the 3
// of 00 00 03) taken out.
class Bits {
public:
    Bits(const unsigned char* nal, std::size_t size, std::size_t header) {
        for (std::size_t i = header, zeros = 0; i < size; ++i) {
            if (zeros >= 2 && nal[i] == 3) {
                zeros = 0;
                continue;
            }
            zeros = nal[i] == 0 ? zeros + 1 : 0;
            bytes_.push_back(nal[i]);
        }
    }

    bool ok() const { return ok_; }

    std::uint32_t u(int n) {
        std::uint32_t v = 0;
        for (int i = 0; i < n; ++i) v = v << 1 | bit();
        return v;
    }
    void skip(int n) {
        for (int i = 0; i < n; ++i) bit();
    }
    // Exp-Golomb: unsigned, and signed (whose value is not needed).
    std::uint32_t ue() {
        int zeros = 0;
        while (ok_ && bit() == 0) {
            if (++zeros > 31) ok_ = false;
        }
        if (!ok_) return 0;
        return static_cast<std::uint32_t>((std::uint64_t{1} << zeros) - 1 + u(zeros));
    }
    void se() { ue(); }

private:
    std::uint32_t bit() {
        if (at_ >= bytes_.size() * 8) {
            ok_ = false;
            return 0;
        }
        const std::uint32_t v = bytes_[at_ / 8] >> (7 - at_ % 8) & 1;
        ++at_;
        return v;
    }

    std::vector<unsigned char> bytes_;
    std::size_t at_ = 0;
    bool ok_ = true;
};

// HRD parameters of a VUI: their length only.
void skipHrd(Bits& b, bool& valid) {
    const std::uint32_t count = b.ue() + 1;  // cpb_cnt_minus1
    valid = valid && count <= 32;
    b.skip(8);
    for (std::uint32_t i = 0; i < count && b.ok(); ++i) {
        b.ue();
        b.ue();
        b.skip(1);
    }
    b.skip(20);
}

// An H.264 VUI: only that it is whole counts, as decoders take a set whose
// VUI runs past its end for damaged.
void skipVui(Bits& b, bool& valid) {
    if (b.u(1) != 0 && b.u(8) == 255) b.skip(32);  // aspect ratio, and its extended form
    if (b.u(1) != 0) b.skip(1);  // overscan
    if (b.u(1) != 0) {  // video signal type, colour description
        b.skip(4);
        if (b.u(1) != 0) b.skip(24);
    }
    if (b.u(1) != 0) {  // chroma location
        b.ue();
        b.ue();
    }
    if (b.u(1) != 0) b.skip(65);  // timing
    const bool nal = b.u(1) != 0;
    if (nal) skipHrd(b, valid);
    const bool vcl = b.u(1) != 0;
    if (vcl) skipHrd(b, valid);
    if (nal || vcl) b.skip(1);
    b.skip(1);  // pic_struct_present_flag
    if (b.u(1) != 0) {  // bitstream restriction
        b.skip(1);
        for (int i = 0; i < 6; ++i) b.ue();
    }
}

bool shown(std::uint64_t width, std::uint64_t height, std::uint64_t cropX, std::uint64_t cropY, bool ok,
           std::uint32_t& outWidth, std::uint32_t& outHeight) {
    if (!ok || cropX >= width || cropY >= height || width > 0xFFFFFF || height > 0xFFFFFF) return false;
    outWidth = static_cast<std::uint32_t>(width - cropX);
    outHeight = static_cast<std::uint32_t>(height - cropY);
    return true;
}

}  // namespace

bool h264SpsSize(const unsigned char* nal, std::size_t size, std::uint32_t& width, std::uint32_t& height) {
    Bits b(nal, size, 1);
    const std::uint32_t profile = b.u(8);
    b.skip(16);  // constraint flags, level
    // Fields out of their range are a damaged set, which decoders pass over.
    bool valid = b.ue() <= 31;  // seq_parameter_set_id
    std::uint32_t chroma = 1, separate = 0;
    if (profile == 100 || profile == 110 || profile == 122 || profile == 244 || profile == 44 || profile == 83 ||
        profile == 86 || profile == 118 || profile == 128 || profile == 138 || profile == 139 || profile == 134 ||
        profile == 135) {
        chroma = b.ue();
        if (chroma == 3) separate = b.u(1);
        valid = valid && chroma <= 3 && b.ue() <= 6 && b.ue() <= 6;  // bit depths, 8 to 14
        b.skip(1);
        if (b.u(1) != 0) {  // scaling matrices: only their lengths matter
            for (int i = 0; i < (chroma != 3 ? 8 : 12); ++i) {
                if (b.u(1) == 0) continue;
                for (int j = 0, last = 8, next = 8; j < (i < 6 ? 16 : 64) && b.ok(); ++j) {
                    if (next != 0) {
                        const std::int64_t code = b.ue();
                        const std::int64_t delta = code % 2 != 0 ? (code + 1) / 2 : -(code / 2);
                        next = static_cast<int>(((last + delta) % 256 + 256) % 256);
                    }
                    last = next == 0 ? last : next;
                }
            }
        }
    }
    valid = valid && b.ue() <= 12;  // log2_max_frame_num_minus4
    const std::uint32_t pocType = b.ue();
    if (pocType == 0) {
        valid = valid && b.ue() <= 12;
    } else if (pocType == 1) {
        b.skip(1);
        b.se();
        b.se();
        const std::uint32_t cycle = b.ue();
        valid = valid && cycle <= 255;
        for (std::uint32_t i = 0; i < cycle && b.ok(); ++i) b.se();
    }
    valid = valid && pocType <= 2 && b.ue() <= 16;  // max_num_ref_frames
    b.skip(1);
    const std::uint64_t widthInMbs = std::uint64_t{b.ue()} + 1, heightInUnits = std::uint64_t{b.ue()} + 1;
    const std::uint32_t frameMbsOnly = b.u(1);
    if (frameMbsOnly == 0) b.skip(1);
    b.skip(1);
    std::uint64_t left = 0, right = 0, top = 0, bottom = 0;
    if (b.u(1) != 0) {
        left = b.ue();
        right = b.ue();
        top = b.ue();
        bottom = b.ue();
    }
    if (b.u(1) != 0) skipVui(b, valid);
    const bool plain = chroma == 0 || separate != 0;
    const std::uint64_t unitX = plain || chroma == 3 ? 1 : 2;
    const std::uint64_t unitY = std::uint64_t{plain || chroma != 1 ? 1u : 2u} * (2 - frameMbsOnly);
    return shown(widthInMbs * 16, (2 - frameMbsOnly) * heightInUnits * 16, unitX * (left + right),
                 unitY * (top + bottom), b.ok() && valid, width, height);
}

bool hevcSpsSize(const unsigned char* nal, std::size_t size, std::uint32_t& width, std::uint32_t& height) {
    Bits b(nal, size, 2);
    b.skip(4);  // sps_video_parameter_set_id
    const std::uint32_t subLayers = b.u(3);
    b.skip(1);
    b.skip(96);  // the general profile, tier and level
    std::vector<bool> profile(subLayers), level(subLayers);
    for (std::uint32_t i = 0; i < subLayers; ++i) {
        profile[i] = b.u(1) != 0;
        level[i] = b.u(1) != 0;
    }
    if (subLayers > 0) b.skip(2 * static_cast<int>(8 - subLayers));
    for (std::uint32_t i = 0; i < subLayers; ++i) {
        if (profile[i]) b.skip(88);
        if (level[i]) b.skip(8);
    }
    const std::uint32_t id = b.ue();  // sps_seq_parameter_set_id
    const std::uint32_t chroma = b.ue();
    const std::uint32_t separate = chroma == 3 ? b.u(1) : 0;
    const std::uint64_t w = b.ue(), h = b.ue();
    std::uint64_t left = 0, right = 0, top = 0, bottom = 0;
    if (b.u(1) != 0) {
        left = b.ue();
        right = b.ue();
        top = b.ue();
        bottom = b.ue();
    }
    // What follows, as far as the coding blocks, in the ranges decoders
    // hold a set to: the coded size is whole coding blocks.
    bool valid = b.ue() <= 8 && b.ue() <= 8 && b.ue() <= 12;  // bit depths, log2_max_pic_order_cnt_lsb_minus4
    const bool each = b.u(1) != 0;
    for (std::uint32_t i = each ? 0 : subLayers; i <= subLayers && b.ok(); ++i) {
        const std::uint32_t buffering = b.ue(), reorder = b.ue();
        b.ue();
        valid = valid && buffering < 16 && reorder <= buffering;
    }
    const std::uint32_t minCb = b.ue() + 3, ctb = minCb + b.ue(), minTb = b.ue() + 2, maxTb = minTb + b.ue();
    valid = valid && id <= 15 && ctb >= 4 && ctb <= 6 && minCb <= ctb && minTb < minCb && maxTb <= std::min(ctb, 5u) &&
            w % (std::uint64_t{1} << minCb) == 0 && h % (std::uint64_t{1} << minCb) == 0;
    const std::uint64_t unitX = (chroma == 1 || chroma == 2) && separate == 0 ? 2 : 1;
    const std::uint64_t unitY = chroma == 1 && separate == 0 ? 2 : 1;
    return shown(w, h, unitX * (left + right), unitY * (top + bottom), b.ok() && valid && chroma <= 3, width, height);
}
