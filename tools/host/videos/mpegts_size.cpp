// MPEG-TS, M2TS and MTS: the program table (PAT), the first program's map
// (PMT) and its H.264 or HEVC video stream, whose first sequence parameter
// set holds the size; read from a bounded prefix of the file.
#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

#include "text/messages.h"
#include "videos/parameter_sets.h"
#include "videos/video_readers.h"

namespace {

constexpr std::size_t kPacket = 188;
constexpr std::uint8_t kH264 = 0x1B, kHevc = 0x24;
// A sequence parameter set is a few dozen bytes; one of more is damage.
constexpr std::size_t kMaxNal = 4096;

class Stream {
public:
    explicit Stream(BoundedReader& in) : in_(in) {}

    bool read(VideoSize& size, std::string& error) {
        unsigned char head[4 + kPacket];
        // M2TS: a 4-byte timestamp before each packet.
        const std::size_t stride = in_.readSome(0, head, 1) == 1 && head[0] == 0x47 ? kPacket : kPacket + 4;
        const std::size_t skip = stride - kPacket;
        std::vector<unsigned char> chunk(stride * 512);
        for (std::int64_t at = 0; at + static_cast<std::int64_t>(stride) <= in_.size();) {
            const long n = in_.readSome(at, chunk.data(), chunk.size());
            if (n < 0) {
                if (done(size)) return true;
                error = tr("%s before its video's sequence parameter set", {in_.error()});
                return false;
            }
            for (long p = 0; p + static_cast<long>(stride) <= n; p += static_cast<long>(stride)) {
                if (chunk[static_cast<std::size_t>(p) + skip] != 0x47) {
                    error = tr("a packet out of step at byte %s", {std::to_string(at + p)});
                    return false;
                }
                if (packet(&chunk[static_cast<std::size_t>(p) + skip], size)) return true;
            }
            if (n < static_cast<long>(stride)) break;
            at += n - n % static_cast<long>(stride);
        }
        if (done(size)) return true;
        error = pmtPid_ < 0     ? tr("no program table (PAT and PMT) in it")
                : videoPid_ < 0 ? tr("no H.264 or HEVC video stream in its program")
                                : tr("no sequence parameter set of its video stream (cut short?)");
        return false;
    }

private:
    // One packet; true once the size is known.
    bool packet(const unsigned char* p, VideoSize& size) {
        const int pid = (p[1] & 0x1F) << 8 | p[2];
        const bool start = (p[1] & 0x40) != 0;
        std::size_t at = 4;
        if ((p[3] & 0x20) != 0) at += 1 + std::size_t{p[4]};  // an adaptation field
        if ((p[3] & 0x10) == 0 || at >= kPacket) return false;
        const unsigned char* payload = p + at;
        const std::size_t length = kPacket - at;
        if (pid == 0 && start) {
            pat(payload, length);
        } else if (pid == pmtPid_ && start) {
            pmt(payload, length);
        } else if (pid == videoPid_) {
            return video(payload, length, start, size);
        }
        return false;
    }

    // A section's bytes after its pointer field, within the packet, less
    // its CRC, which must hold (CRC-32/MPEG-2: over the whole section, 0).
    static bool section(const unsigned char*& s, std::size_t& length) {
        if (length < 1 || std::size_t{s[0]} + 1 + 8 > length) return false;
        length -= 1 + std::size_t{s[0]};
        s += 1 + std::size_t{s[0]};
        const std::size_t sectionLength = (s[1] & 0x0F) << 8 | s[2];
        if (sectionLength < 9 || sectionLength + 3 > length) return false;
        std::uint32_t crc = 0xFFFFFFFF;
        for (std::size_t i = 0; i < sectionLength + 3; ++i) {
            crc ^= std::uint32_t{s[i]} << 24;
            for (int bit = 0; bit < 8; ++bit) crc = (crc & 0x80000000) != 0 ? crc << 1 ^ 0x04C11DB7 : crc << 1;
        }
        length = sectionLength + 3 - 4;
        return crc == 0;
    }

