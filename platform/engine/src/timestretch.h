// Playback speed with the pitch kept, through Rubber Band's real-time stretcher. A stream that
// starts at 1.0 passes untouched and no stretcher runs; a stretch starts when the speed leaves
// 1.0 and, once started, runs (at 1.0 if need be) to the end of the stream, where drain plays
// out its last frames: no audio is lost and no dip is heard at a change.
//
// Whatever the speed, every input frame becomes 1/speed output frames on average, and the
// stretcher's own delay is taken off at its start, so output frame o of a stretch is the sound
// of input frame o * speed. The clock below uses that to turn output frames back into song
// frames.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <vector>

namespace RubberBand {
class RubberBandStretcher;
}

namespace engine {

class TimeStretch {
public:
  TimeStretch();
  ~TimeStretch();
  TimeStretch(const TimeStretch &) = delete;
  TimeStretch &operator=(const TimeStretch &) = delete;

  // A new stream of interleaved 16-bit frames; drops anything held.
  void configure(int rate, int channels);
  // 0.5 .. 2.0; takes effect for the frames processed next.
  void setSpeed(float speed);
  float speed() const { return speed_; }
  // True while frames pass untouched (speed 1.0 and no stretch running in this stream).
  bool passThrough() const { return !stretcher_; }

  // Appends to out the frames that the input frames in become. Returns a pointer to the output
  // to use: `in` itself when passing through (out is left alone then), else out.data() + the
  // size out had on entry.
  const int16_t *process(const int16_t *in, size_t frames, std::vector<int16_t> &out,
                         size_t &outFrames);
  // End of the stream: appends the frames still inside the stretcher, as many as make the
  // total output exactly what the input frames at their speeds call for.
  void drain(std::vector<int16_t> &out);
  // Drops everything held (a seek or a stop).
  void flush();
  // Output frames the input given so far calls for that have not come out yet.
  size_t pendingFrames() const;

private:
  void startStretch();
  void stopStretch();
  void retrieve(size_t frames, std::vector<int16_t> &out);
  void feed(const int16_t *in, size_t frames);

  int rate_ = 44100, channels_ = 2;
  float speed_ = 1.0f;
  std::unique_ptr<RubberBand::RubberBandStretcher> stretcher_;
  double targetOut_ = 0; // output frames the stretch's input calls for
  size_t emitted_ = 0;   // output frames the stretch has given
  size_t toSkip_ = 0;    // the stretcher's start delay, not yet thrown away
  std::vector<std::vector<float>> planes_;
  std::vector<float *> planePtrs_;
};

// Turns output frames heard back into song frames, across speed changes: a list of stretches
// of constant speed, each starting at an output frame and a song frame.
class SongClock {
public:
  void reset(int64_t songFrame = 0);
  // From output frame `outFrame` on, output runs at `speed` song frames per output frame.
  void mark(int64_t outFrame, int64_t songFrame, float speed);
  // The song frame heard at output frame outFrame.
  int64_t songFrameAt(int64_t outFrame);

private:
  struct Segment {
    int64_t out, song;
    double speed;
  };
  std::deque<Segment> segments_{{0, 0, 1.0}};
};

} // namespace engine
