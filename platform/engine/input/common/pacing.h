// The pace at which a decode thread feeds the engine's output, shared by the engine's own
// inputs (playback.h) and m4ainput, so the refill and song-end rules are written once.
//
// Refill: once the output is found full, the thread waits until about kRefillMs of it (at most
// half of the most room it ever offered) has been played before it writes again: a few wake-ups
// a second instead of one per decoded block, and longer bursts, each of which starts with the
// decoder's tables out of the cache. The output keeps the rest of its buffer, so what is heard
// does not change.
//
// Drain: at the end of the song the thread lets what the output holds be heard before it
// closes; an output that holds audio while its clock stands still (and is not paused) for
// kDrainStallMs is taken as done, so a faulty output cannot keep a finished song alive.
//
// The Pacer only decides; the caller naps (and is woken early by stop, seek and pause).
#pragma once

#include <xmms/plugin.h>

#include <chrono>
#include <cstddef>

namespace velora::input {

class Pacer {
public:
  static constexpr int kRefillMs = 250;
  static constexpr int kDrainStallMs = 2000;
  // Longer than one refill's wait, so a refill is one nap; it only bounds a wrong estimate of
  // the output's pace.
  static constexpr std::chrono::microseconds kPlayingNap{300000};
  // A paused output: the caller is woken by the resume itself.
  static constexpr std::chrono::microseconds kPausedNap{1000000};

  // A stream of `rate` frames a second opened on the output.
  void start(int rate, int channels, int bytesPerSample = 2);
  // The output was flushed (a seek): the next look writes at once.
  void restart() { refilling_ = false; }

  // One look at the output's free room before writing `pending` bytes; `whole`: the block goes
  // only in one piece. Returns how many bytes to write now (whole frames); 0: nap for `nap`,
  // then look again.
  size_t take(size_t pending, int room, bool whole, bool paused, std::chrono::microseconds &nap);

  // Starts the end-of-song drain of `out`.
  void beginDrain(OutputPlugin *out);
  // One look while draining: false once everything written has been heard (or the output is
  // stuck); otherwise nap for `nap` and look again.
  bool draining(OutputPlugin *out, bool paused, std::chrono::microseconds &nap);

  // How long the output needs to play `bytes`, between 1 ms and `cap`.
  std::chrono::microseconds timeToPlay(size_t bytes, std::chrono::microseconds cap) const;

private:
  long long bytesPerSecond_ = 0;
  size_t frameBytes_ = 4;
  size_t roomSeen_ = 0;
  bool refilling_ = false;
  int drainTime_ = 0;
  std::chrono::steady_clock::time_point drainMoved_{};
};

} // namespace velora::input
