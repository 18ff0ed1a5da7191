// Small valid image files of any size, written from scratch for the host's
// end-to-end tests: PNG (stored deflate), BMP (24-bit) and TIFF (8-bit grey),
// a PNG that is only a header, as a panorama's would be, and a TIFF-based
// camera raw file that keeps a small preview first.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

void writePng(const std::string& path, std::uint32_t width, std::uint32_t height);
void writePngHeaderOnly(const std::string& path, std::uint32_t width, std::uint32_t height);
void writeBmp(const std::string& path, std::uint32_t width, std::uint32_t height);
void writeTiff(const std::string& path, std::uint32_t width, std::uint32_t height);
// IFD0 a preview (NewSubfileType 1), the full image in a SubIFD
// (NewSubfileType 0, PackBits), as DNG, NEF and PEF files are laid out.
void writePreviewFirstTiff(const std::string& path, std::uint32_t previewWidth, std::uint32_t previewHeight,
                           std::uint32_t fullWidth, std::uint32_t fullHeight);
// A JPEG that is only its headers: comment segments of the given sizes, then
// the frame header and the end. Sizes place the frame header where a reader's
// buffers end.
void writeJpegHeaders(const std::string& path, std::uint32_t width, std::uint32_t height,
                      const std::vector<std::size_t>& commentSizes);

// HEIF files built box by box around placeholder tiles, for the cases no
// encoder writes: `items` in order, the first one primary. A grid item
// (`columns` > 0) references columns × rows hvc1 items of `tileSize`, made
// for it, each with `dataBytes` of data (as has a single image); a stale
// Exif item says `exifWidth` × `exifHeight`. `wideIpma`: ipma version 1
// with 15-bit indices, past 200 other properties.
struct HeifItem {
    std::uint32_t width, height;
    std::uint32_t columns = 0, rows = 0, tileSize = 0;
    bool thumbnailOfPrimary = false;
    std::uint32_t dataBytes = 1;
};
void writeHeif(const std::string& path, const std::vector<HeifItem>& items, std::uint32_t exifWidth = 0,
               std::uint32_t exifHeight = 0, bool wideIpma = false);
// A CR3 as Canon lays it out, reduced to the size Exiv2 and exiftool read:
// IFD0 (the CMT1 box) with ImageWidth and ImageLength, and only when
// `pixelDimensions` holds them, an Exif directory (CMT2) with
// PixelXDimension and PixelYDimension.
void writeCr3(const std::string& path, std::uint32_t width, std::uint32_t height,
              const std::vector<std::uint32_t>& pixelDimensions = {});

// Little-endian integers appended to a file's bytes, as TIFF and BMP keep them.
void put16le(std::vector<unsigned char>& bytes, std::uint32_t value);
void put32le(std::vector<unsigned char>& bytes, std::uint32_t value);
