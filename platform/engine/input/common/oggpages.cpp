#include "oggpages.h"

#include <cstdio>
#include <cstring>

namespace velora::input {

namespace {
// Header packets with a large picture in them can take many pages before the first samples.
constexpr int kMaxPages = 2048;
} // namespace

OggStart oggStart(const char *path) {
  OggStart r;
  FILE *f = path ? std::fopen(path, "rb") : nullptr;
  if (!f)
    return r;
  unsigned char h[27 + 255];
  for (int page = 0; page < kMaxPages; ++page) {
    if (std::fread(h, 1, 27, f) != 27 || std::memcmp(h, "OggS", 4) != 0 || h[4] != 0)
      break;
    const int segments = h[26];
    if (std::fread(h + 27, 1, static_cast<size_t>(segments), f) != static_cast<size_t>(segments))
      break;
    long body = 0;
    for (int s = 0; s < segments; ++s)
      body += h[27 + s];
    uint32_t serial = 0;
    for (int b = 3; b >= 0; --b)
      serial = serial << 8 | h[14 + b];
    int64_t granule = 0;
    for (int b = 7; b >= 0; --b)
      granule = static_cast<int64_t>(static_cast<uint64_t>(granule) << 8 | h[6 + b]);
    if (page == 0) {
      r.ogg = true;
      r.serial = serial;
    }
    // Header pages carry granule 0, a page on which no packet ends carries -1: the first page
    // past them holds the first samples.
    if (serial == r.serial && granule > 0) {
      r.audioOnOnePage = (h[5] & 0x04) != 0;
      break;
    }
    if (std::fseek(f, body, SEEK_CUR) != 0)
      break;
  }
  std::fclose(f);
  return r;
}

} // namespace velora::input
