// Playback speed with the pitch kept, through Rubber Band's real-time stretcher. A stream that
// starts at 1.0 passes untouched and no stretcher runs; a stretch starts when the speed leaves
// 1.0 and, once started, runs (at 1.0 if need be) until the stream is flushed or ends, where
// drain plays out its last frames: no audio is lost and no dip is heard at a change.
//
// Whatever the speed, every input frame becomes 1/speed output frames on average, and the
// stretcher's own delay is taken off at its start, so output frame o of a stretch is the sound
// of input frame o * speed: the stage's timeline turns the device's clock back into song time.
#pragma once

#include "effect.h"

#include <cstddef>
#include <memory>
#include <vector>

namespace RubberBand {
class RubberBandStretcher;
}

namespace engine::stage {

class SpeedEffect : public Effect {
public:
  SpeedEffect();
  ~SpeedEffect() override;
  SpeedEffect(const SpeedEffect &) = delete;
  SpeedEffect &operator=(const SpeedEffect &) = delete;

  // 0.5 .. 2.0; takes effect for the frames processed next.
  void setSpeed(float speed);
  float speed() const { return speed_; }
  // True while a stretcher runs (frames do not pass untouched).
  bool stretching() const { return stretcher_ != nullptr; }
  // Output frames the input given so far calls for that have not come out yet.
  size_t pendingFrames() const;

  void configure(const StreamFormat &format) override;
  bool active() const override { return stretcher_ || speed_ != 1.0f; }
  void process(const float *in, size_t frames, std::vector<float> &out) override;
  void flush() override;
  void drain(std::vector<float> &out) override;
  double latencySeconds() const override;
  double timeRatio() const override { return speed_; }

private:
  void startStretch();
  void stopStretch();
  void feed(const float *in, size_t frames); // null: silence
  void retrieve(size_t frames, std::vector<float> &out);

  int rate_ = 44100, channels_ = 2;
  float speed_ = 1.0f;
  std::unique_ptr<RubberBand::RubberBandStretcher> stretcher_;
  double targetOut_ = 0; // output frames the stretch's input calls for
  size_t emitted_ = 0;   // output frames the stretch has given
  size_t toSkip_ = 0;    // the stretcher's start delay, not yet thrown away
  std::vector<std::vector<float>> planes_;
  std::vector<float *> planePtrs_;
};

} // namespace engine::stage
