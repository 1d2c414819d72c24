// Sample conversions the decoders need on the way to the engine's 16-bit stereo output.
#pragma once

#include <cstddef>
#include <cstdint>

namespace velora::input {

enum class Speaker {
  FrontLeft,
  FrontRight,
  Centre,
  Lfe,
  BackLeft,
  BackRight,
  SideLeft,
  SideRight,
  BackCentre
};

constexpr int kMaxChannels = 8;

// Mixes more than two channels down to stereo: fronts to their side, centre and back centre to
// both at -3 dB, surrounds to their side at -3 dB, the LFE channel left out; the sum scaled so
// that full-scale channels together cannot clip.
class Downmix {
public:
  // False for more than kMaxChannels channels.
  bool setup(const Speaker *layout, int channels);
  // in: frames x channels interleaved; out: frames x 2. in and out may be the same buffer.
  void run(const int16_t *in, int16_t *out, size_t frames) const;

private:
  float left_[kMaxChannels] = {}, right_[kMaxChannels] = {};
  int channels_ = 0;
};

// A sample of `bits` bits (1..32) as 16 bits, rounded to nearest; clipped at full scale.
inline int16_t to16(int32_t sample, int bits) {
  if (bits == 16)
    return static_cast<int16_t>(sample);
  if (bits < 16)
    return static_cast<int16_t>(sample * (1 << (16 - bits)));
  int shift = bits - 16;
  int64_t r = (static_cast<int64_t>(sample) + (int64_t(1) << (shift - 1))) >> shift;
  return static_cast<int16_t>(r > 32767 ? 32767 : r);
}

} // namespace velora::input
