// Which moment of the song the device is playing. The stage writes song time and device frames
// side by side (an effect may hold samples back or stretch them), and the device's clock counts
// only frames played since it was opened or flushed; the timeline turns one into the other.
#pragma once

#include <cstdint>
#include <deque>

namespace engine::stage {

class Timeline {
public:
  // From device frame `deviceFrame` on, the song starts (again) at `songMs`: an open, a flush
  // (seek) or a gapless join. What was written before belongs to another song or place.
  void restart(int64_t deviceFrame, double songMs);
  // After a write: `deviceFrame` frames written in all, the last of them being song time
  // `songMs`.
  void wrote(int64_t deviceFrame, double songMs);
  // Song time at the device's played frame; before the current song's first frame, its start.
  // Forgets what lies behind.
  double songAt(double playedFrame);
  // Song time of the last frame written.
  double writtenSongMs() const { return points_.empty() ? 0.0 : points_.back().songMs; }
  // The device frame where the current song (or place) began.
  int64_t start() const { return start_; }
  // Which song this is, as the engine named it (its playlist entry), -1 when unnamed.
  int tag() const { return tag_; }
  void setTag(int tag) { tag_ = tag; }

private:
  struct Point {
    int64_t frame;
    double songMs;
  };
  std::deque<Point> points_;
  int64_t start_ = 0;
  int tag_ = -1;
};

} // namespace engine::stage
