// One step of the output stage between what an input plug-in decodes and what the output
// plug-in plays (ReplayGain, speed, ...). Effects see float samples, interleaved, nominally in
// [-1, 1]; the stage converts from the input's format once before the first effect and to the
// device's format once after the last.
//
// Threads: the stage calls every member under its own lock, on whichever thread writes, opens,
// flushes or closes (an input plug-in's decode thread or the engine's player). Whoever changes an
// effect's parameters from elsewhere does so through OutputStage::adjust(), which takes the same
// lock, so an effect needs no lock of its own.
//
// Cost: while active() is false for every effect (and the volume is full) the stage hands the
// input's bytes to the output untouched, without converting them; an effect that has nothing to
// do (gain 0 dB, speed 1.0) answers false there and costs nothing. A plain gain (plainGain())
// costs one integer multiply a sample.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace engine::stage {

struct StreamFormat {
  int rate = 0;     // frames a second
  int channels = 0; // samples per frame
  bool operator==(const StreamFormat &) const = default;
};

class Effect {
public:
  virtual ~Effect() = default;

  // The stream that follows has this format (an output opened, or reopened for another format).
  // Effects keep the rate and channel count: what comes out has the format that went in.
  virtual void configure(const StreamFormat &format) = 0;

  // A new song starts with the next samples (`file` as in the playlist): the moment for
  // per-song settings. At a gapless join the previous song's samples may still be inside the
  // effect; they come out first, through process() of the new song's samples.
  virtual void songChanged(const std::string &file) { (void)file; }

  // Whether process() would change anything now. Read before every block. An effect that still
  // holds samples stays active until it has given them out.
  virtual bool active() const = 0;

  // Takes `frames` frames of `in` and appends what comes out to `out` (which may already hold
  // samples). The number of frames out may differ from the number in (speed does, and an effect
  // with latency gives fewer at first); over time it is frames in / timeRatio().
  virtual void process(const float *in, size_t frames, std::vector<float> &out) = 0;

  // Drops whatever the effect holds (seek, stop, song changed by the user): what comes next
  // does not continue what came before.
  virtual void flush() = 0;

  // The stream ends for good (last song played out, output closed or reopened for another
  // format): appends what the effect still holds.
  virtual void drain(std::vector<float> &out) { (void)out; }

  // Song time held inside the effect: input taken but not yet given out, in seconds of song
  // time. The stage subtracts it so the time it reports is what the listener hears.
  virtual double latencySeconds() const { return 0.0; }

  // Seconds of song per second of output now: 0.75 when playing at 0.75x. The stage uses it
  // (and process()'s counts) to turn the device's clock into song time.
  virtual double timeRatio() const { return 1.0; }

  // An effect whose whole work is multiplying every sample by one factor gives that factor
  // here. While such effects and the volume are all that is active, the stage applies them in
  // one fixed-point step on the 16-bit samples and never converts to float (process() is not
  // called); an effect that changes anything else answers nothing.
  virtual std::optional<double> plainGain() const { return std::nullopt; }
};

} // namespace engine::stage
