// One audio stream of a file as FFmpeg's libraries read it: the container, the chosen audio
// stream, its decoder and the conversion to 16-bit samples at the stream's own rate, mono or
// stereo (more channels are folded to stereo with the usual downmix).
#pragma once

#include "tags.h"

#include <cstdint>
#include <string>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswresample/swresample.h>
}

namespace velora::input {

// True when the file's first bytes are of a container or stream FFmpeg reads, whatever its
// name, and it holds an audio stream FFmpeg decodes.
bool ffmpegPlays(const char *path);

class AvStream {
public:
  AvStream();
  ~AvStream();
  AvStream(const AvStream &) = delete;
  AvStream &operator=(const AvStream &) = delete;

  // Opens the container and picks its best audio stream; with `decode` also its decoder.
  // False with a reason in why.
  bool open(const char *path, bool decode, std::string &why);

  Tags tags() const;
  int lengthMs() const;
  // The song's length in frames when the container says it exactly (not estimated from the bit
  // rate), else -1. Decoders pad their last block; what lies past this is padding.
  int64_t exactFrames() const;
  int bitrate() const;
  int rate() const;
  // Channels given to the output: 1 or 2.
  int outChannels() const;

  enum class Read { Samples, End, Failed };
  // start of a block whose stream gives no time.
  static constexpr int64_t kUntimed = INT64_MIN;
  // Decodes the next block into pcm (interleaved, outChannels()); start gets its place in
  // frames from the start of the song (negative: before it, not to be heard), or kUntimed. Failed
  // means the stream is too damaged to go on (why says why); a damaged packet here and there is
  // skipped.
  Read next(std::vector<int16_t> &pcm, size_t &frames, int64_t &start, std::string &why);
  // Moves to ms, as close as the container allows at or before it; next() then decodes from
  // there. False when the container cannot seek.
  bool seek(int64_t ms);
  // True for an Ogg file: the end of the song can look for the stream's final page.
  bool isOgg() const;
  // Packets the decoder refused so far: the end of the song can tell the user.
  int damagedPackets() const { return damaged_; }

private:
  friend bool ffmpegPlays(const char *path);
  bool openDecoder(const AVCodec *codec, std::string &why);
  void timeOggVorbis(const char *path, bool decode);
  bool setupConverter(const AVFrame *frame);
  int64_t frameStart(const AVFrame *frame) const;

  AVFormatContext *fmt_ = nullptr;
  AVCodecContext *dec_ = nullptr;
  SwrContext *swr_ = nullptr;
  AVPacket *pkt_ = nullptr;
  AVFrame *frame_ = nullptr;
  int index_ = -1;
  // Where the song starts and ends (exclusive) in the stream's time base; no end when the
  // container does not say it exactly.
  int64_t origin_ = 0, end_ = AV_NOPTS_VALUE;
  // pkt_ holds the stream's first packet, read to time the stream and not yet decoded.
  bool pending_ = false;
  // The decoder leaves trimming to us: the container's own trim figures are wrong.
  bool manualTrim_ = false;
  bool draining_ = false;
  int damaged_ = 0;
  // The converter's input format, to notice a stream that changes it.
  int swrRate_ = 0, swrFormat_ = -1;
  AVChannelLayout swrLayout_{};
};

} // namespace velora::input
