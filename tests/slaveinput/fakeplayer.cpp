#include "fakeplayer.h"

#include "testenv.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <dlfcn.h>
#include <filesystem>
#include <map>
#include <sstream>
#include <sys/stat.h>

using namespace velora::test;

namespace slavetest {

namespace {

const char *kScript = R"(#!/bin/sh
log="@LOG@"
identify=
for a in "$@"; do [ "$a" = -identify ] && identify=1; done
if [ -n "$identify" ]; then
  printf '%s\n' "${0##*/}" > "$log/identify.args.tmp"
  for a in "$@"; do printf '%s\n' "$a" >> "$log/identify.args.tmp"; done
  mv "$log/identify.args.tmp" "$log/identify.args"
  printf '%s\0' "$@" > "$log/identify.argv"
  [ -f "$log/identify.out" ] && cat "$log/identify.out"
  exit 0
fi
me=$$
printf '%s\n' "${0##*/}" > "$log/$me.args"
: > "$log/$me.cmds"
printf '%s\0' "$@" > "$log/$me.argv"
fifo=
prev=
for a in "$@"; do
  printf '%s\n' "$a" >> "$log/$me.args"
  [ "$prev" = "-aofile" ] && fifo="$a"
  # The adaptor's spelling: -ao pcm:...:file=%<length>%<path>
  if [ "$prev" = "-ao" ]; then
    case "$a" in pcm:*file=%*) rest=${a#*file=%}; fifo=${rest#*%} ;; esac
  fi
  prev="$a"
done
echo $me >> "$log/pids"
[ -f "$log/play.out" ] && cat "$log/play.out"
if [ -n "$fifo" ] && [ -f "$log/pcm.raw" ]; then cat "$log/pcm.raw" > "$fifo"; fi
mode=$(cat "$log/play.mode" 2>/dev/null)
[ "$mode" = exit ] && exit 0
[ "$mode" = deaf ] && trap '' TERM
while IFS= read -r cmd; do
  printf '%s\n' "$cmd" >> "$log/$me.cmds"
  [ "$cmd" = quit ] && [ "$mode" != deaf ] && exit 0
done
while [ "$mode" = deaf ]; do sleep 1; done
exit 0
)";

} // namespace

FakePlayer::FakePlayer(const std::string &dir) : dir_(dir) {
  makeDirs(dir_ + "/bin");
  makeDirs(dir_ + "/log");
  std::string script = kScript;
  script.replace(script.find("@LOG@"), 5, dir_ + "/log");
  writeFile(bin() + "/mplayer", script);
  chmod((bin() + "/mplayer").c_str(), 0755);
  if (const char *p = getenv("PATH"))
    oldPath_ = p;
}

FakePlayer::~FakePlayer() { setenv("PATH", oldPath_.c_str(), 1); }

void FakePlayer::install() { setenv("PATH", (bin() + ":" + oldPath_).c_str(), 1); }

void FakePlayer::setIdentifyOutput(const std::string &text) {
  writeFile(log("identify.out"), text);
}
void FakePlayer::setPlayOutput(const std::string &text) { writeFile(log("play.out"), text); }
void FakePlayer::setPcm(const std::string &bytes) { writeFile(log("pcm.raw"), bytes); }
void FakePlayer::setPlayMode(const std::string &mode) { writeFile(log("play.mode"), mode); }

std::vector<pid_t> FakePlayer::playPids() const {
  std::vector<pid_t> pids;
  for (const auto &l : lines(readFile(log("pids"))))
    pids.push_back(static_cast<pid_t>(std::atoi(l.c_str())));
  return pids;
}

std::vector<std::string> FakePlayer::playArgs(pid_t pid) const {
  return lines(readFile(log(std::to_string(pid) + ".args")));
}

std::string FakePlayer::playCommands(pid_t pid) const {
  return readFile(log(std::to_string(pid) + ".cmds"));
}

namespace {
std::vector<std::string> splitAtNul(const std::string &bytes) {
  std::vector<std::string> out;
  for (size_t start = 0, end; (end = bytes.find('\0', start)) != std::string::npos; start = end + 1)
    out.push_back(bytes.substr(start, end - start));
  return out;
}
} // namespace

std::vector<std::string> FakePlayer::playArgv(pid_t pid) const {
  return splitAtNul(readFile(log(std::to_string(pid) + ".argv")));
}

std::vector<std::string> FakePlayer::identifyArgv() const {
  return splitAtNul(readFile(log("identify.argv")));
}

std::vector<std::string> FakePlayer::identifyArgs() const {
  return lines(readFile(log("identify.args")));
}

std::vector<std::string> lines(const std::string &text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  std::string l;
  while (std::getline(in, l))
    out.push_back(l);
  return out;
}

bool processGone(pid_t pid) { return kill(pid, 0) < 0 && errno == ESRCH; }