    void pat(const unsigned char* s, std::size_t length) {
        if (pmtPid_ >= 0 || !section(s, length) || s[0] != 0x00) return;
        for (std::size_t at = 8; at + 4 <= length; at += 4) {
            const int program = s[at] << 8 | s[at + 1];
            if (program == 0) continue;  // the network table
            pmtPid_ = (s[at + 2] & 0x1F) << 8 | s[at + 3];
            return;
        }
    }

    void pmt(const unsigned char* s, std::size_t length) {
        if (videoPid_ >= 0 || !section(s, length) || s[0] != 0x02 || length < 12) return;
        const std::size_t infoLength = (s[10] & 0x0F) << 8 | s[11];
        for (std::size_t at = 12 + infoLength; at + 5 <= length;) {
            const std::uint8_t type = s[at];
            const int pid = (s[at + 1] & 0x1F) << 8 | s[at + 2];
            if (type == kH264 || type == kHevc) {
                videoPid_ = pid;
                hevc_ = type == kHevc;
                return;
            }
            at += 5 + ((s[at + 3] & 0x0F) << 8 | s[at + 4]);
        }
    }

    // The stream's bytes after each PES header, searched for sequence
    // parameter sets (each the NAL unit between its start code and the
    // next): the one in force at the first picture gives the size, as a
    // decoder takes the last set before it. A damaged set is passed over.
    bool video(const unsigned char* payload, std::size_t length, bool start, VideoSize& size) {
        if (start) {
            if (length < 9 || payload[0] != 0 || payload[1] != 0 || payload[2] != 1) return false;
            const std::size_t header = 9 + std::size_t{payload[8]};
            if (header > length) return false;
            payload += header;
            length -= header;
        }
        es_.insert(es_.end(), payload, payload + length);
        for (std::size_t at = scanned_; at + 4 <= es_.size(); ++at) {
            scanned_ = at;
            if (es_[at] != 0 || es_[at + 1] != 0 || es_[at + 2] != 1) continue;
            const unsigned type = hevc_ ? (es_[at + 3] >> 1 & 0x3F) : (es_[at + 3] & 0x1F);
            if (hevc_ ? type < 32 : type >= 1 && type <= 5) {  // a picture's slice
                if (found_) return done(size);
                continue;
            }
            if (type != (hevc_ ? 33 : 7)) continue;
            std::size_t end = at + 3;
            while (end + 3 <= es_.size() && !(es_[end] == 0 && es_[end + 1] == 0 && es_[end + 2] <= 1)) ++end;
            if (end + 3 > es_.size() && es_.size() - at < kMaxNal) return false;  // its end is in a later packet
            const unsigned char* nal = &es_[at + 3];
            const std::size_t nalSize = std::min(end, at + 3 + kMaxNal) - at - 3;
            std::uint32_t width = 0, height = 0;
            if (hevc_ ? hevcSpsSize(nal, nalSize, width, height) : h264SpsSize(nal, nalSize, width, height)) {
                sps_ = {width, height};
                found_ = true;
            }
        }
        // Only the last bytes can begin a start code still to come.
        if (es_.size() > 3) {
            es_.erase(es_.begin(), es_.end() - 3);
            scanned_ = 0;
        }
        return false;
    }

public:
    // The size of the last set read, where the stream ends before a picture.
    bool done(VideoSize& size) const {
        if (!found_) return false;
        size.width = sps_.first;
        size.height = sps_.second;
        return true;
    }

private:
    std::pair<std::uint32_t, std::uint32_t> sps_;
    bool found_ = false;
    BoundedReader& in_;
    int pmtPid_ = -1, videoPid_ = -1;
    bool hevc_ = false;
    std::vector<unsigned char> es_;
    std::size_t scanned_ = 0;
};

}  // namespace

bool readMpegTsSize(BoundedReader& in, VideoSize& size, std::string& error) {
    Stream stream(in);
    return stream.read(size, error);
}
