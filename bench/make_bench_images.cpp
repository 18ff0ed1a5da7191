// Writes N image files into a folder, for timing pixtagger-host against the
// floor and other tools on the same files. Three sets:
//   generated  small files of mixed formats and sizes; the JPEG, GIF and
//              WebP files are copies of the shipped examples;
//   camera     files as cameras write them: JPEGs whose Exif block carries
//              a 60 KB thumbnail before the frame header, and TIFF-based raw
//              files (.dng, .nef) whose first directory is a small preview;
//   today      what phones and editors save now: HEICs laid out as phones
//              write them (a grid of 512 x 512 tiles, a thumbnail, Exif),
//              and copies of files from Debian's encoders (a HEIC with a
//              thumbnail, AVIF, JPEG XL bare and boxed) in the given folder;
//   phone-12, phone-50, phone-200
//              HEICs of 12, 50 and 200 MP as phones write them, with tile
//              data of a real photo's size (60 KB a tile), so that a reader
//              that reads more than the header pays for it;
//   camera-jpeg, camera-raw
//              only the camera set's JPEGs, or only its raw files;
//   library    COUNT names, in folders of 100, hard links to a few JPEGs:
//              a library's shape for the host's memory, at any count.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "image_files.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<unsigned char>;

Bytes readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A little-endian TIFF directory at `at` whose values all fit their entries.
struct Entry {
    std::uint16_t tag, type;
    std::uint32_t value;
};
void putIfd(Bytes& tiff, const std::vector<Entry>& entries, std::uint32_t next) {
    put16le(tiff, static_cast<std::uint32_t>(entries.size()));
    for (const Entry& e : entries) {
        put16le(tiff, e.tag);
        put16le(tiff, e.type);
        put32le(tiff, 1);
        put32le(tiff, e.value);  // a SHORT sits in the low half, little-endian
    }
    put32le(tiff, next);
}

// `frame` is a whole JPEG (the shipped screen.jpg): its SOI and JFIF block
// give way to an Exif block, whose IFD1 points at a thumbnail of about
// 60 KB (the same JPEG padded with a comment, as large as cameras make them).
Bytes cameraJpeg(const Bytes& frame) {
    Bytes thumbnail = {0xFF, 0xD8, 0xFF, 0xFE, 0, 0};
    const std::size_t padding = std::size_t{60} * 1024 - frame.size();
    thumbnail[4] = static_cast<unsigned char>((padding + 2) >> 8);
    thumbnail[5] = static_cast<unsigned char>(padding + 2);
    thumbnail.resize(thumbnail.size() + padding, 0);
    thumbnail.insert(thumbnail.end(), frame.begin() + 2, frame.end());

    // IFD0 (orientation, resolution unit, Exif pointer), the Exif IFD
    // (pixel dimensions), IFD1 (the thumbnail), then the thumbnail itself.
    Bytes tiff = {'I', 'I', 42, 0, 8, 0, 0, 0};
    const std::uint32_t ifd0 = 8, exifIfd = ifd0 + 2 + 3 * 12 + 4, ifd1 = exifIfd + 2 + 2 * 12 + 4;
    const std::uint32_t thumbAt = ifd1 + 2 + 3 * 12 + 4;
    putIfd(tiff, {{0x0112, 3, 1}, {0x0128, 3, 2}, {0x8769, 4, exifIfd}}, ifd1);
    putIfd(tiff, {{0xA002, 4, 1920}, {0xA003, 4, 1080}}, 0);
    putIfd(tiff, {{0x0103, 3, 6}, {0x0201, 4, thumbAt}, {0x0202, 4, static_cast<std::uint32_t>(thumbnail.size())}}, 0);
    tiff.insert(tiff.end(), thumbnail.begin(), thumbnail.end());

    const std::size_t app1Length = 2 + 6 + tiff.size();
    Bytes jpeg = {0xFF, 0xD8, 0xFF, 0xE1, 0, 0, 'E', 'x', 'i', 'f', 0, 0};  // SOI, APP1, its length, Exif
    jpeg[4] = static_cast<unsigned char>(app1Length >> 8);
    jpeg[5] = static_cast<unsigned char>(app1Length);
    jpeg.insert(jpeg.end(), tiff.begin(), tiff.end());
    const std::size_t afterJfif = 4 + (std::size_t{frame[4]} << 8 | frame[5]);  // SOI, then APP0
    jpeg.insert(jpeg.end(), frame.begin() + static_cast<std::ptrdiff_t>(afterJfif), frame.end());
    return jpeg;
}

