// Song tags as the input plug-ins find them, and the playlist title built from them through
// the engine's title format.
#pragma once

#include <cstddef>
#include <string>

namespace velora::input {

// Tag values longer than this are cut: a title is shown on a small screen, and a hostile file
// must not make the engine carry megabytes of "title".
constexpr size_t kMaxTagBytes = 1024;

struct Tags {
  std::string performer, album, title, date, genre, comment;
  int track = 0;
  int year = 0;

  // One Vorbis comment "KEY=value" of `length` bytes (not NUL-terminated), as found in Ogg
  // Vorbis and FLAC files. Unknown keys are ignored; the first value of a key wins.
  void addVorbisComment(const char *entry, size_t length);
};

// Text of a tag field of at most maxBytes bytes: ends at the first NUL, loses trailing blanks,
// is cut to kMaxTagBytes, and bytes that are not UTF-8 are read as Latin-1 (old ID3v1 tags).
std::string tagText(const char *data, size_t maxBytes);

// The leading decimal number of a text ("3/12" gives 3, "2004-05-01" gives 2004), 0 when none
// or out of range.
int leadingNumber(const std::string &text);

// The title for a file: the engine's title format over the tags and the file's name parts;
// the file's base name when the format yields nothing. malloc'd, never null.
char *makeTitle(const Tags &tags, const char *path);

} // namespace velora::input
