// Integers read from a file's bytes held in memory, in either byte order:
// for the walkers and writers of image layouts. Callers check the bounds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

inline std::uint32_t byteAt(std::string_view f, std::size_t at) { return static_cast<unsigned char>(f[at]); }
inline std::uint32_t be16(std::string_view f, std::size_t at) { return byteAt(f, at) << 8 | byteAt(f, at + 1); }
inline std::uint32_t be32(std::string_view f, std::size_t at) { return be16(f, at) << 16 | be16(f, at + 2); }
inline std::uint32_t le16(std::string_view f, std::size_t at) { return byteAt(f, at) | byteAt(f, at + 1) << 8; }
inline std::uint32_t le32(std::string_view f, std::size_t at) { return le16(f, at) | le16(f, at + 2) << 16; }
