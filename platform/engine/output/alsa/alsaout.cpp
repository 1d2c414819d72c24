// The ALSA output: the engine's default. Device "default" (or key "device" of group "alsa" in
// ~/.xmms/config), about half a second of buffer, volume applied in software. Output time is
// what has been heard: samples handed to ALSA minus those still waiting in its buffer.
#include "pcm.h"

#include <alsa/asoundlib.h>
#include <xmms/configfile.h>
#include <xmms/plugin.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdarg>
#include <cstdint>
#include <cstdlib>
#include <mutex>
#include <string>
#include <vector>

namespace {

constexpr unsigned kBufferUs = 500000;

struct State {
  std::mutex m;
  // A writer waiting for room is woken by pause, flush and close instead of polling for them.
  std::condition_variable changed;
  snd_pcm_t *pcm = nullptr;
  AFormat fmt = FMT_S16_NE;
  int rate = 0, nch = 0;
  int inFrameBytes = 0;
  int64_t written = 0; // frames handed to ALSA since open or flush
  int baseMs = 0;
  bool paused = false;
  bool canPause = false;
  std::atomic<int> volume{100};
  std::string error;
} s;

// ALSA reports through stderr by default; the engine prints one line of its own instead.
void quietErrors(const char *, int, const char *, int, const char *, ...) {}

void alsa_init() { snd_lib_error_set_handler(quietErrors); }

int alsa_open(AFormat fmt, int rate, int nch) {
  std::lock_guard<std::mutex> lk(s.m);
  if (!pcm::validFormat(fmt) || rate < 1 || nch < 1 || nch > 8) {
    s.error = "unsupported sample format";
    return 0;
  }
  if (s.pcm) {
    snd_pcm_drop(s.pcm);
    snd_pcm_close(s.pcm);
    s.pcm = nullptr;
  }
  ConfigFile *cfg = xmms_cfg_open_default_file();
  char *dev = nullptr;
  xmms_cfg_read_string(cfg, "alsa", "device", &dev);
  xmms_cfg_free(cfg);
  std::string device = dev && *dev ? dev : "default";
  std::free(dev);

  snd_pcm_t *pcm = nullptr;
  // Non-blocking: a busy device must not stall the caller; writes are paced by hand below.
  int err = snd_pcm_open(&pcm, device.c_str(), SND_PCM_STREAM_PLAYBACK, SND_PCM_NONBLOCK);
  if (err >= 0)
    err = snd_pcm_set_params(pcm, SND_PCM_FORMAT_S16, SND_PCM_ACCESS_RW_INTERLEAVED,
                             static_cast<unsigned>(nch), static_cast<unsigned>(rate), 1, kBufferUs);
  if (err < 0) {
    s.error = "device \"" + device + "\": " + snd_strerror(err);
    if (pcm)
      snd_pcm_close(pcm);
    return 0;
  }
  snd_pcm_hw_params_t *hw;
  snd_pcm_hw_params_alloca(&hw);
  s.canPause = snd_pcm_hw_params_current(pcm, hw) == 0 && snd_pcm_hw_params_can_pause(hw);
  s.pcm = pcm;
  s.fmt = fmt;
  s.rate = rate;
  s.nch = nch;
  s.inFrameBytes = pcm::bytesPerSample(fmt) * nch;
  s.written = 0;
  s.baseMs = 0;
  s.paused = false;
  return 1;
}

// Frames still waiting in ALSA's buffer (0 when it has stopped).
snd_pcm_sframes_t pending() {
  snd_pcm_sframes_t delay = 0;
  snd_pcm_state_t st = snd_pcm_state(s.pcm);
  if (st != SND_PCM_STATE_RUNNING && st != SND_PCM_STATE_PREPARED && st != SND_PCM_STATE_PAUSED)
    return 0;
  if (snd_pcm_delay(s.pcm, &delay) < 0)
    return 0;
  return std::clamp<snd_pcm_sframes_t>(delay, 0, s.written);
}

void alsa_write(void *ptr, int length) {
  std::vector<int16_t> samples;
  {
    std::lock_guard<std::mutex> lk(s.m);
    if (!s.pcm || length <= 0)
      return;
    pcm::toS16(s.fmt, ptr, length, samples);
  }
  pcm::applyVolume(samples.data(), samples.size(), s.volume);
  size_t frames = samples.size() / std::max(1, s.nch), done = 0;
  while (done < frames) {
    std::unique_lock<std::mutex> lk(s.m);
    if (!s.pcm)
      return;
    snd_pcm_sframes_t r = 0;
    if (!s.paused) {
      r = snd_pcm_writei(s.pcm, samples.data() + done * s.nch, frames - done);
      if (r == -EAGAIN)
        r = 0;
      else if (r < 0 && snd_pcm_recover(s.pcm, static_cast<int>(r), 1) < 0)
        return; // the device is gone: what remains of this block is dropped
      else if (r < 0)
        r = 0;
    }
    done += static_cast<size_t>(r);
    s.written += r;
    if (done < frames) {
      // About as long as the device needs to take the rest; paused, until it is resumed.
      auto wait = s.paused
                      ? std::chrono::microseconds(1000000)
                      : std::chrono::microseconds(std::clamp<int64_t>(
                            int64_t(frames - done) * 1000000 / std::max(1, s.rate), 2000, 100000));
      s.changed.wait_for(lk, wait);
    }
  }
}

void alsa_close() {
  std::lock_guard<std::mutex> lk(s.m);
  if (!s.pcm)
    return;
  snd_pcm_drop(s.pcm);
  snd_pcm_close(s.pcm);
  s.pcm = nullptr;
  s.changed.notify_all();
}

void alsa_flush(int time) {
  std::lock_guard<std::mutex> lk(s.m);
  if (!s.pcm)
    return;
  snd_pcm_drop(s.pcm);
  snd_pcm_prepare(s.pcm);
  s.written = 0;
  s.baseMs = time;
  s.changed.notify_all();
}

void alsa_pause(short paused) {
  std::lock_guard<std::mutex> lk(s.m);
  if (!s.pcm || s.paused == (paused != 0))
    return;
  s.paused = paused != 0;
  s.changed.notify_all();
  snd_pcm_state_t st = snd_pcm_state(s.pcm);
  if (s.canPause) {
    if ((s.paused && st == SND_PCM_STATE_RUNNING) || (!s.paused && st == SND_PCM_STATE_PAUSED))
      snd_pcm_pause(s.pcm, s.paused ? 1 : 0);
    return;
  }
  // Without hardware pause, what is buffered is dropped; the clock keeps what was heard.
  if (s.paused) {
    s.written -= pending();
    snd_pcm_drop(s.pcm);
  } else {
    snd_pcm_prepare(s.pcm);
  }
}

int alsa_buffer_free() {
  std::lock_guard<std::mutex> lk(s.m);
  if (!s.pcm || s.paused)
    return 0;
  snd_pcm_sframes_t avail = snd_pcm_avail(s.pcm);
  if (avail < 0) {
    if (snd_pcm_recover(s.pcm, static_cast<int>(avail), 1) < 0)
      return 0;
    avail = snd_pcm_avail(s.pcm);
  }
  return avail > 0 ? static_cast<int>(std::min<snd_pcm_sframes_t>(avail, 1 << 20)) * s.inFrameBytes
                   : 0;
}

int alsa_buffer_playing() {
  std::lock_guard<std::mutex> lk(s.m);
  if (!s.pcm)
    return 0;
  snd_pcm_sframes_t left = pending();
  // A song shorter than the start threshold would otherwise never start playing.
  if (left > 0 && !s.paused && snd_pcm_state(s.pcm) == SND_PCM_STATE_PREPARED)
    snd_pcm_start(s.pcm);
  return left > 0;
}

int alsa_output_time() {
  std::lock_guard<std::mutex> lk(s.m);
  if (!s.pcm || s.rate <= 0)
    return 0;
  return s.baseMs + static_cast<int>((s.written - pending()) * 1000 / s.rate);
}

int alsa_written_time() {
  std::lock_guard<std::mutex> lk(s.m);
  return s.pcm && s.rate > 0 ? s.baseMs + static_cast<int>(s.written * 1000 / s.rate) : 0;
}

void alsa_get_volume(int *l, int *r) {
  if (l)
    *l = s.volume;
  if (r)
    *r = s.volume;
}

void alsa_set_volume(int l, int r) { s.volume = std::clamp(std::max(l, r), 0, 100); }

OutputPlugin alsa_op = {
    nullptr,          nullptr,           const_cast<char *>("ALSA output"),
    alsa_init,        nullptr,           nullptr,
    alsa_get_volume,  alsa_set_volume,   alsa_open,
    alsa_write,       alsa_close,        alsa_flush,
    alsa_pause,       alsa_buffer_free,  alsa_buffer_playing,
    alsa_output_time, alsa_written_time,
};

} // namespace

extern "C" __attribute__((visibility("default"))) OutputPlugin *get_oplugin_info(void) {
  return &alsa_op;
}

extern "C" __attribute__((visibility("default"))) const char *velora_output_error(void) {
  return s.error.c_str();
}
