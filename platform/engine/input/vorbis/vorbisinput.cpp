// Ogg Vorbis input plug-in of the engine, decoding with libvorbisfile.
//
// Seeks are sample-exact (ov_pcm_seek). Files with more than two channels are mixed down to
// stereo. A file whose last Ogg page is missing or cut short was truncated: libvorbisfile
// plays what is there without complaint, so the plug-in looks at the end of the file itself.

#include "entry.h"
#include "pcm.h"
#include "playback.h"
#include "probe.h"
#include "tags.h"

#include <vorbis/vorbisfile.h>

#include <cerrno>
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

void decodeThread(Playback &pb, const std::string &file) {
  VorbisStream s;
  std::string why;
  if (!s.open(file.c_str(), why)) {
    pb.diagnose("%s: %s", file.c_str(), why.c_str());
    return;
  }
  Downmix mix;
  auto setupFormat = [&](int rate, int channels) {
    if (channels > 2 && !mix.setup(kLayouts[channels - 1], channels))
      return false;
    return pb.openAudio(rate, channels > 2 ? 2 : channels);
  };
  if (!setupFormat(s.rate_, s.channels_))
    return;
  pb.announce(makeTitle(s.tags(), file.c_str()), s.lengthMs(), s.bitrate(), s.rate_,
              s.channels_ > 2 ? 2 : s.channels_);

  std::vector<char> buf(4096 * 8 * 2);
  int link = -1;
  int failures = 0;
  const ogg_int64_t total = ov_pcm_total(&s.vf_, -1);
  ogg_int64_t position = 0; // frames from the start
  bool endedByError = false, reachedEnd = false;
  while (pb.running()) {
    int request = pb.takeSeek();
    if (request != -1) {
      ogg_int64_t target = static_cast<ogg_int64_t>(request) * s.rate_ / 1000;
      if ((total >= 0 && target >= total) || ov_pcm_seek(&s.vf_, target) != 0) {
        pb.seekDone(request, request);
        break; // past the end: nothing left to hear
      }
      position = ov_pcm_tell(&s.vf_);
      pb.seekDone(request, static_cast<int>(position * 1000 / s.rate_));
      continue;
    }
    int current = 0;
    long got = ov_read(&s.vf_, buf.data(), static_cast<int>(buf.size()),
                       __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__, 2, 1, &current);
    if (got == 0) {
      reachedEnd = true;
      break;
    }
    if (got < 0) {
      // A hole is skipped and playing goes on; the user is told once.
      pb.diagnose("%s: %s", file.c_str(), vorbisError(static_cast<int>(got)));
      if (got != OV_HOLE || ++failures > 64) {
        endedByError = true;
        break;
      }
      continue;
    }
    failures = 0;
    if (current != link) {
      // A chained file may change format from one section to the next.
      vorbis_info *vi = ov_info(&s.vf_, current);
      if (link != -1 && vi && (vi->rate != s.rate_ || vi->channels != s.channels_)) {
        if (vi->rate <= 0 || vi->channels < 1 || vi->channels > 8 ||
            !setupFormat(static_cast<int>(vi->rate), vi->channels)) {
          pb.diagnose("%s: unsupported format in a later section", file.c_str());
          endedByError = true;
          break;
        }
        s.rate_ = static_cast<int>(vi->rate);
        s.channels_ = vi->channels;
      }
      link = current;
    }
    auto *pcm = reinterpret_cast<int16_t *>(buf.data());
    size_t frames = static_cast<size_t>(got) / (static_cast<size_t>(s.channels_) * 2);
    position += static_cast<ogg_int64_t>(frames);
    if (s.channels_ > 2)
      mix.run(pcm, pcm, frames);
    pb.write(pcm, frames);
  }
  if (!reachedEnd || endedByError || !pb.running())
    return;
  // Pages lost to damage are skipped without a word from libvorbisfile: the shortfall
  // against the length the stream's last page announces tells.
  if (total > 0 && position < total)
    pb.diagnose("%s: damaged: %lld of %lld ms decoded", file.c_str(),
                static_cast<long long>(position * 1000 / s.rate_),
                static_cast<long long>(total * 1000 / s.rate_));
  else if (!oggEndsWithFinalPage(file.c_str()))
    pb.diagnose("%s: truncated: the stream ends without its final page", file.c_str());
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

VELORA_ENGINE_INPUT(kModule, kFormatPriority, "ogg", "audio/ogg audio/x-vorbis+ogg audio/vorbis")