void save(const std::string& path, const Bytes& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace

int main(int argc, char** argv) {
    const std::string set = argc == 5 ? argv[1] : "";
    const bool phone = set.compare(0, 6, "phone-") == 0;
    if (set != "generated" && set != "camera" && set != "today" && set != "camera-jpeg" && set != "camera-raw" &&
        set != "library" && set != "phone-12" && set != "phone-50" && set != "phone-200") {
        std::fprintf(
            stderr,
            "usage: make_bench_images generated|camera|camera-jpeg|camera-raw|library FOLDER COUNT EXAMPLES_IMAGES_FOLDER\n"
            "       make_bench_images today FOLDER COUNT ENCODED_FILES_FOLDER\n"
            "       make_bench_images phone-12|phone-50|phone-200 FOLDER COUNT -\n");
        return 2;
    }
    const bool camera = set.compare(0, 6, "camera") == 0;
    const fs::path folder = argv[2];
    const int count = std::atoi(argv[3]);
    const fs::path examples = argv[4];
    fs::create_directories(folder);
    if (set == "library") {
        // A copy for every 10 000 names: file systems bound a file's links (ext4: 65 000).
        const fs::path original = folder / "original.jpg";
        for (int i = 0; i < count; ++i) {
            char name[32];
            std::snprintf(name, sizeof name, "%05d/%08d.jpg", i / 100, i);
            if (i % 100 == 0) fs::create_directories(folder / fs::path(name).parent_path());
            if (i % 10000 == 0) {
                fs::remove(original);  // the links keep the last copy
                fs::copy_file(examples / "screen.jpg", original);
            }
            fs::create_hard_link(original, folder / name);
        }
        fs::remove(original);
        return 0;
    }
    const Bytes jpeg = camera ? cameraJpeg(readFile(examples / "screen.jpg")) : Bytes();
    // Sensor sizes of common cameras, in turn.
    static const std::uint32_t kSensors[][2] = {{6000, 4000}, {5472, 3648}, {4000, 3000}, {6240, 4160}};
    for (int i = 0; i < count; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "%06d", i);
        const std::string base = (folder / name).string();
        if (phone) {
            // 4:3, in tiles of 512: 48, 192 and 768 of them.
            const std::uint32_t columns = set == "phone-12" ? 8 : set == "phone-50" ? 16 : 32;
            const std::uint32_t rows = columns * 3 / 4;
            writeHeif(base + ".heic",
                      {{columns * 512, rows * 512, columns, rows, 512, false, 60000}, {320, 240, 0, 0, 0, true, 8000}},
                      columns * 512, rows * 512);
            continue;
        }
        if (set == "camera-jpeg") {
            save(base + ".jpg", jpeg);
            continue;
        }
        if (set == "today") {
            // Phones' sizes, in turn, in tiles of 512: 12 MP landscape and portrait, 48 MP.
            static const std::uint32_t kPhones[][4] = {{4032, 3024, 8, 6}, {3024, 4032, 6, 8}, {8064, 6048, 16, 12}};
            static const char* const kEncoded[] = {"thumbnail.heic", "photo.avif", "grid.avif", "bare.jxl", "boxed.jxl"};
            const auto& phone = kPhones[i / 2 % 3];
            const char* copy = kEncoded[i / 2 % 5];
            if (i % 2 == 0) {
                writeHeif(base + ".heic", {{phone[0], phone[1], phone[2], phone[3], 512}, {320, 240, 0, 0, 0, true}},
                          phone[0], phone[1]);
            } else {
                fs::copy_file(examples / copy, base + fs::path(copy).extension().string(),
                              fs::copy_options::overwrite_existing);
            }
            continue;
        }
        if (camera) {
            const auto& sensor = kSensors[i / 2 % 4];
            switch (set == "camera-raw" ? i % 2 * 2 + 1 : i % 4) {
            case 0:
            case 2: save(base + ".jpg", jpeg); break;
            case 1: writePreviewFirstTiff(base + ".dng", 160, 120, sensor[0], sensor[1]); break;
            default: writePreviewFirstTiff(base + ".nef", 160, 120, sensor[0], sensor[1]); break;
            }
            continue;
        }
        const std::uint32_t w = 16 + static_cast<std::uint32_t>(i % 48), h = 16 + static_cast<std::uint32_t>(i % 37);
        switch (i % 6) {
        case 0: writePng(base + ".png", w, h); break;
        case 1: writeBmp(base + ".bmp", w, h); break;
        case 2: writeTiff(base + ".tif", w, h); break;
        case 3: fs::copy_file(examples / "screen.jpg", base + ".jpg", fs::copy_options::overwrite_existing); break;
        case 4: fs::copy_file(examples / "thumb.gif", base + ".gif", fs::copy_options::overwrite_existing); break;
        default: fs::copy_file(examples / "photo.webp", base + ".webp", fs::copy_options::overwrite_existing); break;
        }
    }
    return 0;
}
