#include "probe.h"

#include <cstdio>
#include <cstring>
#include <strings.h>
#include <vector>

namespace velora::input {

bool hasExtension(const char *name, std::initializer_list<const char *> exts) {
  if (!name)
    return false;
  const char *slash = std::strrchr(name, '/');
  const char *base = slash ? slash + 1 : name;
  const char *dot = std::strrchr(base, '.');
  if (!dot)
    return false;
  for (const char *e : exts)
    if (strcasecmp(dot, e) == 0)
      return true;
  return false;
}

size_t id3v2Size(const unsigned char *h, size_t n) {
  if (n < 10 || std::memcmp(h, "ID3", 3) != 0 || h[3] == 0xFF || h[3] > 4 || h[4] == 0xFF)
    return 0;
  if ((h[6] | h[7] | h[8] | h[9]) & 0x80)
    return 0;
  size_t body = (size_t(h[6]) << 21) | (size_t(h[7]) << 14) | (size_t(h[8]) << 7) | h[9];
  bool footer = h[3] == 4 && (h[5] & 0x10);
  return 10 + body + (footer ? 10 : 0);
}

long readHead(const char *path, unsigned char *buf, size_t n, bool skipId3v2, long *offset) {
  if (offset)
    *offset = 0;
  if (!path)
    return -1;
  FILE *f = std::fopen(path, "rb");
  if (!f)
    return -1;
  long at = 0;
  size_t got = std::fread(buf, 1, n, f);
  // Several tags may follow each other; a bounded number, so a crafted file cannot loop us.
  for (int tags = 0; skipId3v2 && tags < 8; ++tags) {
    size_t size = id3v2Size(buf, got);
    if (size == 0)
      break;
    if (size > 0x7FFFFFFFul - static_cast<size_t>(at) ||
        std::fseek(f, at + static_cast<long>(size), SEEK_SET) != 0) {
      got = 0;
      break;
    }
    at += static_cast<long>(size);
    got = std::fread(buf, 1, n, f);
  }
  std::fclose(f);
  if (offset)
    *offset = at;
  return static_cast<long>(got);
}

// True when the file ends with a complete Ogg page that closes its stream (end-of-stream flag).
// A page is at most 27 + 255 + 255 * 255 bytes long, so the last one lies in the final 64 KiB.
bool oggEndsWithFinalPage(const char *path, int64_t *granule, uint32_t *serial) {
  FILE *f = std::fopen(path, "rb");
  if (!f)
    return false;
  std::vector<unsigned char> tail;
  bool ok = false;
  if (std::fseek(f, 0, SEEK_END) == 0) {
    long size = std::ftell(f);
    long want = size < 65307 + 4096 ? size : 65307 + 4096;
    if (size > 0 && std::fseek(f, size - want, SEEK_SET) == 0) {
      tail.resize(static_cast<size_t>(want));
      tail.resize(std::fread(tail.data(), 1, tail.size(), f));
      ok = true;
    }
  }
  std::fclose(f);
  if (!ok)
    return false;
  const size_t n = tail.size();
  for (size_t at = n >= 27 ? n - 27 : 0; n >= 27; --at) {
    const unsigned char *p = tail.data() + at;
    if (std::memcmp(p, "OggS", 4) == 0 && p[4] == 0 && at + 27 + p[26] <= n) {
      size_t body = 0;
      for (int s = 0; s < p[26]; ++s)
        body += p[27 + s];
      size_t end = at + 27 + p[26] + body;
      // Whatever follows the last complete page (an appended tag, say) does not matter.
      if (end <= n && (p[5] & 0x04)) {
        if (granule) {
          uint64_t g = 0;
          for (int b = 7; b >= 0; --b)
            g = g << 8 | p[6 + b];
          *granule = static_cast<int64_t>(g);
        }
        if (serial)
          *serial = uint32_t(p[14]) | uint32_t(p[15]) << 8 | uint32_t(p[16]) << 16 |
                    uint32_t(p[17]) << 24;
        return true;
      }
    }
    if (at == 0)
      break;
  }
  return false;
}

} // namespace velora::input