int mplayersUnder(pid_t ancestor) {
  std::map<pid_t, pid_t> parent;
  std::map<pid_t, bool> isPlayer;
  for (const auto &e : std::filesystem::directory_iterator("/proc")) {
    std::string name = e.path().filename();
    if (name.find_first_not_of("0123456789") != std::string::npos)
      continue;
    pid_t pid = static_cast<pid_t>(std::atoi(name.c_str()));
    for (const auto &l : lines(readFile(e.path().string() + "/status"))) {
      if (l.rfind("PPid:", 0) == 0)
        parent[pid] = static_cast<pid_t>(std::atoi(l.c_str() + 5));
      else if (l == "Name:\tmplayer")
        isPlayer[pid] = true;
    }
  }
  int count = 0;
  for (const auto &[pid, player] : isPlayer) {
    if (!player)
      continue;
    for (pid_t p = parent[pid]; p > 1; p = parent.count(p) ? parent[p] : 0)
      if (p == ancestor) {
        count++;
        break;
      }
  }
  return count;
}

// Never destroyed: a playback thread a failed test left behind may still wait on it at exit.
Recorder &recorder() {
  static Recorder *r = new Recorder;
  return *r;
}

void Recorder::reset() {
  std::lock_guard<std::mutex> g(m);
  opens = closes = infos = 0;
  fmt = FMT_U8;
  rate = nch = 0;
  written.clear();
  title.clear();
  length = -2;
  bitrate = freq = channels = 0;
  openResult = true;
  blockWrites = false;
  writesStarted = 0;
  paused = false;
  pauseAtBytes = 0;
}

namespace {

int outOpen(AFormat fmt, int rate, int nch) {
  Recorder &r = recorder();
  std::lock_guard<std::mutex> g(r.m);
  r.opens++;
  r.fmt = fmt;
  r.rate = rate;
  r.nch = nch;
  return r.openResult ? 1 : 0;
}
void outWrite(void *ptr, int length) {
  Recorder &r = recorder();
  std::unique_lock<std::mutex> g(r.m);
  int closesBefore = r.closes;
  r.writesStarted++;
  if (r.blockWrites)
    r.closed.wait_for(g, std::chrono::seconds(10), [&] { return r.closes != closesBefore; });
  r.closed.wait_for(g, std::chrono::seconds(10),
                    [&] { return !r.paused || r.closes != closesBefore; });
  if (r.closes != closesBefore)
    return;
  r.written.append(static_cast<const char *>(ptr), static_cast<size_t>(length));
  if (r.pauseAtBytes && r.written.size() >= r.pauseAtBytes) {
    r.pauseAtBytes = 0;
    r.paused = true;
  }
}
void outClose() {
  Recorder &r = recorder();
  std::lock_guard<std::mutex> g(r.m);
  r.closes++;
  r.closed.notify_all();
}
void outFlush(int) {}
void outPause(short p) {
  Recorder &r = recorder();
  std::lock_guard<std::mutex> g(r.m);
  r.paused = p != 0;
  r.closed.notify_all();
}
int outBufferFree() {
  std::lock_guard<std::mutex> g(recorder().m);
  return recorder().paused ? 0 : 1 << 20;
}
int outBufferPlaying() {
  std::lock_guard<std::mutex> g(recorder().m);
  return recorder().paused ? 1 : 0;
}
int outTime() { return 0; }

void setInfo(char *title, int length, int rate, int freq, int nch) {
  Recorder &r = recorder();
  std::lock_guard<std::mutex> g(r.m);
  r.infos++;
  r.title = title ? title : "";
  r.length = length;
  r.bitrate = rate;
  r.freq = freq;
  r.channels = nch;
}

OutputPlugin output = {nullptr,  nullptr,       nullptr,          nullptr,  nullptr,  nullptr,
                       nullptr,  nullptr,       outOpen,          outWrite, outClose, outFlush,
                       outPause, outBufferFree, outBufferPlaying, outTime,  outTime};

} // namespace

InputPlugin *loadPlugin() {
  std::string path = stageDir() + "/lib/xmms/Input/libslaveinput.so";
  void *h = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!h) {
    ADD_FAILURE() << "cannot load " << path << ": " << dlerror();
    return nullptr;
  }
  auto get = reinterpret_cast<GetInputPluginFunc>(dlsym(h, "get_iplugin_info"));
  if (!get) {
    ADD_FAILURE() << "no get_iplugin_info in " << path;
    return nullptr;
  }
  InputPlugin *ip = get();
  ip->set_info = setInfo;
  ip->output = &output;
  return ip;
}

void writeConfig(const std::string &slaveinputLines, const std::string &more) {
  writeFile(std::string(getenv("HOME")) + "/.xmms/config",
            "[slaveinput]\n" + slaveinputLines + "\n" + more);
}

} // namespace slavetest
