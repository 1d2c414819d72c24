// An output plug-in for the engine's tests that behaves like a sound device pulled out while it
// plays: it takes about takes_ms (group "stuck_output" of ~/.xmms/config, default 300) of audio
// after every open, plays it in real time, and then takes nothing more: no room, a clock that
// stands still, audio held for ever. Each open is counted in key "log" of the same group.
#include <xmms/configfile.h>
#include <xmms/plugin.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;

struct State {
  std::mutex m;
  bool open = false;
  int rate = 0, frameBytes = 0;
  long long limit = 0, taken = 0; // frames
  Clock::time_point since;
} s;

long long playedLocked() {
  auto us = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - s.since).count();
  return std::min<long long>(s.taken, us * s.rate / 1000000);
}

int stuck_open(AFormat fmt, int rate, int nch) {
  ConfigFile *cfg = xmms_cfg_open_default_file();
  int takesMs = 300;
  char *log = nullptr;
  xmms_cfg_read_int(cfg, "stuck_output", "takes_ms", &takesMs);
  xmms_cfg_read_string(cfg, "stuck_output", "log", &log);
  xmms_cfg_free(cfg);
  if (log) {
    if (FILE *f = std::fopen(log, "a")) {
      std::fprintf(f, "open %d %d\n", rate, nch);
      std::fclose(f);
    }
    std::free(log);
  }
  std::lock_guard lk(s.m);
  s.open = true;
  s.rate = rate;
  s.frameBytes = (fmt == FMT_U8 || fmt == FMT_S8 ? 1 : 2) * nch;
  s.limit = static_cast<long long>(rate) * takesMs / 1000;
  s.taken = 0;
  s.since = Clock::now();
  return 1;
}

void stuck_write(void *, int length) {
  std::lock_guard lk(s.m);
  if (s.open && s.frameBytes > 0)
    s.taken = std::min(s.limit, s.taken + length / s.frameBytes);
}

void stuck_close() {
  std::lock_guard lk(s.m);
  s.open = false;
}

void stuck_flush(int) {}
void stuck_pause(short) {}

int stuck_buffer_free() {
  std::lock_guard lk(s.m);
  return s.open ? static_cast<int>((s.limit - s.taken) * s.frameBytes) : 0;
}

int stuck_buffer_playing() {
  std::lock_guard lk(s.m);
  return s.open && s.taken > 0;
}

int stuck_output_time() {
  std::lock_guard lk(s.m);
  return s.open && s.rate > 0 ? static_cast<int>(playedLocked() * 1000 / s.rate) : 0;
}

OutputPlugin stuck_op = {
    nullptr,           nullptr,           const_cast<char *>("Stuck output (tests)"),
    nullptr,           nullptr,           nullptr,
    nullptr,           nullptr,           stuck_open,
    stuck_write,       stuck_close,       stuck_flush,
    stuck_pause,       stuck_buffer_free, stuck_buffer_playing,
    stuck_output_time, stuck_output_time,
};

} // namespace

extern "C" __attribute__((visibility("default"))) OutputPlugin *get_oplugin_info(void) {
  return &stuck_op;
}
