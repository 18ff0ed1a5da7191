// An XMP packet's text in the encoding it declares: read into UTF-8 for
// editing, and written back so that every character not edited comes back
// as the same bytes. Values are escaped for the packet they go into.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// The encodings expat reads, which are those XMP packets are written in
// (UTF-32, which XMP also allows, expat cannot read).
enum class PacketEncoding { Utf8, Utf16Le, Utf16Be, Latin1, Ascii };

// The encoding of `bytes`, by their byte-order mark, their first characters
// and their XML declaration; false with a one-line reason for any other.
bool packetEncoding(std::string_view bytes, PacketEncoding& encoding, std::string& error);

// `bytes` as UTF-8 (a byte-order mark stays, as U+FEFF); false with a
// reason when they are not text of that encoding.
bool decodePacket(std::string_view bytes, PacketEncoding encoding, std::string& text, std::string& error);

// UTF-8 text back in `encoding`: what decodePacket read, with what
// escapeValue wrote put in.
std::string encodePacket(std::string_view text, PacketEncoding encoding);

// A value as an element's text in a packet of `encoding`: &, <, > and CR
// as references, and every character beyond ASCII a decimal reference where
// the packet is not Unicode (readers such as Exiv2 take every packet for
// UTF-8). False for a character that XML cannot hold at all.
bool escapeValue(std::string_view value, PacketEncoding encoding, std::string& out);

// The size in `encoding` of UTF-8 text, for positions in the packet's bytes.
std::size_t encodedSize(std::string_view text, PacketEncoding encoding);
