// An input plug-in for the engine's tests: it plays "songs" that exist only as names ending in
// ".tst" and writes every call it receives to the file named by key "log" of group "testinput"
// in ~/.xmms/config, so tests can see exactly what the engine asked of it. A name
// containing "-<N>ms" lasts N milliseconds; "fail" fails at once; "hang" never returns from
// stop; "next" ends by asking the engine for the next entry instead of reporting -1;
// "slowinfo" takes two seconds to answer get_song_info.
#include <xmms/configfile.h>
#include <xmms/plugin.h>
#include <xmms/xmmsctrl.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <string>
#include <thread>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

InputPlugin ip;
std::mutex m;
std::string current;
bool playing = false;
bool paused = false;
int durationMs = 150;
Clock::time_point started;
Clock::time_point pausedAt;
std::atomic<bool> askedNext{false};

void logLine(const std::string &line) {
  ConfigFile *cfg = xmms_cfg_open_default_file();
  char *path = nullptr;
  xmms_cfg_read_string(cfg, "testinput", "log", &path);
  xmms_cfg_free(cfg);
  if (!path)
    return;
  int fd = ::open(path, O_WRONLY | O_CREAT | O_APPEND, 0600);
  std::free(path);
  if (fd < 0)
    return;
  std::string text = line + "\n";
  [[maybe_unused]] ssize_t n = ::write(fd, text.data(), text.size());
  ::close(fd);
}

std::string base(const char *name) {
  const char *slash = std::strrchr(name, '/');
  return slash ? slash + 1 : name;
}

int durationOf(const std::string &name) {
  size_t ms = name.find("ms");
  if (ms == std::string::npos)
    return 150;
  size_t dash = name.rfind('-', ms);
  return dash == std::string::npos ? 150 : std::atoi(name.c_str() + dash + 1);
}

int elapsedLocked() {
  auto now = paused ? pausedAt : Clock::now();
  return static_cast<int>(
      std::chrono::duration_cast<std::chrono::milliseconds>(now - started).count());
}

int test_is_our_file(char *name) {
  size_t n = name ? std::strlen(name) : 0;
  return n > 4 && std::strcmp(name + n - 4, ".tst") == 0;
}

void test_play(char *name) {
  std::string b = base(name);
  logLine("play " + b);
  std::lock_guard<std::mutex> lk(m);
  current = b;
  playing = b.find("fail") == std::string::npos;
  paused = false;
  durationMs = durationOf(b);
  started = Clock::now();
  askedNext = false;
  if (playing)
    ip.set_info(const_cast<char *>(("T:" + b).c_str()), durationMs, 128000, 44100, 2);
  if (playing && b.find("next") != std::string::npos) {
    int d = durationMs;
    std::thread([d] {
      std::this_thread::sleep_for(std::chrono::milliseconds(d));
      {
        std::lock_guard<std::mutex> lk(m);
        if (!playing)
          return;
        playing = false;
      }
      askedNext = true;
      xmms_remote_playlist_next(0);
    }).detach();
  }
}

void test_stop() {
  std::string name;
  {
    std::lock_guard<std::mutex> lk(m);
    name = current;
    playing = false;
  }
  logLine("stop " + name);
  if (name.find("hang") != std::string::npos)
    for (;;)
      std::this_thread::sleep_for(std::chrono::seconds(1));
}

void test_pause(short p) {
  logLine(std::string("pause ") + (p ? "1" : "0"));
  std::lock_guard<std::mutex> lk(m);
  if (p && !paused)
    pausedAt = Clock::now();
  if (!p && paused)
    started += Clock::now() - pausedAt;
  paused = p != 0;
}

void test_seek(int seconds) {
  logLine("seek " + std::to_string(seconds));
  std::lock_guard<std::mutex> lk(m);
  auto now = paused ? pausedAt : Clock::now();
  started = now - std::chrono::seconds(seconds);
}

void test_set_eq(int on, float preamp, float *bands) {
  char buf[256];
  int n = std::snprintf(buf, sizeof buf, "eq %d %.1f", on, static_cast<double>(preamp));
  for (int i = 0; i < 10 && n < static_cast<int>(sizeof buf); ++i)
    n += std::snprintf(buf + n, sizeof buf - n, " %.1f", static_cast<double>(bands[i]));
  logLine(buf);
}

int test_get_time() {
  std::lock_guard<std::mutex> lk(m);
  if (current.find("next") != std::string::npos)
    return playing || askedNext ? std::min(elapsedLocked(), durationMs) : -1;
  if (!playing)
    return -1;
  // The clock moves from the moment play starts, as a real song's does once its first audio is
  // out: the engine tells a song that was heard from one that could not be played by it.
  int t = std::max(1, elapsedLocked());
  return t >= durationMs ? -1 : t;
}

void test_song_info(char *name, char **title, int *length) {
  std::string b = base(name);
  if (b.find("slowinfo") != std::string::npos)
    std::this_thread::sleep_for(std::chrono::seconds(2));
  *title = strdup(("Info " + b).c_str());
  *length = durationOf(b);
}

void test_cleanup() { logLine("cleanup"); }

} // namespace

extern "C" __attribute__((visibility("default"))) InputPlugin *get_iplugin_info(void) {
  ip.description = const_cast<char *>("engine test input");
  ip.is_our_file = test_is_our_file;
  ip.play_file = test_play;
  ip.stop = test_stop;
  ip.pause = test_pause;
  ip.seek = test_seek;
  ip.set_eq = test_set_eq;
  ip.get_time = test_get_time;
  ip.get_song_info = test_song_info;
  ip.cleanup = test_cleanup;
  return &ip;
}
