// The engine's playlist reader on arbitrary bytes: every entry is a trimmed line of more than
// five characters that is not a comment.
#include "playlist.h"

#include "memfile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  static fuzz::MemFile file("m3u");
  std::string text(reinterpret_cast<const char *>(data), size);
  auto entries = engine::parsePlaylist(text);
  for (const auto &e : entries) {
    FUZZ_CHECK(e.size() > 5);
    FUZZ_CHECK(e[0] != '#');
    FUZZ_CHECK(e.find('\n') == std::string::npos);
    FUZZ_CHECK(e.front() != ' ' && e.back() != ' ' && e.back() != '\r');
  }
  FUZZ_CHECK(engine::loadPlaylistFile(file.fill(data, size)) == entries);
  int pos = engine::resumePosition(entries, static_cast<int>(size) - 3,
                                   entries.empty() ? std::string() : entries.back());
  FUZZ_CHECK(pos >= 0 && (entries.empty() || pos < static_cast<int>(entries.size())));
  return 0;
}
