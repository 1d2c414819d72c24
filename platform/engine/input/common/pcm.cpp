#include "pcm.h"

#include <algorithm>
#include <cmath>

namespace velora::input {

bool Downmix::setup(const Speaker *layout, int channels) {
  if (!layout || channels < 1 || channels > kMaxChannels)
    return false;
  constexpr float h = 0.70710678f;
  float sumL = 0, sumR = 0;
  for (int c = 0; c < channels; ++c) {
    float l = 0, r = 0;
    switch (layout[c]) {
    case Speaker::FrontLeft:
      l = 1;
      break;
    case Speaker::FrontRight:
      r = 1;
      break;
    case Speaker::Centre:
    case Speaker::BackCentre:
      l = r = h;
      break;
    case Speaker::Lfe:
      break;
    case Speaker::BackLeft:
    case Speaker::SideLeft:
      l = h;
      break;
    case Speaker::BackRight:
    case Speaker::SideRight:
      r = h;
      break;
    }
    left_[c] = l;
    right_[c] = r;
    sumL += l;
    sumR += r;
  }
  float norm = std::max({sumL, sumR, 1.0f});
  for (int c = 0; c < channels; ++c) {
    left_[c] /= norm;
    right_[c] /= norm;
  }
  channels_ = channels;
  return true;
}

void Downmix::run(const int16_t *in, int16_t *out, size_t frames) const {
  // Frame f of the output never lies past frame f of the input, so in place works front to back.
  for (size_t f = 0; f < frames; ++f) {
    const int16_t *src = in + f * channels_;
    float l = 0, r = 0;
    for (int c = 0; c < channels_; ++c) {
      l += left_[c] * src[c];
      r += right_[c] * src[c];
    }
    out[2 * f] = static_cast<int16_t>(std::clamp(std::lrint(l), -32768L, 32767L));
    out[2 * f + 1] = static_cast<int16_t>(std::clamp(std::lrint(r), -32768L, 32767L));
  }
}

} // namespace velora::input
