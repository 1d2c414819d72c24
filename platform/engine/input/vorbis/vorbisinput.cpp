// Ogg Vorbis input plug-in of the engine, decoding with libvorbisfile.
//
// Seeks are sample-exact (ov_pcm_seek). Files with more than two channels are mixed down to
// stereo. A file whose last Ogg page is missing or cut short was truncated: libvorbisfile
// plays what is there without complaint, so the plug-in looks at the end of the file itself.

#include "entry.h"
#include "oggloop.h"
#include "pcm.h"
#include "playback.h"
#include "probe.h"
#include "tags.h"

#include <vorbis/vorbisfile.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

using namespace velora::input;

namespace {

// Speaker order of Vorbis streams with 1 to 8 channels.
const Speaker kLayouts[8][8] = {
    {Speaker::Centre},
    {Speaker::FrontLeft, Speaker::FrontRight},
    {Speaker::FrontLeft, Speaker::Centre, Speaker::FrontRight},
    {Speaker::FrontLeft, Speaker::FrontRight, Speaker::BackLeft, Speaker::BackRight},
    {Speaker::FrontLeft, Speaker::Centre, Speaker::FrontRight, Speaker::BackLeft,
     Speaker::BackRight},
    {Speaker::FrontLeft, Speaker::Centre, Speaker::FrontRight, Speaker::BackLeft,
     Speaker::BackRight, Speaker::Lfe},
    {Speaker::FrontLeft, Speaker::Centre, Speaker::FrontRight, Speaker::SideLeft,
     Speaker::SideRight, Speaker::BackCentre, Speaker::Lfe},
    {Speaker::FrontLeft, Speaker::Centre, Speaker::FrontRight, Speaker::SideLeft,
     Speaker::SideRight, Speaker::BackLeft, Speaker::BackRight, Speaker::Lfe}};

const char *vorbisError(int code) {
  switch (code) {
  case OV_EREAD:
    return "read error";
  case OV_ENOTVORBIS:
    return "not an Ogg Vorbis stream";
  case OV_EVERSION:
    return "unsupported Vorbis version";
  case OV_EBADHEADER:
    return "damaged Vorbis header";
  case OV_EFAULT:
    return "decoder fault";
  case OV_HOLE:
    return "damaged data (gap in the stream)";
  case OV_EBADLINK:
    return "damaged stream section";
  case OV_EINVAL:
    return "invalid stream";
  default:
    return "damaged stream";
  }
}

class VorbisStream {
public:
  ~VorbisStream() {
    if (open_)
      ov_clear(&vf_);
  }
  bool open(const char *path, std::string &why) {
    FILE *f = std::fopen(path, "rb");
    if (!f) {
      why = std::string("cannot open: ") + std::strerror(errno);
      return false;
    }
    // On failure libvorbisfile leaves the file to us; on success it closes it in ov_clear.
    int r = ov_open_callbacks(f, &vf_, nullptr, 0, OV_CALLBACKS_DEFAULT);
    if (r < 0) {
      std::fclose(f);
      why = vorbisError(r);
      return false;
    }
    open_ = true;
    vorbis_info *vi = ov_info(&vf_, -1);
    if (!vi || vi->rate <= 0 || vi->channels < 1 || vi->channels > 8) {
      why = "unsupported channel count or rate";
      return false;
    }
    rate_ = static_cast<int>(vi->rate);
    channels_ = vi->channels;
    return true;
  }
  Tags tags() {
    Tags t;
    vorbis_comment *vc = ov_comment(&vf_, -1);
    for (int i = 0; vc && vc->user_comments && i < vc->comments; ++i)
      if (vc->user_comments[i] && vc->comment_lengths && vc->comment_lengths[i] > 0)
        t.addVorbisComment(vc->user_comments[i], static_cast<size_t>(vc->comment_lengths[i]));
    return t;
  }
  int lengthMs() {
    ogg_int64_t total = ov_pcm_total(&vf_, -1);
    return total >= 0 ? static_cast<int>(total * 1000 / rate_) : -1;
  }
  int bitrate() {
    long b = ov_bitrate(&vf_, -1);
    return b > 0 ? static_cast<int>(b) : -1;
  }

