#include "pacing.h"

#include <algorithm>

namespace velora::input {

void Pacer::start(int rate, int channels, int bytesPerSample) {
  frameBytes_ = size_t(std::max(1, channels * bytesPerSample));
  bytesPerSecond_ = static_cast<long long>(std::max(0, rate)) * static_cast<long long>(frameBytes_);
  roomSeen_ = 0;
  refilling_ = false;
}

std::chrono::microseconds Pacer::timeToPlay(size_t bytes, std::chrono::microseconds cap) const {
  if (bytesPerSecond_ <= 0)
    return cap;
  auto us = std::chrono::microseconds(static_cast<long long>(bytes) * 1000000 / bytesPerSecond_);
  return std::clamp<std::chrono::microseconds>(us, std::chrono::milliseconds(1), cap);
}

size_t Pacer::take(size_t pending, int room, bool whole, bool paused,
                   std::chrono::microseconds &nap) {
  size_t fit = room > 0 ? size_t(room) / frameBytes_ * frameBytes_ : 0;
  roomSeen_ = std::max(roomSeen_, fit);
  // Whole frames that fit: an output whose buffer is smaller than a decoder block still gets
  // everything, piece by piece, unless the block must go at once.
  size_t wanted = whole ? pending : std::min(pending, frameBytes_);
  if (refilling_) {
    size_t share = size_t(bytesPerSecond_ * kRefillMs / 1000);
    share = std::min(share, roomSeen_ / 2) / frameBytes_ * frameBytes_;
    wanted = std::max(wanted, share);
  }
  if (fit > 0 && fit >= wanted) {
    refilling_ = false;
    return whole ? pending : std::min(pending, fit);
  }
  // Full: wait at once for the whole share, not first for the block in hand and then again for
  // the rest (two wake-ups for one refill).
  refilling_ = true;
  nap = paused && fit == 0 ? kPausedNap : timeToPlay(wanted - fit, kPlayingNap);
  return 0;
}

void Pacer::beginDrain(OutputPlugin *out) {
  drainTime_ = out && out->output_time ? out->output_time() : 0;
  drainMoved_ = std::chrono::steady_clock::now();
}

bool Pacer::draining(OutputPlugin *out, bool paused, std::chrono::microseconds &nap) {
  if (!out || !out->buffer_playing || !out->buffer_playing())
    return false;
  auto now = std::chrono::steady_clock::now();
  int time = out->output_time ? out->output_time() : drainTime_;
  if (time != drainTime_ || paused) {
    drainTime_ = time;
    drainMoved_ = now;
  } else if (now - drainMoved_ > std::chrono::milliseconds(kDrainStallMs)) {
    return false;
  }
  // About as long as what is left takes to play.
  int leftMs = out->written_time && out->output_time
                   ? std::max(0, out->written_time() - out->output_time())
                   : 0;
  nap = paused ? kPausedNap
               : std::clamp<std::chrono::microseconds>(std::chrono::milliseconds(leftMs),
                                                       std::chrono::milliseconds(5), kPlayingNap);
  return true;
}

} // namespace velora::input
