// Cheap looks at a file name or the first bytes of a file, for is_our_file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>

namespace velora::input {

// True when the base name's extension (the text after its last '.') equals one of exts
// (given with the dot, e.g. ".mp3"), ignoring case.
bool hasExtension(const char *name, std::initializer_list<const char *> exts);

// Size of the ID3v2 tag (header, body and footer) that starts at head, 0 when none. Only
// well-formed headers count (version below 5, sync-safe size bytes).
size_t id3v2Size(const unsigned char *head, size_t n);

// Reads up to n bytes from the start of the file, after any ID3v2 tags when skipId3v2; the
// count read, or -1 when the file cannot be opened. *offset (may be null) gets where they start.
long readHead(const char *path, unsigned char *buf, size_t n, bool skipId3v2,
              long *offset = nullptr);

// True when the file ends with a complete Ogg page that closes its stream. The Ogg decoders
// play a file cut short without complaint; this tells a truncated file.
// *granule and *serial (may be null) get that page's granule position and stream serial number.
bool oggEndsWithFinalPage(const char *path, int64_t *granule = nullptr,
                          uint32_t *serial = nullptr);

} // namespace velora::input
