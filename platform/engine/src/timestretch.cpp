#include "timestretch.h"

#include <rubberband/RubberBandStretcher.h>

#include <algorithm>
#include <cmath>

namespace engine {

namespace {
using RB = RubberBand::RubberBandStretcher;
// Real-time mode with the R2 engine: the one meant for live streams on a small machine. One
// thread (the stage runs on the decode thread already), channels together so a stereo image
// does not smear, and a short delay so a speed change is heard soon.
constexpr RB::Options kOptions = RB::OptionProcessRealTime | RB::OptionEngineFaster |
                                 RB::OptionThreadingNever | RB::OptionChannelsTogether;
constexpr size_t kBlock = 1024; // frames handed to the stretcher at once
// Drain feeds silence until the stretch has given its frames; a stretcher that keeps nothing
// back needs a few blocks, this bound only stops a broken one from looping for ever.
constexpr int kMaxDrainBlocks = 512;
} // namespace

TimeStretch::TimeStretch() = default;
TimeStretch::~TimeStretch() = default;

void TimeStretch::configure(int rate, int channels) {
  stretcher_.reset();
  rate_ = rate > 0 ? rate : 44100;
  channels_ = std::clamp(channels, 1, 8);
  planes_.assign(static_cast<size_t>(channels_), std::vector<float>(kBlock));
  planePtrs_.resize(static_cast<size_t>(channels_));
  if (speed_ != 1.0f)
    startStretch();
}

void TimeStretch::setSpeed(float speed) {
  if (!(speed > 0))
    return;
  speed_ = speed;
  if (stretcher_)
    stretcher_->setTimeRatio(1.0 / speed_);
  // Back at 1.0 a running stretch goes on at that ratio until the stream ends: playing it out
  // now would fade its last frames into silence and leave a dip in the middle of the song.
}

void TimeStretch::startStretch() {
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
  while (pad > 0) {
    size_t n = std::min(pad, kBlock);
    for (size_t c = 0; c < planes_.size(); ++c)
      planePtrs_[c] = planes_[c].data();
    stretcher_->process(planePtrs_.data(), n, false);
    pad -= n;
  }
}

void TimeStretch::stopStretch() {
  stretcher_.reset();
  targetOut_ = 0;
  emitted_ = 0;
  toSkip_ = 0;
}

void TimeStretch::feed(const int16_t *in, size_t frames) {
  const size_t nch = static_cast<size_t>(channels_);
  while (frames > 0) {
    size_t n = std::min(frames, kBlock);
    for (size_t c = 0; c < nch; ++c) {
      float *p = planes_[c].data();
      if (in) {
        for (size_t i = 0; i < n; ++i)
          p[i] = static_cast<float>(in[i * nch + c]) * (1.0f / 32768.0f);
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
void TimeStretch::retrieve(size_t frames, std::vector<int16_t> &out) {
  const size_t nch = static_cast<size_t>(channels_);
  std::vector<float> buf(kBlock * nch);
  std::vector<float *> ptrs(nch);
  while (frames > 0 || toSkip_ > 0) {
    int avail = stretcher_->available();
    if (avail <= 0)
      return;
    size_t want = std::min<size_t>(static_cast<size_t>(avail), kBlock);
    if (toSkip_ == 0)
      want = std::min(want, frames);
    if (want == 0)
      return;
    for (size_t c = 0; c < nch; ++c)
      ptrs[c] = buf.data() + c * kBlock;
    size_t got = stretcher_->retrieve(ptrs.data(), want);
    if (got == 0)
      return;
    size_t skip = std::min(got, toSkip_);
    toSkip_ -= skip;
    size_t base = out.size();
    out.resize(base + (got - skip) * nch);
    for (size_t i = skip; i < got; ++i)
      for (size_t c = 0; c < nch; ++c) {
        float v = std::clamp(ptrs[c][i] * 32768.0f, -32768.0f, 32767.0f);
        out[base + (i - skip) * nch + c] = static_cast<int16_t>(std::lrint(v));
      }
    emitted_ += got - skip;
    frames -= std::min(frames, got - skip);
  }
}

const int16_t *TimeStretch::process(const int16_t *in, size_t frames, std::vector<int16_t> &out,
                                    size_t &outFrames) {
  if (!stretcher_ && speed_ == 1.0f) {
    outFrames = frames;
    return in;
  }
  const size_t start = out.size();
  if (!stretcher_)
    startStretch();
  feed(in, frames);
  retrieve(static_cast<size_t>(-1), out);
  outFrames = (out.size() - start) / static_cast<size_t>(channels_);
  return out.data() + start;
}

size_t TimeStretch::pendingFrames() const {
  if (!stretcher_)
    return 0;
  double left = std::llround(targetOut_) - static_cast<double>(emitted_);
  return left > 0 ? static_cast<size_t>(left) : 0;
}

void TimeStretch::drain(std::vector<int16_t> &out) {
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
    out.resize(out.size() + need * static_cast<size_t>(channels_), 0);
  stopStretch();
}

void TimeStretch::flush() { stopStretch(); }

void SongClock::reset(int64_t songFrame) { segments_.assign(1, {0, songFrame, 1.0}); }

void SongClock::mark(int64_t outFrame, int64_t songFrame, float speed) {
  // Marks arrive in order; one at the same output frame replaces the last.
  while (!segments_.empty() && segments_.back().out >= outFrame)
    segments_.pop_back();
  segments_.push_back({outFrame, songFrame, speed});
}

int64_t SongClock::songFrameAt(int64_t outFrame) {
  // Segments behind the one now heard are never needed again.
  while (segments_.size() > 1 && segments_[1].out <= outFrame)
    segments_.pop_front();
  const Segment &s = segments_.front();
  if (outFrame <= s.out)
    return s.song;
  return s.song + std::llround(static_cast<double>(outFrame - s.out) * s.speed);
}

} // namespace engine
