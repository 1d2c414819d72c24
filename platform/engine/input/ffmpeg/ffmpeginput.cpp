// Catch-all input plug-in of the engine over FFmpeg's libraries: Apple Lossless, audiobooks,
// WavPack, AIFF, APE, Musepack, WMA, AC-3, FLAC or Opus in MP4, FLAC in Ogg, A-law or 64-bit
// float or RF64 WAV, and whatever else FFmpeg reads. It is asked after every other input
// plug-in, which keep their files, and claims a file by probing its content, not its name.
//
// Seeks are exact: the container seeks to a point at or before the target and the samples
// before it are dropped. Encoder delay and padding are trimmed as FFmpeg reports them.

#include "avstream.h"
#include "entry.h"
#include "playback.h"
#include "probe.h"

#include <algorithm>
#include <string>
#include <vector>

extern "C" {
#include <libavutil/log.h>
}

using namespace velora::input;

namespace {

constexpr int kPrerollMs = 200;

void decodeThread(Playback &pb, const std::string &file) {
  AvStream s;
  std::string why;
  if (!s.open(file.c_str(), true, why)) {
    pb.diagnose("%s: %s", file.c_str(), why.c_str());
    return;
  }
  const int rate = s.rate(), nch = s.outChannels();
  if (!pb.openAudio(rate, nch))
    return;
  const int lengthMs = s.lengthMs();
  pb.announce(makeTitle(s.tags(), file.c_str()), lengthMs, s.bitrate(), rate, nch);

  std::vector<int16_t> pcm;
  const int64_t end = s.exactFrames();
  // Frames before this one are not heard: those before the song's start (an encoder's lead-in),
  // and after a seek those before its target.
  int64_t skipTo = 0;
  int64_t played = 0; // where the stream is, in frames
  bool reachedEnd = false;
  while (pb.running()) {
    int request = pb.takeSeek();
    if (request != -1) {
      // Decoders of overlapping transforms need the block before the target to get it right:
      // decoding starts a little earlier and what comes before the target is dropped.
      if ((lengthMs >= 0 && request >= lengthMs) || !s.seek(std::max(0, request - kPrerollMs))) {
        pb.seekDone(request, request);
        break; // past the end, or a stream that cannot seek: nothing more to hear
      }
      skipTo = int64_t(request) * rate / 1000;
      played = skipTo;
      pb.seekDone(request, request);
      continue;
    }
    size_t frames = 0;
    int64_t start = AvStream::kUntimed;
    AvStream::Read r = s.next(pcm, frames, start, why);
    if (r == AvStream::Read::End) {
      reachedEnd = true;
      break;
    }
    if (r == AvStream::Read::Failed) {
      pb.diagnose("%s: %s", file.c_str(), why.c_str());
      break;
    }
    if (start == AvStream::kUntimed)
      start = std::max(skipTo, played); // a stream without times: take it as continuous
    size_t first = 0;
    if (skipTo >= 0) {
      if (start + int64_t(frames) <= skipTo)
        continue;
      first = static_cast<size_t>(std::max<int64_t>(0, skipTo - start));
      skipTo = -1;
    }
    if (end >= 0 && start + int64_t(frames) > end) {
      // The encoder's padding after the last real sample.
      frames = start >= end ? 0 : static_cast<size_t>(end - start);
      if (frames <= first) {
        played = std::max(played, end);
        reachedEnd = true;
        break;
      }
    }
    played = start + int64_t(frames);
    if (frames > first)
      pb.write(pcm.data() + first * static_cast<size_t>(nch), frames - first);
  }
  if (!reachedEnd || !pb.running())
    return;
  // A cut or damaged file ends early without an error from the demuxer: the shortfall against
  // the length the container announces tells.
  const int64_t playedMs = played * 1000 / rate;
  if (lengthMs > 0 && playedMs + 500 < lengthMs)
    pb.diagnose("%s: damaged or truncated: %lld of %d ms decoded", file.c_str(),
                static_cast<long long>(playedMs), lengthMs);
  else if (s.isOgg() && !oggEndsWithFinalPage(file.c_str()))
    // The Ogg reader plays a cut file to its last whole page without a word.
    pb.diagnose("%s: truncated: the stream ends without its final page", file.c_str());
  else if (s.damagedPackets() > 0)
    pb.diagnose("%s: %d damaged packet(s) skipped", file.c_str(), s.damagedPackets());
}

void ffmpegInit() {
  // Messages of the libraries would flood the engine's output for every damaged file; the
  // plug-in says once what went wrong with a song.
  av_log_set_level(AV_LOG_QUIET);
}

int ffmpegIsOurFile(const char *name) { return ffmpegPlays(name) ? 1 : 0; }

bool ffmpegSongInfo(const char *name, char **title, int *length) {
  AvStream s;
  std::string why;
  if (!s.open(name, false, why))
    return false;
  *title = makeTitle(s.tags(), name);
  *length = s.lengthMs();
  return true;
}

const InputModule kModule{"FFmpeg",       "Every other format, FFmpeg",
                          decodeThread,   ffmpegIsOurFile,
                          ffmpegSongInfo, ffmpegInit};

} // namespace

// Below every other plug-in: it takes any file FFmpeg reads, so it must only get what the
// others leave.
VELORA_ENGINE_INPUT(kModule, -100, "m4b alac aif aiff aifc wv ape mpc wma oga tta mka caf ac3",
                    "audio/mp4 audio/x-m4b audio/x-aiff audio/x-wavpack audio/x-ape "
                    "audio/x-musepack audio/x-ms-wma audio/ogg audio/x-tta audio/x-matroska "
                    "audio/x-caf audio/ac3")
