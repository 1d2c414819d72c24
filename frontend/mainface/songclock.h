// The song's own time between two status polls. The engine is asked once a second; a word of a
// karaoke line fills in a fraction of that, so the time in between is carried forward from the
// last answer by the wall clock, at the pace the last two answers showed (a slowed-down song
// runs slower), and never more than a little past the next expected answer.
#pragma once

#include <QElapsedTimer>

#include <algorithm>
#include <cmath>

class SongClock {
public:
  // One answer of the engine: the song time in milliseconds and whether it is running.
  void sample(qint64 songMs, bool running) {
    const qint64 wall = since.isValid() ? since.elapsed() : 0;
    if (running && wasRunning && wall >= 400) {
      // The pace of the song against the wall clock; a seek or a stall between the two answers
      // gives a pace nobody plays at, and then the last good one stays.
      const double pace = static_cast<double>(songMs - lastMs) / static_cast<double>(wall);
      if (pace > 0.2 && pace < 5.0)
        rate = std::abs(pace - 1.0) < 0.04 ? 1.0 : pace;
    }
    lastMs = songMs;
    wasRunning = running;
    since.start();
  }
  // Song time now, in seconds.
  double now() const {
    if (!wasRunning || !since.isValid())
      return lastMs / 1000.0;
    const qint64 wall = std::min<qint64>(since.elapsed(), kMaxCarryMs);
    return (static_cast<double>(lastMs) + static_cast<double>(wall) * rate) / 1000.0;
  }
  bool running() const { return wasRunning; }
  // Running and still within the time an answer may be late: now() still moves.
  bool moving() const { return wasRunning && since.isValid() && since.elapsed() < kMaxCarryMs; }
  double pace() const { return rate; }
  // Wall milliseconds since the last answer.
  qint64 sinceAnswer() const { return since.isValid() ? since.elapsed() : 0; }

private:
  // An answer that is late by more than this does not move the time further: the engine may
  // have stopped.
  static constexpr qint64 kMaxCarryMs = 1500;
  QElapsedTimer since;
  qint64 lastMs = 0;
  bool wasRunning = false;
  double rate = 1.0;
};
