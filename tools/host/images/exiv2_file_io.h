// Exiv2FileIo: Exiv2's view of one image file, opened once and read only.
// Exiv2 reads a header in many small reads, seeks and reopenings; here they
// are served from a window of the file kept in memory, so that a header
// costs one or two system calls instead of dozens.
#pragma once

#include <exiv2/basicio.hpp>

#include <array>
#include <cstddef>
#include <filesystem>
#include <string>

#include "system/read_only_file.h"

class Exiv2FileIo : public Exiv2::BasicIo {
public:
    static constexpr long kWindowSize = 4096;

    explicit Exiv2FileIo(const std::filesystem::path& path);
    ~Exiv2FileIo() override;
    Exiv2FileIo(const Exiv2FileIo&) = delete;
    Exiv2FileIo& operator=(const Exiv2FileIo&) = delete;

    // The first call opens the file (openError() tells why it failed);
    // later calls only rewind, and close() only forgets the position: the
    // file is closed once, by the destructor.
    int open() override;
    const std::string& openError() const { return file_.lastError(); }
    // The file itself, for readers other than Exiv2's (videos).
    const ReadOnlyFile& file() const { return file_; }
    int close() override;

    Exiv2::DataBuf read(long rcount) override;
    long read(Exiv2::byte* buf, long rcount) override;
    int getb() override;
    int seek(long offset, Position pos) override;
    long tell() const override;
    size_t size() const override;
    bool isopen() const override;
    int error() const override;
    bool eof() const override;
    // UTF-8, for Exiv2's messages.
    std::string path() const override;
#ifdef EXV_UNICODE_PATH  // Exiv2 built for wide Windows paths
    std::wstring wpath() const override { return path_.wstring(); }
#endif

    // The whole file: the window itself when the file fits in it, else a
    // read-only mapping. Writable mappings are refused.
    Exiv2::byte* mmap(bool isWriteable = false) override;
    int munmap() override;

    // Reading only: these fail as Exiv2's own read-only sources do.
    long write(const Exiv2::byte* data, long wcount) override;
    long write(Exiv2::BasicIo& src) override;
    int putb(Exiv2::byte data) override;
    void transfer(Exiv2::BasicIo& src) override;

private:
    // Brings the bytes at the position into the window; false at the end
    // of the file or on an error.
    bool fill();
    // Reads straight into `buf`, and the bytes after it into the window.
    long readAround(Exiv2::byte* buf, long count);
    // Notes the end of the file that a read of `n` bytes at `at`, fewer
    // than it asked for, met.
    void foundEnd(long at, long n);

    std::filesystem::path path_;
    ReadOnlyFile file_;
    bool open_ = false;
    long position_ = 0;
    bool eof_ = false;
    bool error_ = false;
    mutable long size_ = -1;  // from fstat, while no read has found the end
    long knownEnd_ = -1;  // where a read found the end of the file
    std::array<Exiv2::byte, kWindowSize> window_{};
    long windowStart_ = 0;
    long windowLength_ = 0;
};
