// WAV input plug-in: plays RIFF/WAVE files holding PCM (8, 16, 24 or 32 bits, integer or
// 32-bit float), any channel count up to 8. 8- and 16-bit samples go to the output unchanged;
// wider ones are reduced to 16 bits. One decode thread per song, paced by the output's room.
#include <xmms/plugin.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <strings.h>
#include <thread>
#include <vector>

namespace {

struct WavFormat {
  int tag = 0; // 1 integer PCM, 3 float
  int channels = 0;
  int rate = 0;
  int bits = 0;
  int blockAlign = 0;
  long dataStart = 0;
  int64_t dataBytes = 0;
};

InputPlugin wav_ip;
std::atomic<bool> running{false}; // a song is meant to play; cleared at its end or by stop
std::atomic<int> seekTo{-1};      // pending seek in seconds, taken by the decode thread
std::atomic<bool> audioOpen{false};
std::thread decoder;
std::mutex control; // play_file and stop never overlap

uint32_t le32(const uint8_t *p) { return p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24; }
uint16_t le16(const uint8_t *p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

const char *const kUnsupportedFormat =
    "unsupported sample format (only PCM of 8, 16, 24, 32 bits or 32-bit float)";

// Reads the header and leaves the file at the start of the sample data.
bool readFormat(FILE *f, WavFormat &w, const char *&why) {
  uint8_t riff[12];
  if (std::fread(riff, 1, 12, f) != 12 || std::memcmp(riff, "RIFF", 4) ||
      std::memcmp(riff + 8, "WAVE", 4)) {
    why = "not a RIFF/WAVE file";
    return false;
  }
  bool haveFormat = false;
  for (;;) {
    uint8_t ch[8];
    if (std::fread(ch, 1, 8, f) != 8) {
      why = haveFormat ? "no sample data" : "no format chunk";
      return false;
    }
    uint32_t size = le32(ch + 4);
    if (!std::memcmp(ch, "fmt ", 4)) {
      uint8_t fmt[40] = {};
      size_t want = std::min<uint32_t>(size, sizeof fmt);
      if (size < 16 || std::fread(fmt, 1, want, f) != want) {
        why = "damaged format chunk";
        return false;
      }
      w.tag = le16(fmt);
      w.channels = le16(fmt + 2);
      w.rate = static_cast<int>(le32(fmt + 4));
      w.blockAlign = le16(fmt + 12);
      w.bits = le16(fmt + 14);
      if (w.tag == 0xfffe && size >= 26)
        w.tag = le16(fmt + 24); // the sub-format of an extensible header
      haveFormat = true;
      long rest = static_cast<long>(size - want + (size & 1));
      if (rest && std::fseek(f, rest, SEEK_CUR) != 0) {
        why = "damaged file";
        return false;
      }
      continue;
    }
    if (!std::memcmp(ch, "data", 4)) {
      if (!haveFormat) {
        why = "sample data before the format chunk";
        return false;
      }
      w.dataStart = std::ftell(f);
      std::fseek(f, 0, SEEK_END);
      int64_t available = std::ftell(f) - w.dataStart;
      std::fseek(f, w.dataStart, SEEK_SET);
      // A header written by a recorder that never finished says 0 or 4 GiB: trust the file.
      w.dataBytes = (size == 0 || size > available) ? available : size;
      break;
    }
    if (std::fseek(f, static_cast<long>(size) + (size & 1), SEEK_CUR) != 0) {
      why = "damaged file";
      return false;
    }
  }
  bool intOk = w.tag == 1 && (w.bits == 8 || w.bits == 16 || w.bits == 24 || w.bits == 32);
  bool floatOk = w.tag == 3 && w.bits == 32;
  if (!intOk && !floatOk) {
    why = kUnsupportedFormat;
    return false;
  }
  if (w.channels < 1 || w.channels > 8 || w.rate < 1000 || w.rate > 192000 ||
      w.blockAlign != w.channels * w.bits / 8) {
    why = "unsupported channel count or sample rate";
    return false;
  }
  return true;
}

AFormat outputFormat(const WavFormat &w) { return w.bits == 8 ? FMT_U8 : FMT_S16_LE; }
int outputBytesPerSample(const WavFormat &w) { return w.bits == 8 ? 1 : 2; }
int lengthMs(const WavFormat &w) {
  return static_cast<int>(w.dataBytes / w.blockAlign * 1000 / w.rate);
}

std::string titleOf(const char *path) {
  std::string name = path;
  size_t slash = name.rfind('/');
  if (slash != std::string::npos)
    name.erase(0, slash + 1);
  size_t dot = name.rfind('.');
  if (dot != std::string::npos && dot > 0)
    name.erase(dot);
  return name;
}

// Reduces 24/32-bit integer and float samples to 16-bit little-endian, in place.
size_t toSixteen(const WavFormat &w, uint8_t *buf, size_t bytes) {
  if (w.bits <= 16)
    return bytes;
  int in = w.bits / 8;
  size_t n = bytes / in;
  for (size_t i = 0; i < n; ++i) {
    const uint8_t *p = buf + i * in;
    int16_t v;
    if (w.tag == 3) {
      float f;
      std::memcpy(&f, p, 4); // little-endian hosts only, as the file is
      f = std::isnan(f) ? 0.0f : std::clamp(f, -1.0f, 1.0f);
      v = static_cast<int16_t>(std::lround(f * 32767.0f));
    } else {
      v = static_cast<int16_t>(p[in - 2] | p[in - 1] << 8);
    }
    buf[2 * i] = static_cast<uint8_t>(v & 0xff);
    buf[2 * i + 1] = static_cast<uint8_t>((v >> 8) & 0xff);
  }
  return n * 2;
}

void sleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

void decode(std::string path) {
  OutputPlugin *out = wav_ip.output;
  WavFormat w;
  const char *why = nullptr;
  FILE *f = std::fopen(path.c_str(), "rb");
  if (!f) {
    std::printf("wavinput: cannot open %s\n", path.c_str());
  } else if (!readFormat(f, w, why)) {
    std::printf("wavinput: %s: %s\n", path.c_str(), why);
  } else if (!out || !out->open_audio(outputFormat(w), w.rate, w.channels)) {
    std::printf("wavinput: %s: the audio output cannot be opened\n", path.c_str());
  } else {
    audioOpen = true;
    std::string title = titleOf(path.c_str());
    wav_ip.set_info(title.data(), lengthMs(w), w.rate * w.channels * w.bits, w.rate, w.channels);
    const int64_t total = w.dataBytes / w.blockAlign; // frames
    const int64_t chunkFrames = w.rate / 20;          // 50 ms
    const int64_t maxFrames = w.rate / 5;             // 200 ms at most per write
    const int outFrameBytes = outputBytesPerSample(w) * w.channels;
    std::vector<uint8_t> buf(static_cast<size_t>(maxFrames) * w.blockAlign);
    int64_t frame = 0;
    bool drained = false;
    while (running && !drained) {
      int seek = seekTo.load();
      if (seek >= 0) {
        frame = std::min<int64_t>(static_cast<int64_t>(seek) * w.rate, total);
        std::fseek(f, w.dataStart + static_cast<long>(frame * w.blockAlign), SEEK_SET);
        out->flush(static_cast<int>(frame * 1000 / w.rate));
        seekTo = -1;
        continue;
      }
      if (frame >= total) {
        // Everything is written: the song ends when the listener has heard it.
        if (out->buffer_playing())
          sleepMs(10);
        else
          drained = true;
        continue;
      }
      // Wait for room for a whole chunk, sleeping about as long as the output needs to make
      // it: few wake-ups per second while the song plays.
      int64_t room = out->buffer_free() / outFrameBytes;
      int64_t want = std::min<int64_t>(chunkFrames, total - frame);
      if (room < want) {
        sleepMs(static_cast<int>(std::clamp<int64_t>((want - room) * 1000 / w.rate, 10, 100)));
        continue;
      }
      int64_t frames = std::min<int64_t>({room, maxFrames, total - frame});
      size_t got = std::fread(buf.data(), 1, static_cast<size_t>(frames * w.blockAlign), f);
      got -= got % w.blockAlign;
      if (got == 0) {
        frame = total; // the file is shorter than it said
        continue;
      }
      size_t bytes = toSixteen(w, buf.data(), got);
      out->write_audio(buf.data(), static_cast<int>(bytes));
      frame += static_cast<int64_t>(got) / w.blockAlign;
    }
    if (drained) {
      out->close_audio();
      audioOpen = false;
    }
  }
  if (f)
    std::fclose(f);
  std::fflush(stdout);
  seekTo = -1;
  running = false;
}

void wav_stop_locked() {
  running = false;
  if (decoder.joinable())
    decoder.join();
  if (audioOpen.exchange(false) && wav_ip.output)
    wav_ip.output->close_audio();
}

// A .wav file whose header names a kind of sample this plug-in does not decode (A-law, 64-bit
// float, an RF64 header, ...) is left to a plug-in that plays it; a damaged one stays ours, so
// the song ends with this plug-in's diagnostic.
int wav_is_our_file(char *filename) {
  if (!filename)
    return 0;
  const char *dot = std::strrchr(filename, '.');
  if (!dot || std::strchr(dot, '/') || strcasecmp(dot, ".wav"))
    return 0;
  FILE *f = std::fopen(filename, "rb");
  if (!f)
    return 1;
  WavFormat w;
  const char *why = nullptr;
  uint8_t head[4] = {};
  bool rf64 = std::fread(head, 1, 4, f) == 4 && !std::memcmp(head, "RF64", 4);
  std::rewind(f);
  bool ours = !rf64 && (readFormat(f, w, why) || why != kUnsupportedFormat);
  std::fclose(f);
  return ours ? 1 : 0;
}

void wav_play_file(char *filename) {
  std::lock_guard<std::mutex> lk(control);
  wav_stop_locked();
  seekTo = -1;
  running = true;
  decoder = std::thread(decode, std::string(filename ? filename : ""));
}

void wav_stop() {
  std::lock_guard<std::mutex> lk(control);
  wav_stop_locked();
}

void wav_pause(short paused) {
  if (running && wav_ip.output)
    wav_ip.output->pause(paused);
}

// Waits (bounded) until the decode thread has taken the request, as the engine expects.
void wav_seek(int seconds) {
  if (!running)
    return;
  seekTo = std::max(0, seconds);
  for (int i = 0; i < 300 && running && seekTo != -1; ++i)
    sleepMs(10);
}

int wav_get_time() {
  if (!running)
    return -1;
  return wav_ip.output ? wav_ip.output->output_time() : 0;
}

void wav_get_song_info(char *filename, char **title, int *length) {
  if (title)
    *title = nullptr;
  if (length)
    *length = -1;
  if (!filename)
    return;
  FILE *f = std::fopen(filename, "rb");
  if (!f)
    return;
  WavFormat w;
  const char *why = nullptr;
  if (readFormat(f, w, why)) {
    if (length)
      *length = lengthMs(w);
    if (title)
      *title = strdup(titleOf(filename).c_str());
  }
  std::fclose(f);
}

void wav_cleanup() { wav_stop(); }

} // namespace

extern "C" __attribute__((visibility("default"))) InputPlugin *get_iplugin_info(void) {
  wav_ip.description = const_cast<char *>("WAV player");
  wav_ip.is_our_file = wav_is_our_file;
  wav_ip.play_file = wav_play_file;
  wav_ip.stop = wav_stop;
  wav_ip.pause = wav_pause;
  wav_ip.seek = wav_seek;
  wav_ip.get_time = wav_get_time;
  wav_ip.cleanup = wav_cleanup;
  wav_ip.get_song_info = wav_get_song_info;
  return &wav_ip;
}

VELORA_INPUT_INFO(100, "wav", "audio/x-wav audio/wav audio/vnd.wave")
