// The disk writer: what would be heard goes into a WAV file instead, as fast as the input
// plug-in delivers it. The path comes from key "file" of group "disk_writer" in ~/.xmms/config.
// Audio is written to a temporary file beside it, which replaces the named file only when the
// output is closed and the header is complete, so a crash never leaves half a file.
//
// With key "continuous" (TRUE/FALSE, default FALSE) the file records a whole session: songs
// joined on the open output, and what follows a close and the next open of the same format,
// until the engine stops or quits (velora_output_session_end). A session whose format changes
// goes on in a second file named after the first ("out-2.wav"), so nothing is lost.
// Without it, the engine closes the output after every song and each song is a file of its own.
#include "pcm.h"

#include <xmms/configfile.h>
#include <xmms/plugin.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

struct State {
  std::mutex m;
  FILE *file = nullptr;
  std::string path, tempPath;
  AFormat fmt = FMT_S16_LE;
  int rate = 0, nch = 0;
  bool eightBit = false;
  int64_t dataBytes = 0; // bytes of sample data in the file
  int64_t frames = 0;    // frames since open or flush (the output clock)
  int baseMs = 0;
  bool paused = false;
  bool failed = false;
  int volume = 100;
  bool continuous = false; // read at every open
  bool suspended = false;  // continuous: closed, the file kept for the next open
  int part = 1;            // continuous: files of this session so far
  std::string error;
} s;

void put16(uint8_t *p, uint16_t v) {
  p[0] = v & 0xff;
  p[1] = v >> 8;
}
void put32(uint8_t *p, uint32_t v) {
  for (int i = 0; i < 4; ++i)
    p[i] = (v >> (8 * i)) & 0xff;
}

std::vector<uint8_t> header(uint32_t dataBytes) {
  std::vector<uint8_t> h(44);
  int bytesPerSample = s.eightBit ? 1 : 2;
  std::memcpy(&h[0], "RIFF", 4);
  put32(&h[4], 36 + dataBytes);
  std::memcpy(&h[8], "WAVEfmt ", 8);
  put32(&h[16], 16);
  put16(&h[20], 1); // PCM
  put16(&h[22], static_cast<uint16_t>(s.nch));
  put32(&h[24], static_cast<uint32_t>(s.rate));
  put32(&h[28], static_cast<uint32_t>(s.rate * s.nch * bytesPerSample));
  put16(&h[32], static_cast<uint16_t>(s.nch * bytesPerSample));
  put16(&h[34], static_cast<uint16_t>(8 * bytesPerSample));
  std::memcpy(&h[36], "data", 4);
  put32(&h[40], dataBytes);
  return h;
}

void fail(const std::string &what) {
  if (!s.failed)
    std::fprintf(stderr, "xmms: disk writer: %s: %s\n", what.c_str(), std::strerror(errno));
  s.failed = true;
}

