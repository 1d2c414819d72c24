#include "samples.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace engine::stage {

namespace {

bool hostIsBigEndian() {
  const uint16_t one = 1;
  uint8_t first;
  std::memcpy(&first, &one, 1);
  return first == 0;
}

bool isBigEndian(AFormat fmt) {
  return fmt == FMT_U16_BE || fmt == FMT_S16_BE ||
         ((fmt == FMT_U16_NE || fmt == FMT_S16_NE) && hostIsBigEndian());
}

bool isUnsigned16(AFormat fmt) {
  return fmt == FMT_U16_LE || fmt == FMT_U16_BE || fmt == FMT_U16_NE;
}

} // namespace

int bytesPerSample(AFormat fmt) { return fmt <= FMT_S8 ? 1 : 2; }

void toS16(AFormat fmt, const void *data, size_t bytes, std::vector<int16_t> &out) {
  const auto *p = static_cast<const uint8_t *>(data);
  size_t n = bytes / static_cast<size_t>(bytesPerSample(fmt));
  out.resize(n);
  if (n == 0)
    return;
  int16_t *o = out.data();
  if (fmt == FMT_U8 || fmt == FMT_S8) {
    for (size_t i = 0; i < n; ++i)
      o[i] = static_cast<int16_t>(fmt == FMT_U8 ? (p[i] - 128) * 256
                                                : static_cast<int8_t>(p[i]) * 256);
    return;
  }
  if (fmt == FMT_S16_NE || (fmt == FMT_S16_LE && !hostIsBigEndian()) ||
      (fmt == FMT_S16_BE && hostIsBigEndian())) {
    std::memcpy(o, p, n * 2);
    return;
  }
  bool big = isBigEndian(fmt), flip = isUnsigned16(fmt);
  for (size_t i = 0; i < n; ++i) {
    uint16_t v = big ? static_cast<uint16_t>(p[2 * i] << 8 | p[2 * i + 1])
                     : static_cast<uint16_t>(p[2 * i + 1] << 8 | p[2 * i]);
    o[i] = static_cast<int16_t>(flip ? v ^ 0x8000 : v);
  }
}

void fromS16(AFormat fmt, const int16_t *samples, size_t n, std::vector<uint8_t> &out) {
  out.resize(n * static_cast<size_t>(bytesPerSample(fmt)));
  if (n == 0)
    return; // an effect still filling its window gave nothing, and an empty vector has no data
  uint8_t *o = out.data();
  if (fmt == FMT_U8 || fmt == FMT_S8) {
    for (size_t i = 0; i < n; ++i) {
      int v = samples[i] >> 8;
      o[i] = static_cast<uint8_t>(fmt == FMT_U8 ? v + 128 : v);
    }
    return;
  }
  bool big = isBigEndian(fmt), flip = isUnsigned16(fmt);
  if (!flip && big == hostIsBigEndian()) {
    std::memcpy(o, samples, n * 2);
    return;
  }
  for (size_t i = 0; i < n; ++i) {
    uint16_t v = static_cast<uint16_t>(samples[i]);
    if (flip)
      v ^= 0x8000;
    o[2 * i] = static_cast<uint8_t>(big ? v >> 8 : v & 0xff);
    o[2 * i + 1] = static_cast<uint8_t>(big ? v & 0xff : v >> 8);
  }
}

void s16ToFloat(const int16_t *in, size_t n, std::vector<float> &out) {
  out.resize(n);
  for (size_t i = 0; i < n; ++i)
    out[i] = static_cast<float>(in[i]) * (1.0f / 32768.0f);
}

void floatToS16(const float *in, size_t n, float gain, std::vector<int16_t> &out) {
  out.resize(n);
  const float scale = 32768.0f * gain;
  for (size_t i = 0; i < n; ++i) {
    float v = std::nearbyint(in[i] * scale);
    out[i] = static_cast<int16_t>(std::clamp(v, -32768.0f, 32767.0f));
  }
}

void applyVolume(int16_t *s, size_t n, int percent) {
  if (percent >= 100)
    return;
  percent = std::max(percent, 0);
  for (size_t i = 0; i < n; ++i)
    s[i] = static_cast<int16_t>(s[i] * percent / 100);
}

void applyGain(int16_t *s, size_t n, double gain) {
  // The factor as a 16-bit fixed-point number with as many fraction bits as fit, so each product
  // is a 16 x 16 -> 32-bit multiply: 15 bits for an attenuation, one fewer for each doubling
  // above 1 (a +12 dB gain keeps 13 bits: an error under 1/30000).
  gain = std::clamp(std::isfinite(gain) ? gain : 0.0, 0.0, 32767.0);
  int shift = 15;
  while (shift > 0 && gain * double(1 << shift) >= 32767.5)
    --shift;
  const int16_t q = static_cast<int16_t>(std::lround(gain * double(1 << shift)));
  const int32_t half = shift > 0 ? 1 << (shift - 1) : 0;
  auto one = [&](int16_t v) {
    int32_t r = (int32_t(v) * int32_t(q) + half) >> shift;
    return static_cast<int16_t>(std::clamp<int32_t>(r, -32768, 32767));
  };
  // Blocks of a fixed length: the compiler turns each into a few vector instructions.
  constexpr size_t kBlock = 16;
  size_t i = 0;
  for (; i + kBlock <= n; i += kBlock)
    for (size_t k = 0; k < kBlock; ++k)
      s[i + k] = one(s[i + k]);
  for (; i < n; ++i)
    s[i] = one(s[i]);
}

} // namespace engine::stage
