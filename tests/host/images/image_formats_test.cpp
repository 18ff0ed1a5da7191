// The readers chosen by a file's content: today's formats from the real
// encoders and, for the cases Exiv2 alone gets wrong and no encoder writes,
// built by hand; every size checked against exiftool as well.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "host_run.h"
#include "image_files.h"
#include "system/program_location.h"
#include "temp_dir.h"

namespace fs = std::filesystem;

namespace {

// exiftool's "NAME<tab>WIDTH<tab>HEIGHT" line for each file of a folder
// (natively: under Windows the same table is checked without it).
std::string exiftoolSizes([[maybe_unused]] const fs::path& folder) {
    std::string out;
#if !defined(_WIN32)
    std::FILE* pipe = popen(("exiftool -q -T -FileName -ImageWidth -ImageHeight '" + folder.string() + "'").c_str(),
                            "r");
    char buffer[4096];
    for (std::size_t n; pipe != nullptr && (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
    if (pipe != nullptr) pclose(pipe);
#endif
    return out;
}

class ImageFormats : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(photos);
        for (const char* name :
             {"thumbnail.heic", "odd.heic", "IMG_0002.HIF", "photo.avif", "grid.avif", "bare.jxl", "boxed.jxl"})
            fs::copy_file(programDirectory() / "format-files" / name, photos / name);
        writeHeif((photos / "IMG_0001.HEIC").string(), {{2048, 1536, 4, 3, 512}, {320, 240, 0, 0, 0, true}});
        // 200 MP as phones write it: 768 tiles of 512 × 512.
        writeHeif((photos / "IMG_0005.HEIC").string(), {{16384, 12288, 32, 24, 512}, {320, 240, 0, 0, 0, true}});
        writeHeif((photos / "wide-ipma.heic").string(), {{1280, 960, 2, 2, 640}, {320, 240}}, 0, 0, true);
        // Whole meta box, image data cut: the size is in the part that is there.
        const std::string phone = readBytes((photos / "IMG_0001.HEIC").string());
        writeBytes((photos / "tiles-cut.heic").string(), phone.substr(0, phone.size() - 4));
        writeHeif((photos / "second.heic").string(), {{640, 480}, {4000, 3000}});
        writeHeif((photos / "stale-exif.heic").string(), {{640, 480}}, 4000, 3000);
        writeCr3((photos / "IMG_0003.CR3").string(), 6000, 4000);
        writeCr3((photos / "IMG_0004.CR3").string(), 6000, 4000, {0, 4000});  // PixelXDimension left 0
        // Phones export JPEGs named .heic; a HEIC named .jpg is no rarer.
        fs::copy_file(programDirectory() / ".." / ".." / "examples" / "images" / "screen.jpg", photos / "jpeg.heic");
        fs::copy_file(photos / "thumbnail.heic", photos / "heic.jpg");
        writeBytes(rules, "[Conditions]\r\nnum=0\r\n");
    }

    TempDir dir;
    fs::path photos = dir.path() / "photos";
    std::string rules = dir.file("rules.ini");
};

TEST_F(ImageFormats, EachFileGetsItsPrimaryImagesStoredSize) {
    const struct {
        const char* name;
        std::uint32_t width, height;
    } cases[] = {
        // in the walk's sorted order
        {"IMG_0001.HEIC", 2048, 1536},  {"IMG_0002.HIF", 320, 200},      {"IMG_0003.CR3", 6000, 4000},
        {"IMG_0004.CR3", 6000, 4000},   {"IMG_0005.HEIC", 16384, 12288}, {"bare.jxl", 300, 200},
        {"boxed.jxl", 300, 200},        {"grid.avif", 1280, 960},        {"heic.jpg", 640, 480},
        {"jpeg.heic", 1920, 1080},      {"odd.heic", 101, 67},           {"photo.avif", 640, 480},
        {"second.heic", 640, 480},      {"stale-exif.heic", 640, 480},   {"thumbnail.heic", 640, 480},
        {"tiles-cut.heic", 2048, 1536}, {"wide-ipma.heic", 1280, 960},
    };
    const HostRun run = runHost({"classify", "--json", "--config", rules, photos.u8string()}, dir);
    EXPECT_EQ(run.status, 0) << run.err;
    const std::vector<std::string> lines = linesOf(run.out);
    const std::string exiftool = exiftoolSizes(photos);
    ASSERT_EQ(lines.size(), std::size(cases)) << run.out << run.err;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string w = std::to_string(cases[i].width), h = std::to_string(cases[i].height);
        const std::string ours = std::string(cases[i].name).append("\",\"width\":").append(w).append(",\"height\":");
        EXPECT_NE(lines[i].find(ours + h + ","), std::string::npos) << lines[i];
        const std::string theirs = std::string(cases[i].name).append("\t").append(w).append("\t");
#if !defined(_WIN32)
        EXPECT_NE(exiftool.find(theirs + h + "\n"), std::string::npos) << exiftool;
#endif
    }
}

TEST_F(ImageFormats, FilesCutShortAreNamedAndTheRunGoesOn) {
    const fs::path cut = dir.path() / "cut";
    fs::create_directories(cut);
    std::size_t files = 0;
    for (const char* name : {"IMG_0001.HEIC", "IMG_0002.HIF", "IMG_0003.CR3", "grid.avif", "boxed.jxl"}) {
        const std::string bytes = readBytes((photos / name).string());
        for (const std::size_t at : {std::size_t{12}, std::size_t{40}, bytes.size() / 3, bytes.size() - 1}) {
            writeBytes((cut / (std::to_string(at) + "-" + name)).string(), bytes.substr(0, at));
            ++files;
        }
    }
    const HostRun run = runHost({"classify", "--config", rules, cut.string()}, dir);
    EXPECT_EQ(run.status, 1) << run.err;
    // Each file once: its size on the output, or its reason on the error stream.
    EXPECT_EQ(linesOf(run.out).size() + linesOf(run.err).size() - 1, files) << run.out << run.err;
    EXPECT_NE(run.err.find("files classified"), std::string::npos) << run.err;
}

}  // namespace
