#include "oggloop.h"

#include <cmath>
#include <vector>

namespace velora::input {

namespace {
// A stream that gives this many errors in a row is given up.
constexpr int kMaxFailuresInARow = 64;
// 120 ms at 48 kHz, the longest Opus packet: one read never needs more.
constexpr int kBlockFrames = 5760;
} // namespace

void floatTo16(const float *in, int16_t *out, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    float v = in[i] * 32768.0f;
    v = v > 32767.0f ? 32767.0f : (v < -32768.0f ? -32768.0f : v);
    out[i] = static_cast<int16_t>(std::lrintf(v));
  }
}

void playOgg(Playback &pb, const std::string &file, OggSource &src) {
  std::vector<int16_t> buf(size_t(kBlockFrames) * kOggMaxChannels);
  int rate = src.rate(), nch = src.channels();
  const int64_t total = src.totalFrames();
  int64_t position = 0; // frames from the start
  bool reachedEnd = false;
  int failures = 0;
  while (pb.running()) {
    int request = pb.takeSeek();
    if (request != -1) {
      int64_t target = int64_t(request) * rate / 1000, landed = 0;
      if ((total >= 0 && target >= total) || !src.seek(target, &landed)) {
        pb.seekDone(request, request);
        return; // past the end: nothing left to hear
      }
      position = landed;
      pb.seekDone(request, static_cast<int>(position * 1000 / rate));
      continue;
    }
    long got = src.read(buf.data(), kBlockFrames);
    if (got == 0) {
      reachedEnd = true;
      break;
    }
    if (got < 0) {
      // A hole is skipped and playing goes on; the user is told once.
      pb.diagnose("%s: %s", file.c_str(), src.errorText(got));
      if (!src.isHole(got) || ++failures > kMaxFailuresInARow)
        return;
      continue;
    }
    failures = 0;
    if (src.rate() != rate || src.channels() != nch) {
      // A later section of a chained file in another format.
      rate = src.rate();
      nch = src.channels();
      if (!pb.openAudio(rate, nch))
        return;
    }
    position += got;
    pb.write(buf.data(), static_cast<size_t>(got));
  }
  if (reachedEnd && pb.running())
    src.checkEnd(pb, file, position);
}

} // namespace velora::input
