// Ogg Opus input plug-in of the engine, decoding with libopusfile.
//
// Opus always decodes at 48 kHz, whatever rate the source had. Seeks are sample-exact
// (op_pcm_seek). Streams with more than two channels are mixed down to stereo by libopusfile's
// own downmix, which knows the channel mappings Opus defines.

#include "entry.h"
#include "oggloop.h"
#include "playback.h"
#include "probe.h"
#include "tags.h"

#include <opusfile.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

using namespace velora::input;

namespace {

constexpr int kRate = 48000;

const char *opusError(int code) {
  switch (code) {
  case OP_EREAD:
    return "read error";
  case OP_EFAULT:
    return "decoder fault";
  case OP_EIMPL:
    return "unsupported stream feature";
  case OP_EINVAL:
    return "invalid stream";
  case OP_ENOTFORMAT:
    return "not an Ogg Opus stream";
  case OP_EBADHEADER:
    return "damaged Opus header";
  case OP_EVERSION:
    return "unsupported Opus version";
  case OP_EBADLINK:
    return "damaged stream section";
  case OP_EBADPACKET:
    return "damaged packet";
  case OP_EBADTIMESTAMP:
    return "damaged timestamps";
  case OP_HOLE:
    return "damaged data (gap in the stream)";
  default:
    return "damaged stream";
  }
}

class OpusStream {
public:
  ~OpusStream() {
    if (of_)
      op_free(of_);
  }
  bool open(const char *path, std::string &why) {
    int err = 0;
    of_ = op_open_file(path, &err);
    if (!of_) {
      FILE *probe = std::fopen(path, "rb");
      why = probe ? opusError(err) : "cannot open the file";
      if (probe)
        std::fclose(probe);
      return false;
    }
    channels_ = op_channel_count(of_, -1);
    if (channels_ < 1 || channels_ > 255) {
      why = "unsupported channel count";
      return false;
    }
    return true;
  }
  Tags tags() {
    Tags t;
    const OpusTags *ot = op_tags(of_, -1);
    for (int i = 0; ot && ot->user_comments && i < ot->comments; ++i)
      if (ot->user_comments[i] && ot->comment_lengths && ot->comment_lengths[i] > 0)
        t.addVorbisComment(ot->user_comments[i], static_cast<size_t>(ot->comment_lengths[i]));
    return t;
  }
  int lengthMs() {
    ogg_int64_t total = op_pcm_total(of_, -1);
    return total >= 0 ? static_cast<int>(total * 1000 / kRate) : -1;
  }
  int bitrate() {
    opus_int32 b = op_bitrate(of_, -1);
    return b > 0 ? static_cast<int>(b) : -1;
  }
  int outChannels() const { return channels_ > 2 ? 2 : channels_; }

  OggOpusFile *of_ = nullptr;
  int channels_ = 0;
};

class OpusSource : public OggSource {
public:
  explicit OpusSource(OpusStream &s) : s_(s), fbuf_(size_t(kRate) * 120 / 1000 * 2) {}
  int rate() const override { return kRate; }
  int channels() const override { return s_.outChannels(); }
  int64_t totalFrames() override { return total_; }
  bool seek(int64_t frame, int64_t *landed) override {
    if (op_pcm_seek(s_.of_, frame) != 0)
      return false;
    *landed = op_pcm_tell(s_.of_);
    return true;
  }
  long read(int16_t *out, int maxFrames) override {
    // Decoded as float and rounded once: libopusfile's own 16-bit path adds dither, which
    // would make the equalizer's flat setting and every comparison with another decoder noisy.
    const int nch = channels();
    const int room = std::min(maxFrames, static_cast<int>(fbuf_.size()) / 2) * nch;
    int got = nch == 2 ? op_read_float_stereo(s_.of_, fbuf_.data(), room)
                       : op_read_float(s_.of_, fbuf_.data(), room, nullptr);
    if (got > 0)
      floatTo16(fbuf_.data(), out, static_cast<size_t>(got) * static_cast<size_t>(nch));
    return got;
  }
  bool isHole(long code) const override { return code == OP_HOLE; }
  const char *errorText(long code) const override { return opusError(static_cast<int>(code)); }
  void checkEnd(Playback &pb, const std::string &file, int64_t position) override {
    // Pages lost to damage are skipped without a word from libopusfile: the shortfall against
    // the length the stream's last page announces tells, and a missing last page a cut file.
    // A damaged page can also make libopusfile take an earlier page for the last one; the real
    // last page's granule position (less the pre-skip) is the length the stream was made with.
    int64_t granule = -1;
    bool complete = oggEndsWithFinalPage(file.c_str(), &granule);
    const OpusHead *head = op_head(s_.of_, -1);
    int64_t made =
        granule >= 0 && head && op_link_count(s_.of_) == 1 ? granule - head->pre_skip : -1;
    int64_t expected = made > total_ ? made : total_;
    if (expected > 0 && position < expected)
      pb.diagnose("%s: damaged: %lld of %lld ms decoded", file.c_str(),
                  static_cast<long long>(position * 1000 / kRate),
                  static_cast<long long>(expected * 1000 / kRate));
    else if (!complete)
      pb.diagnose("%s: truncated: the stream ends without its final page", file.c_str());
  }

private:
  OpusStream &s_;
  std::vector<float> fbuf_;
  const int64_t total_ = op_pcm_total(s_.of_, -1);
};

void decodeThread(Playback &pb, const std::string &file) {
  OpusStream s;
  std::string why;
  if (!s.open(file.c_str(), why)) {
    pb.diagnose("%s: %s", file.c_str(), why.c_str());
    return;
  }
  OpusSource src(s);
  if (!pb.openAudio(kRate, src.channels()))
    return;
  pb.announce(makeTitle(s.tags(), file.c_str()), s.lengthMs(), s.bitrate(), kRate, src.channels());
  playOgg(pb, file, src);
}

// --- Plug-in entries ------------------------------------------------------------------------

bool isOpusHead(const unsigned char *h, long n) {
  if (n < 28 || std::memcmp(h, "OggS", 4) != 0)
    return false;
  long packet = 27 + h[26];
  return n >= packet + 8 && std::memcmp(h + packet, "OpusHead", 8) == 0;
}

int opus_is_our_file(const char *name) {
  unsigned char head[512];
  long n = readHead(name, head, sizeof head, false);
  if (hasExtension(name, {".opus"})) {
    // An .opus file that holds another Ogg codec is left to a plug-in that plays it.
    if (n >= 4 && std::memcmp(head, "OggS", 4) == 0)
      return isOpusHead(head, n) ? 1 : 0;
    return 1;
  }
  return isOpusHead(head, n) ? 1 : 0;
}

bool opus_song_info(const char *name, char **title, int *length) {
  OpusStream s;
  std::string why;
  if (!s.open(name, why))
    return false;
  *title = makeTitle(s.tags(), name);
  *length = s.lengthMs();
  return true;
}

const InputModule kModule{"Opus", "Ogg Opus player, libopusfile", decodeThread, opus_is_our_file,
                          opus_song_info};

} // namespace

// After the catch-all FFmpeg plug-in: FFmpeg's own Opus decoder takes half the CPU of libopus
// here (bench/inputs), with the same samples, tags and exact seeks. This plug-in plays Opus
// when the FFmpeg plug-in is not built.
VELORA_ENGINE_INPUT(kModule, kFallbackPriority, "opus", "audio/opus audio/x-opus+ogg")