// "out.wav" as the n-th file of a session: "out-2.wav".
std::string partPath(const std::string &path, int part) {
  if (part <= 1)
    return path;
  size_t slash = path.rfind('/');
  size_t dot = path.rfind('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
    dot = path.size();
  return path.substr(0, dot) + "-" + std::to_string(part) + path.substr(dot);
}

// Completes the header and puts the file in place (lock held).
void finish() {
  if (!s.file)
    return;
  // A WAV header counts at most 4 GiB; longer recordings keep the largest value it can hold.
  uint32_t data = static_cast<uint32_t>(std::min<int64_t>(s.dataBytes, 0xffffffffll - 36));
  auto h = header(data);
  if (!s.failed && (std::fseek(s.file, 0, SEEK_SET) != 0 ||
                    std::fwrite(h.data(), 1, h.size(), s.file) != h.size()))
    fail(s.tempPath);
  if (!s.failed && (std::fflush(s.file) != 0 || ::fsync(fileno(s.file)) != 0))
    fail(s.tempPath);
  if (std::fclose(s.file) != 0)
    fail(s.tempPath);
  s.file = nullptr;
  s.suspended = false;
  if (s.failed || ::rename(s.tempPath.c_str(), s.path.c_str()) != 0) {
    if (!s.failed)
      fail(s.path);
    ::unlink(s.tempPath.c_str());
  }
}

// The clock starts again at every open.
void restartClock(AFormat fmt) {
  s.fmt = fmt;
  s.frames = 0;
  s.baseMs = 0;
  s.paused = false;
  s.suspended = false;
}

int disk_open(AFormat fmt, int rate, int nch) {
  std::lock_guard<std::mutex> lk(s.m);
  if (!pcm::validFormat(fmt) || rate < 1 || rate > 768000 || nch < 1 || nch > 8) {
    s.error = "unsupported sample format";
    return 0;
  }
  ConfigFile *cfg = xmms_cfg_open_default_file();
  char *file = nullptr;
  int continuous = 0;
  xmms_cfg_read_string(cfg, "disk_writer", "file", &file);
  xmms_cfg_read_boolean(cfg, "disk_writer", "continuous", &continuous);
  xmms_cfg_free(cfg);
  std::string path = file ? file : "";
  std::free(file);
  if (path.empty()) {
    s.error = "no file named in key \"file\" of group [disk_writer]";
    return 0;
  }
  if (s.file && s.continuous && continuous && s.suspended) {
    // The session goes on: same rate and channels continue the file (the sample width is the
    // file's), another format starts the session's next file.
    if (rate == s.rate && nch == s.nch) {
      restartClock(fmt);
      return 1;
    }
    finish();
    ++s.part;
    std::fprintf(
        stderr, "xmms: disk writer: the format changed to %d Hz, %d channel(s); %s goes on in %s\n",
        rate, nch, path.c_str(), partPath(path, s.part).c_str());
  } else if (s.file) { // an output left open: drop it
    std::fclose(s.file);
    ::unlink(s.tempPath.c_str());
    s.file = nullptr;
    s.part = 1;
  } else {
    s.part = 1;
  }
  s.continuous = continuous != 0;
  path = partPath(path, s.part);
  std::string temp = path + ".XXXXXX";
  int fd = ::mkstemp(temp.data());
  if (fd < 0) {
    s.error = path + ": " + std::strerror(errno);
    return 0;
  }
  s.file = ::fdopen(fd, "wb");
  if (!s.file) {
    ::close(fd);
    ::unlink(temp.c_str());
    s.error = std::strerror(errno);
    return 0;
  }
  ::fchmod(fd, 0644);
  s.path = path;
  s.tempPath = temp;
  s.rate = rate;
  s.nch = nch;
  s.eightBit = pcm::bytesPerSample(fmt) == 1;
  s.dataBytes = 0;
  s.failed = false;
  restartClock(fmt);
  auto h = header(0);
  if (std::fwrite(h.data(), 1, h.size(), s.file) != h.size())
    fail(s.tempPath);
  return 1;
}

void disk_write(void *ptr, int length) {
  std::lock_guard<std::mutex> lk(s.m);
  if (!s.file || s.suspended || length <= 0)
    return;
  std::vector<int16_t> samples;
  pcm::toS16(s.fmt, ptr, length, samples);
  pcm::applyVolume(samples.data(), samples.size(), s.volume);
  std::vector<uint8_t> bytes;
  if (s.eightBit) {
    bytes.resize(samples.size());
    for (size_t i = 0; i < samples.size(); ++i)
      bytes[i] = static_cast<uint8_t>((samples[i] >> 8) + 128);
  } else {
    bytes.resize(samples.size() * 2);
    for (size_t i = 0; i < samples.size(); ++i)
      put16(&bytes[2 * i], static_cast<uint16_t>(samples[i]));
  }
  if (!s.failed && std::fwrite(bytes.data(), 1, bytes.size(), s.file) != bytes.size())
    fail(s.tempPath);
  s.dataBytes += static_cast<int64_t>(bytes.size());
  s.frames += static_cast<int64_t>(samples.size()) / s.nch;
}

void disk_close() {
  std::lock_guard<std::mutex> lk(s.m);
  if (s.continuous)
    s.suspended = true; // the session's file stays open until the engine stops
  else
    finish();
}

void disk_flush(int time) {
  std::lock_guard<std::mutex> lk(s.m);
  s.frames = 0;
  s.baseMs = time;
}

void disk_pause(short paused) {
  std::lock_guard<std::mutex> lk(s.m);
  s.paused = paused != 0;
}

// Room is unlimited except while paused, when the input plug-in should hold back.
int disk_buffer_free() {
  std::lock_guard<std::mutex> lk(s.m);
  return s.file && !s.suspended && !s.paused ? 1 << 20 : 0;
}

int disk_buffer_playing() { return 0; }

int disk_output_time() {
  std::lock_guard<std::mutex> lk(s.m);
  return s.file && !s.suspended && s.rate ? s.baseMs + static_cast<int>(s.frames * 1000 / s.rate)
                                          : 0;
}

void disk_get_volume(int *l, int *r) {
  std::lock_guard<std::mutex> lk(s.m);
  if (l)
    *l = s.volume;
  if (r)
    *r = s.volume;
}

void disk_set_volume(int l, int r) {
  std::lock_guard<std::mutex> lk(s.m);
  s.volume = std::clamp(std::max(l, r), 0, 100);
}

OutputPlugin disk_op = {
    nullptr,          nullptr,          const_cast<char *>("Disk writer (WAV file)"),
    nullptr,          nullptr,          nullptr,
    disk_get_volume,  disk_set_volume,  disk_open,
    disk_write,       disk_close,       disk_flush,
    disk_pause,       disk_buffer_free, disk_buffer_playing,
    disk_output_time, disk_output_time,
};

} // namespace

extern "C" __attribute__((visibility("default"))) OutputPlugin *get_oplugin_info(void) {
  return &disk_op;
}

// The engine stopped or quits: a continuous recording is complete.
extern "C" __attribute__((visibility("default"))) void velora_output_session_end(void) {
  std::lock_guard<std::mutex> lk(s.m);
  finish();
  s.part = 1;
}

// Whether songs of one format may follow each other on the open output. Without "continuous"
// every song is a file of its own, so the engine closes the output at the end of each.
extern "C" __attribute__((visibility("default"))) int velora_output_joins_songs(void) {
  ConfigFile *cfg = xmms_cfg_open_default_file();
  int continuous = 0;
  xmms_cfg_read_boolean(cfg, "disk_writer", "continuous", &continuous);
  xmms_cfg_free(cfg);
  return continuous != 0;
}

// Why the last open failed, for the engine's one-line diagnostic.
extern "C" __attribute__((visibility("default"))) const char *velora_output_error(void) {
  return s.error.c_str();
}
