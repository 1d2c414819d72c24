// The null output: an ideal device that plays nothing. Its buffer of half a second drains in
// real time, so input plug-ins pace themselves exactly as they would on a sound card and the
// output time is what a listener would have heard. With "untimed" set in group "null_output"
// of ~/.xmms/config, the buffer drains at once (for tests that should not wait).
#include "pcm.h"

#include <xmms/configfile.h>
#include <xmms/plugin.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kBufferMs = 500;

struct State {
  std::mutex m;
  bool open = false;
  bool untimed = false;
  bool paused = false;
  int rate = 0;
  int frameBytes = 0;     // bytes of one input frame
  int64_t written = 0;    // frames taken since open or flush
  int64_t played = 0;     // frames the ideal device has played
  Clock::time_point last; // when played was last brought up to date
  int baseMs = 0;         // output time at open or flush
  int volume = 100;
} s;

// Advances the ideal device to now: it plays while it has something and is not paused.
void update() {
  auto now = Clock::now();
  if (s.untimed) {
    s.played = s.written;
  } else if (!s.paused && s.rate > 0) {
    int64_t us = std::chrono::duration_cast<std::chrono::microseconds>(now - s.last).count();
    int64_t frames = us * s.rate / 1000000;
    if (frames > 0) {
      s.played = std::min(s.written, s.played + frames);
      // Keep the remainder of a frame so that the clock does not lose time between calls.
      s.last += std::chrono::microseconds(frames * 1000000 / s.rate);
    }
    if (s.played == s.written)
      s.last = now;
  } else {
    s.last = now;
  }
}

int64_t capacityFrames() { return static_cast<int64_t>(s.rate) * kBufferMs / 1000; }

int null_open(AFormat fmt, int rate, int nch) {
  if (!pcm::validFormat(fmt) || rate < 1 || rate > 768000 || nch < 1 || nch > 8)
    return 0;
  ConfigFile *cfg = xmms_cfg_open_default_file();
  int untimed = 0;
  xmms_cfg_read_boolean(cfg, "null_output", "untimed", &untimed);
  xmms_cfg_free(cfg);
  std::lock_guard<std::mutex> lk(s.m);
  s.open = true;
  s.untimed = untimed != 0;
  s.paused = false;
  s.rate = rate;
  s.frameBytes = pcm::bytesPerSample(fmt) * nch;
  s.written = s.played = 0;
  s.last = Clock::now();
  s.baseMs = 0;
  return 1;
}

void null_write(void *, int length) {
  std::unique_lock<std::mutex> lk(s.m);
  if (!s.open || length <= 0)
    return;
  s.written += length / s.frameBytes;
  // A writer that ignores buffer_free waits here as it would on a full sound card.
  for (;;) {
    update();
    int64_t over = s.written - s.played - capacityFrames();
    if (over <= 0 || s.paused || !s.open)
      break;
    lk.unlock();
    std::this_thread::sleep_for(std::chrono::microseconds(over * 1000000 / s.rate + 1000));
    lk.lock();
  }
}

void null_close() {
  std::lock_guard<std::mutex> lk(s.m);
  s.open = false;
}

void null_flush(int time) {
  std::lock_guard<std::mutex> lk(s.m);
  s.written = s.played = 0;
  s.last = Clock::now();
  s.baseMs = time;
}

void null_pause(short paused) {
  std::lock_guard<std::mutex> lk(s.m);
  update();
  s.paused = paused != 0;
  s.last = Clock::now();
}

int null_buffer_free() {
  std::lock_guard<std::mutex> lk(s.m);
  if (!s.open || s.paused)
    return 0;
  update();
  int64_t room = capacityFrames() - (s.written - s.played);
  return static_cast<int>(std::max<int64_t>(0, room) * s.frameBytes);
}

int null_buffer_playing() {
  std::lock_guard<std::mutex> lk(s.m);
  if (!s.open)
    return 0;
  update();
  return s.written > s.played;
}

int null_output_time() {
  std::lock_guard<std::mutex> lk(s.m);
  if (!s.open || s.rate <= 0)
    return 0;
  update();
  return s.baseMs + static_cast<int>(s.played * 1000 / s.rate);
}

int null_written_time() {
  std::lock_guard<std::mutex> lk(s.m);
  if (!s.open || s.rate <= 0)
    return 0;
  return s.baseMs + static_cast<int>(s.written * 1000 / s.rate);
}

void null_get_volume(int *l, int *r) {
  std::lock_guard<std::mutex> lk(s.m);
  if (l)
    *l = s.volume;
  if (r)
    *r = s.volume;
}

void null_set_volume(int l, int r) {
  std::lock_guard<std::mutex> lk(s.m);
  s.volume = std::clamp(std::max(l, r), 0, 100);
}

OutputPlugin null_op = {
    nullptr,
    nullptr,
    const_cast<char *>("Null output (plays nothing, in real time)"),
    nullptr,
    nullptr,
    nullptr,
    null_get_volume,
    null_set_volume,
    null_open,
    null_write,
    null_close,
    null_flush,
    null_pause,
    null_buffer_free,
    null_buffer_playing,
    null_output_time,
    null_written_time,
};

} // namespace

extern "C" __attribute__((visibility("default"))) OutputPlugin *get_oplugin_info(void) {
  return &null_op;
}
