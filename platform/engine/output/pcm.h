// Sample format helpers shared by the output plug-ins: every format the input plug-ins may
// hand over is turned into signed 16-bit native-endian samples, and software volume is applied
// there, so each output deals with one sample type only.
#pragma once

#include <xmms/plugin.h>

#include <cstdint>
#include <cstring>
#include <vector>

namespace pcm {

inline bool validFormat(int fmt) { return fmt >= FMT_U8 && fmt <= FMT_S16_NE; }
inline int bytesPerSample(AFormat fmt) { return fmt <= FMT_S8 ? 1 : 2; }

inline bool hostIsBigEndian() {
  const uint16_t one = 1;
  uint8_t first;
  std::memcpy(&first, &one, 1);
  return first == 0;
}

// Appends the samples of bytes (whole samples only) as signed 16-bit native values.
inline void toS16(AFormat fmt, const void *data, int bytes, std::vector<int16_t> &out) {
  const auto *p = static_cast<const uint8_t *>(data);
  int bps = bytesPerSample(fmt);
  size_t n = static_cast<size_t>(bytes / bps);
  size_t base = out.size();
  out.resize(base + n);
  int16_t *o = out.data() + base;
  if (bps == 1) {
    for (size_t i = 0; i < n; ++i)
      o[i] = static_cast<int16_t>(fmt == FMT_U8 ? (p[i] - 128) * 256
                                                : static_cast<int8_t>(p[i]) * 256);
    return;
  }
  bool big = fmt == FMT_U16_BE || fmt == FMT_S16_BE ||
             ((fmt == FMT_U16_NE || fmt == FMT_S16_NE) && hostIsBigEndian());
  bool isUnsigned = fmt == FMT_U16_LE || fmt == FMT_U16_BE || fmt == FMT_U16_NE;
  for (size_t i = 0; i < n; ++i) {
    uint16_t v = big ? static_cast<uint16_t>(p[2 * i] << 8 | p[2 * i + 1])
                     : static_cast<uint16_t>(p[2 * i + 1] << 8 | p[2 * i]);
    if (isUnsigned)
      v ^= 0x8000;
    o[i] = static_cast<int16_t>(v);
  }
}

// Linear gain in percent; 100 leaves the samples untouched.
inline void applyVolume(int16_t *s, size_t n, int percent) {
  if (percent >= 100)
    return;
  if (percent < 0)
    percent = 0;
  for (size_t i = 0; i < n; ++i)
    s[i] = static_cast<int16_t>(s[i] * percent / 100);
}

} // namespace pcm
