// The native reader's file source under Exiv2: headers that straddle the
// edges of its reads, and files cut short while they are read.
#include <exiv2/exiv2.hpp>
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "image_files.h"
#include "images/exiv2_file_io.h"
#include "images/image_size.h"
#include "temp_dir.h"

namespace {

constexpr std::size_t kWindow = Exiv2FileIo::kWindowSize;

TEST(Exiv2FileIo, FrameHeadersAcrossTheEdgesOfReadsAreReadWhole) {
    initImageSizeReader();
    TempDir dir;
    // A comment of n bytes puts the frame marker at 6 + n; Exiv2 reads the
    // 36 bytes after it, and a comment of at least a window in one read.
    const struct {
        std::vector<std::size_t> comments;
        const char* where;
    } cases[] = {
        {{kWindow - 14}, "the header's read crosses the first window's end"},
        {{kWindow - 7}, "the marker's two bytes are in two windows"},
        {{kWindow - 6}, "the marker starts the second window"},
        {{5 * kWindow}, "a long comment read straight, the header in the window read with it"},
        {{5 * kWindow, kWindow - 10}, "the header crosses the end of that window"},
    };
    std::uint32_t width = 1000;
    for (const auto& c : cases) {
        const std::string path = dir.file("frame.jpg");
        writeJpegHeaders(path, ++width, 700, c.comments);
        ImageSize size;
        std::string error;
        EXPECT_TRUE(readImageSize(path, size, error)) << c.where << ": " << error;
        EXPECT_EQ(size.width, width) << c.where;
        EXPECT_EQ(size.height, 700u) << c.where;
    }
}

TEST(Exiv2FileIo, AFileCutToNothingWhileReadIsAnErrorNotACrash) {
    initImageSizeReader();
    TempDir dir;
    writeJpegHeaders(dir.file("cut.jpg"), 640, 480, {3 * kWindow});  // read beyond the first window
    writeTiff(dir.file("cut.tif"), 100, 100);  // mapped, being larger than a window
    for (const char* name : {"cut.jpg", "cut.tif"}) {
        const std::string path = dir.file(name);
        auto io = std::make_unique<Exiv2FileIo>(path);
        ASSERT_EQ(io->open(), 0) << name;
        Exiv2::byte head[16];
        ASSERT_EQ(io->read(head, sizeof head), 16) << name;
        ASSERT_GT(io->size(), Exiv2FileIo::kWindowSize) << name;  // the size known before the cut
        std::filesystem::resize_file(path, 0);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"  // Exiv2 0.27 takes its source in a std::auto_ptr
        auto image = Exiv2::ImageFactory::open(Exiv2::BasicIo::AutoPtr(io.release()));
#pragma GCC diagnostic pop
        ASSERT_NE(image.get(), nullptr) << name << ": the type is known from the bytes read before";
        EXPECT_THROW(image->readMetadata(), Exiv2::Error) << name;
    }
}

// A seek may go past the end; a read there (a small one through the window,
// a large one straight) finds nothing, and the size, which bounds Exiv2's
// reads, stays the file's own.
TEST(Exiv2FileIo, AReadPastTheEndLeavesTheSizeAsTheFileHasIt) {
    TempDir dir;
    const std::string path = dir.file("small.bin");
    writeBytes(path, std::string(3 * kWindow, 'x'));
    for (const long count : {16L, static_cast<long>(2 * kWindow)}) {
        Exiv2FileIo io(path);
        ASSERT_EQ(io.open(), 0);
        ASSERT_EQ(io.seek(10 * kWindow, Exiv2::BasicIo::beg), 0);
        EXPECT_EQ(io.read(count).size_, 0) << count;
        EXPECT_EQ(io.size(), 3 * kWindow) << count;
    }
}

}  // namespace