  OggVorbis_File vf_;
  bool open_ = false;
  int rate_ = 0;
  int channels_ = 0;
};

// Code of read() for a later section in a format the plug-in cannot play.
constexpr long kBadSection = -1000;

class VorbisSource : public OggSource {
public:
  VorbisSource(VorbisStream &s, Downmix &mix) : s_(s), mix_(mix) {}
  int rate() const override { return s_.rate_; }
  int channels() const override { return s_.channels_ > 2 ? 2 : s_.channels_; }
  int64_t totalFrames() override { return total_; }
  bool seek(int64_t frame, int64_t *landed) override {
    if (ov_pcm_seek(&s_.vf_, frame) != 0)
      return false;
    *landed = ov_pcm_tell(&s_.vf_);
    return true;
  }
  long read(int16_t *out, int maxFrames) override {
    float **pcm = nullptr;
    int current = 0;
    long got = ov_read_float(&s_.vf_, &pcm, maxFrames, &current);
    if (got <= 0)
      return got;
    if (current != link_) {
      // A chained file may change format from one section to the next.
      vorbis_info *vi = ov_info(&s_.vf_, current);
      if (link_ != -1 && vi && (vi->rate != s_.rate_ || vi->channels != s_.channels_)) {
        if (vi->rate <= 0 || vi->channels < 1 || vi->channels > 8 ||
            (vi->channels > 2 && !mix_.setup(kLayouts[vi->channels - 1], vi->channels)))
          return kBadSection;
        s_.rate_ = static_cast<int>(vi->rate);
        s_.channels_ = vi->channels;
      }
      link_ = current;
    }
    // Interleaved and converted in one pass: libvorbis decodes to float anyway.
    const int nch = s_.channels_;
    for (int c = 0; c < nch; ++c) {
      const float *in = pcm[c];
      for (long i = 0; i < got; ++i) {
        float v = in[i] * 32768.0f;
        v = v > 32767.0f ? 32767.0f : (v < -32768.0f ? -32768.0f : v);
        out[i * nch + c] = static_cast<int16_t>(std::lrintf(v));
      }
    }
    if (nch > 2)
      mix_.run(out, out, static_cast<size_t>(got));
    return got;
  }
  bool isHole(long code) const override { return code == OV_HOLE; }
  const char *errorText(long code) const override {
    return code == kBadSection ? "unsupported format in a later section"
                               : vorbisError(static_cast<int>(code));
  }
  void checkEnd(Playback &pb, const std::string &file, int64_t position) override {
    // Pages lost to damage are skipped without a word from libvorbisfile: the shortfall
    // against the length the stream's last page announces tells.
    if (total_ > 0 && position < total_)
      pb.diagnose("%s: damaged: %lld of %lld ms decoded", file.c_str(),
                  static_cast<long long>(position * 1000 / s_.rate_),
                  static_cast<long long>(total_ * 1000 / s_.rate_));
    else if (!oggEndsWithFinalPage(file.c_str()))
      pb.diagnose("%s: truncated: the stream ends without its final page", file.c_str());
  }

private:
  VorbisStream &s_;
  Downmix &mix_;
  int link_ = -1;
  const int64_t total_ = ov_pcm_total(&s_.vf_, -1);
};

void decodeThread(Playback &pb, const std::string &file) {
  VorbisStream s;
  std::string why;
  if (!s.open(file.c_str(), why)) {
    pb.diagnose("%s: %s", file.c_str(), why.c_str());
    return;
  }
  Downmix mix;
  if (s.channels_ > 2 && !mix.setup(kLayouts[s.channels_ - 1], s.channels_))
    return;
  VorbisSource src(s, mix);
  if (!pb.openAudio(src.rate(), src.channels()))
    return;
  pb.announce(makeTitle(s.tags(), file.c_str()), s.lengthMs(), s.bitrate(), src.rate(),
              src.channels());
  playOgg(pb, file, src);
}

// --- Plug-in entries ------------------------------------------------------------------------

bool isVorbisHead(const unsigned char *h, long n) {
  if (n < 28 || std::memcmp(h, "OggS", 4) != 0)
    return false;
  long packet = 27 + h[26];
  return n >= packet + 7 && std::memcmp(h + packet, "\x01vorbis", 7) == 0;
}

int vorbis_is_our_file(const char *name) {
  unsigned char head[512];
  long n = readHead(name, head, sizeof head, false);
  if (hasExtension(name, {".ogg"})) {
    // An .ogg file that holds another codec (Opus, FLAC) is left to a plug-in that plays it.
    if (n >= 4 && std::memcmp(head, "OggS", 4) == 0)
      return isVorbisHead(head, n) ? 1 : 0;
    return 1;
  }
  return isVorbisHead(head, n) ? 1 : 0;
}

bool vorbis_song_info(const char *name, char **title, int *length) {
  VorbisStream s;
  std::string why;
  if (!s.open(name, why))
    return false;
  *title = makeTitle(s.tags(), name);
  *length = s.lengthMs();
  return true;
}

const InputModule kModule{"Ogg Vorbis", "Ogg Vorbis player, libvorbisfile", decodeThread,
                          vorbis_is_our_file, vorbis_song_info};

} // namespace

// After the catch-all FFmpeg plug-in: FFmpeg's own Vorbis decoder takes under half the CPU of
// libvorbis here (bench/inputs), with the same samples, tags and exact seeks. This plug-in
// plays Vorbis when the FFmpeg plug-in is not built, and the chained files it leaves.
VELORA_ENGINE_INPUT(kModule, kFallbackPriority, "ogg", "audio/ogg audio/x-vorbis+ogg audio/vorbis")
