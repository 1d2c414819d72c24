#include "speedeffect.h"

#include <SoundTouch.h>

#include <algorithm>
#include <cmath>

namespace engine::stage {

namespace {
constexpr size_t kBlock = 1024; // frames handed to or taken from the stretcher at once
// Drain feeds silence until the stretch has given its frames; a stretcher that keeps nothing
// back needs a few blocks, this bound only stops a broken one from looping for ever.
constexpr int kMaxDrainBlocks = 512;
} // namespace

SpeedEffect::SpeedEffect() = default;
SpeedEffect::~SpeedEffect() = default;

void SpeedEffect::configure(const StreamFormat &format) {
  stopStretch();
  rate_ = format.rate > 0 ? format.rate : 44100;
  channels_ = std::clamp(format.channels, 1, 8);
  silence_.assign(kBlock * static_cast<size_t>(channels_), 0.0f);
}

void SpeedEffect::setSpeed(float speed) {
  if (!(speed > 0))
    return;
  speed_ = speed;
  // Back at 1.0 a running stretch goes on at that tempo until the stream is flushed or ends:
  // playing it out now would fade its last frames into silence in the middle of the song.
  if (stretcher_)
    stretcher_->setTempo(speed_);
}

void SpeedEffect::startStretch() {
  stretcher_ = std::make_unique<soundtouch::SoundTouch>();
  stretcher_->setSampleRate(static_cast<unsigned>(rate_));
  stretcher_->setChannels(static_cast<unsigned>(channels_));
  stretcher_->setTempo(speed_);
  targetOut_ = 0;
  emitted_ = 0;
}

void SpeedEffect::stopStretch() {
  stretcher_.reset();
  targetOut_ = 0;
  emitted_ = 0;
}

void SpeedEffect::feed(const float *in, size_t frames) {
  const size_t nch = static_cast<size_t>(channels_);
  while (frames > 0) {
    size_t n = std::min(frames, kBlock);
    stretcher_->putSamples(in ? in : silence_.data(), static_cast<unsigned>(n));
    if (in) {
      targetOut_ += static_cast<double>(n) / speed_;
      in += n * nch;
    }
    frames -= n;
  }
}

// Takes up to `frames` output frames out of the stretcher (fewer if it holds fewer).
void SpeedEffect::retrieve(size_t frames, std::vector<float> &out) {
  const size_t nch = static_cast<size_t>(channels_);
  while (frames > 0) {
    size_t ready = stretcher_->numSamples();
    size_t want = std::min({ready, frames, kBlock});
    if (want == 0)
      return;
    size_t base = out.size();
    out.resize(base + want * nch);
    size_t got = stretcher_->receiveSamples(out.data() + base, static_cast<unsigned>(want));
    out.resize(base + got * nch);
    if (got == 0)
      return;
    emitted_ += got;
    frames -= got;
  }
}

void SpeedEffect::process(const float *in, size_t frames, std::vector<float> &out) {
  if (!stretcher_ && speed_ == 1.0f) {
    out.insert(out.end(), in, in + frames * static_cast<size_t>(channels_));
    return;
  }
  if (!stretcher_)
    startStretch();
  feed(in, frames);
  // Never ahead of what the input calls for: the rest comes with the next frames or the drain.
  retrieve(pendingFrames(), out);
}

size_t SpeedEffect::pendingFrames() const {
  if (!stretcher_)
    return 0;
  double left = std::round(targetOut_) - static_cast<double>(emitted_);
  return left > 0 ? static_cast<size_t>(left) : 0;
}

double SpeedEffect::latencySeconds() const {
  return static_cast<double>(pendingFrames()) * speed_ / rate_;
}

void SpeedEffect::drain(std::vector<float> &out) {
  if (!stretcher_)
    return;
  size_t need = pendingFrames();
  for (int blocks = 0; need > 0 && blocks < kMaxDrainBlocks; ++blocks) {
    size_t before = emitted_;
    retrieve(need, out);
    need -= std::min(need, emitted_ - before);
    if (need > 0)
      feed(nullptr, kBlock);
  }
  // A stretcher that could not give everything (it never should) leaves silence, so the
  // length of the stream still comes out right.
  if (need > 0)
    out.resize(out.size() + need * static_cast<size_t>(channels_), 0.0f);
  stopStretch();
}

void SpeedEffect::flush() { stopStretch(); }

} // namespace engine::stage
