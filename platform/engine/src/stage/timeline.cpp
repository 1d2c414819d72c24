#include "timeline.h"

#include <cmath>

namespace engine::stage {

void Timeline::restart(int64_t deviceFrame, double songMs) {
  points_.clear();
  points_.push_back({deviceFrame, songMs});
  start_ = deviceFrame;
}

void Timeline::wrote(int64_t deviceFrame, double songMs) {
  if (points_.empty()) {
    points_.push_back({deviceFrame, songMs});
    return;
  }
  // Plain playback writes song and device time at one steady pace: a point on the line through
  // the last two replaces the last, so the list stays short whatever the song's length.
  if (points_.size() >= 2) {
    const Point &a = points_[points_.size() - 2], &b = points_.back();
    if (b.frame > a.frame && deviceFrame > b.frame) {
      double slopeAB = (b.songMs - a.songMs) / double(b.frame - a.frame);
      double slopeBC = (songMs - b.songMs) / double(deviceFrame - b.frame);
      if (std::fabs(slopeAB - slopeBC) < 1e-9) {
        points_.back() = {deviceFrame, songMs};
        return;
      }
    }
  }
  if (deviceFrame == points_.back().frame) {
    points_.back().songMs = songMs;
    return;
  }
  points_.push_back({deviceFrame, songMs});
}

double Timeline::songAt(double playedFrame) {
  if (points_.empty())
    return 0.0;
  while (points_.size() >= 2 && double(points_[1].frame) <= playedFrame)
    points_.pop_front();
  const Point &a = points_.front();
  if (playedFrame <= double(a.frame) || points_.size() < 2)
    return a.songMs;
  const Point &b = points_[1];
  double f = (playedFrame - double(a.frame)) / double(b.frame - a.frame);
  return a.songMs + f * (b.songMs - a.songMs);
}

} // namespace engine::stage
