// Playback speed with the pitch kept, through SoundTouch's time stretcher (WSOLA). A stream
// that starts at 1.0 passes untouched and no stretcher runs; a stretch starts when the speed
// leaves 1.0 and, once started, runs (at 1.0 if need be) until the stream is flushed or ends,
// where drain plays out its last frames: no audio is lost and no dip is heard at a change.
//
// Whatever the speed, every input frame becomes 1/speed output frames: the effect counts what
// the input calls for and drain gives exactly that many, so a song of 60 s at 0.75 lasts 80 s,
// and what the stretcher holds is reported as latency for the stage's song clock.
//
// Why SoundTouch rather than Rubber Band: on the 10-minute AAC played at 0.75, Rubber Band's
// real-time R2 engine cost the engine 2.65 times the CPU of mpv doing the same; SoundTouch
// costs about a twentieth of Rubber Band, stays well under mpv, and keeps a held note at its
// pitch (see bench/speed/run.sh and bench/NOTES.md).
#pragma once

#include "effect.h"

#include <cstddef>
#include <memory>
#include <vector>

namespace soundtouch {
class SoundTouch;
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
  std::unique_ptr<soundtouch::SoundTouch> stretcher_;
  double targetOut_ = 0; // output frames the stretch's input calls for
  size_t emitted_ = 0;   // output frames the stretch has given
  std::vector<float> silence_;
};

} // namespace engine::stage
