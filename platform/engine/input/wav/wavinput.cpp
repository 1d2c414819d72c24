// WAV input plug-in: plays RIFF/WAVE files holding PCM (8, 16, 24 or 32 bits, integer or
// 32-bit float), any channel count up to 8: 8- and 16-bit samples go to the output unchanged,
// wider ones are reduced to 16 bits. The decode thread, pacing, seeks and the equalizer are the
// engine inputs' shared ones (input/common).
#include "entry.h"
#include "playback.h"
#include "probe.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

using namespace velora::input;

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

int lengthMs(const WavFormat &w) {
  return static_cast<int>(w.dataBytes / w.blockAlign * 1000 / w.rate);
}

// The playlist title: the file's name without its folder and extension.
char *titleOf(const char *path) {
  std::string name = path;
  size_t slash = name.rfind('/');
  if (slash != std::string::npos)
    name.erase(0, slash + 1);
  size_t dot = name.rfind('.');
  if (dot != std::string::npos && dot > 0)
    name.erase(dot);
  return strdup(name.c_str());
}

// One sample of the file (little-endian, as the format is) of 16 bits or more as 16 bits:
// wider integers keep their top 16 bits, floats are clipped to full scale.
int16_t sample16(const WavFormat &w, const uint8_t *p) {
  if (w.bits == 16)
    return static_cast<int16_t>(p[0] | p[1] << 8);
  if (w.tag == 3) {
    float f;
    std::memcpy(&f, p, 4); // little-endian hosts only, as the file is
    f = std::isnan(f) ? 0.0f : std::clamp(f, -1.0f, 1.0f);
    return static_cast<int16_t>(std::lround(f * 32767.0f));
  }
  const int in = w.bits / 8;
  return static_cast<int16_t>(p[in - 2] | p[in - 1] << 8);
}

void decodeThread(Playback &pb, const std::string &file) {
  FILE *f = std::fopen(file.c_str(), "rb");
  if (!f) {
    pb.diagnose("cannot open %s", file.c_str());
    return;
  }
  WavFormat w;
  const char *why = nullptr;
  if (!readFormat(f, w, why)) {
    pb.diagnose("%s: %s", file.c_str(), why);
  } else if (pb.openAudio(w.rate, w.channels, w.bits == 8 ? FMT_U8 : FMT_S16_NE)) {
    pb.announce(titleOf(file.c_str()), lengthMs(w), w.rate * w.channels * w.bits, w.rate,
                w.channels);
    const int64_t total = w.dataBytes / w.blockAlign; // frames
    const int64_t blockFrames = w.rate / 20;          // 50 ms
    std::vector<uint8_t> raw(static_cast<size_t>(blockFrames * w.blockAlign));
    std::vector<int16_t> pcm(static_cast<size_t>(blockFrames * w.channels));
    const int bytesPerSample = w.bits / 8;
    int64_t frame = 0;
    while (pb.running()) {
      int request = pb.takeSeek();
      if (request != -1) {
        frame = std::min<int64_t>(int64_t(request) * w.rate / 1000, total);
        std::fseek(f, w.dataStart + static_cast<long>(frame * w.blockAlign), SEEK_SET);
        pb.seekDone(request, static_cast<int>(frame * 1000 / w.rate));
        continue;
      }
      if (frame >= total)
        break; // everything is written: the song ends once it has been heard
      const int64_t want = std::min(blockFrames, total - frame);
      size_t got = std::fread(raw.data(), 1, static_cast<size_t>(want * w.blockAlign), f);
      const size_t frames = got / static_cast<size_t>(w.blockAlign);
      if (frames == 0)
        break; // the file is shorter than it said
      frame += static_cast<int64_t>(frames);
      if (w.bits == 8) {
        pb.writeU8(raw.data(), frames); // 8-bit samples go to the output as they are
        continue;
      }
      for (size_t i = 0; i < frames * static_cast<size_t>(w.channels); ++i)
        pcm[i] = sample16(w, raw.data() + i * static_cast<size_t>(bytesPerSample));
      pb.write(pcm.data(), frames);
    }
  }
  std::fclose(f);
}

// A .wav file whose header names a kind of sample this plug-in does not decode (A-law, 64-bit
// float, an RF64 header, ...) is left to a plug-in that plays it; a damaged one stays ours, so
// the song ends with this plug-in's diagnostic.
int wavIsOurFile(const char *filename) {
  if (!hasExtension(filename, {".wav"}))
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

bool wavSongInfo(const char *filename, char **title, int *length) {
  FILE *f = std::fopen(filename, "rb");
  if (!f)
    return false;
  WavFormat w;
  const char *why = nullptr;
  bool ok = readFormat(f, w, why);
  std::fclose(f);
  if (!ok)
    return false;
  *title = titleOf(filename);
  *length = lengthMs(w);
  return true;
}

const InputModule kModule{"wavinput", "WAV player", decodeThread, wavIsOurFile, wavSongInfo};

} // namespace

VELORA_ENGINE_INPUT(kModule, kFormatPriority, "wav", "audio/x-wav audio/wav audio/vnd.wave")
