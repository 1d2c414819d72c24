#include "probe.h"

#include <cstdio>
#include <cstring>
#include <strings.h>

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

} // namespace velora::input
