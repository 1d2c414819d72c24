#include "speedeffect.h"

#include <rubberband/RubberBandStretcher.h>

#include <algorithm>
#include <cmath>

namespace engine::stage {

namespace {
using RB = RubberBand::RubberBandStretcher;
// Real-time mode with the R2 engine: the one meant for live streams on a small machine. One
// thread (the stage runs on the decode thread already), channels together so a stereo image
// does not smear, and smooth transients: with phase resets a held note wanders by a few hertz
// when sped up and a change of speed leaves a 20 ms hole (both measured on a pure tone).
constexpr RB::Options kOptions = RB::OptionProcessRealTime | RB::OptionEngineFaster |
                                 RB::OptionThreadingNever | RB::OptionChannelsTogether |
                                 RB::OptionTransientsSmooth;
constexpr size_t kBlock = 1024; // frames handed to the stretcher at once
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
  planes_.assign(static_cast<size_t>(channels_), std::vector<float>(kBlock));
  planePtrs_.resize(static_cast<size_t>(channels_));
}

void SpeedEffect::setSpeed(float speed) {
  if (!(speed > 0))
    return;
  speed_ = speed;
  // Back at 1.0 a running stretch goes on at that ratio until the stream is flushed or ends:
  // playing it out now would fade its last frames into silence in the middle of the song.
  if (stretcher_)
    stretcher_->setTimeRatio(1.0 / speed_);
}

void SpeedEffect::startStretch() {
  stretcher_ = std::make_unique<RB>(static_cast<size_t>(rate_), static_cast<size_t>(channels_),
                                    kOptions, 1.0 / speed_, 1.0);
  stretcher_->setMaxProcessSize(kBlock);
  targetOut_ = 0;
  emitted_ = 0;
  // Silence ahead of the first frame, and the same length of output thrown away, line the
  // output up with the input: output frame o is input frame o * speed.
  size_t pad = stretcher_->getPreferredStartPad();
  toSkip_ = stretcher_->getStartDelay();
  for (auto &p : planes_)
    std::fill(p.begin(), p.end(), 0.0f);
  for (size_t c = 0; c < planes_.size(); ++c)
    planePtrs_[c] = planes_[c].data();
  while (pad > 0) {
    size_t n = std::min(pad, kBlock);
    stretcher_->process(planePtrs_.data(), n, false);
    pad -= n;
  }
}

void SpeedEffect::stopStretch() {
  stretcher_.reset();
  targetOut_ = 0;
  emitted_ = 0;
  toSkip_ = 0;
}

void SpeedEffect::feed(const float *in, size_t frames) {
  const size_t nch = static_cast<size_t>(channels_);
  while (frames > 0) {
    size_t n = std::min(frames, kBlock);
    for (size_t c = 0; c < nch; ++c) {
      float *p = planes_[c].data();
      if (in) {
        for (size_t i = 0; i < n; ++i)
          p[i] = in[i * nch + c];
      } else {
        std::fill(p, p + n, 0.0f);
      }
      planePtrs_[c] = p;
    }
    stretcher_->process(planePtrs_.data(), n, false);
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
  thread_local std::vector<float> buf;
  buf.resize(kBlock * nch);
  std::vector<float *> ptrs(nch);
  for (size_t c = 0; c < nch; ++c)
    ptrs[c] = buf.data() + c * kBlock;
  while (frames > 0 || toSkip_ > 0) {
    int avail = stretcher_->available();
    if (avail <= 0)
      return;
    size_t want = std::min<size_t>(static_cast<size_t>(avail), kBlock);
    if (toSkip_ == 0)
      want = std::min(want, frames);
    if (want == 0)
      return;
    size_t got = stretcher_->retrieve(ptrs.data(), want);
    if (got == 0)
      return;
    size_t skip = std::min(got, toSkip_);
    toSkip_ -= skip;
    size_t base = out.size();
    out.resize(base + (got - skip) * nch);
    float *o = out.data() + base;
    for (size_t i = skip; i < got; ++i)
      for (size_t c = 0; c < nch; ++c)
        *o++ = ptrs[c][i];
    emitted_ += got - skip;
    frames -= std::min(frames, got - skip);
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
  retrieve(static_cast<size_t>(-1), out);
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
