// MPEG audio (MP3, MP2, MP1) input plug-in of the engine, decoding with libmpg123.
//
// Lengths and seeks are exact: the file is scanned once when opened, which fills libmpg123's
// frame index, and gapless decoding drops the encoder's delay and padding where the LAME/Xing
// header records them. That header also says how long the stream should be, which is how a
// truncated or damaged file is told apart from a short one.

#include "entry.h"
#include "playback.h"
#include "probe.h"
#include "tags.h"

#include <mpg123.h>

#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

using namespace velora::input;

namespace {

void initLibrary() {
  // Needed by older libmpg123 releases, harmless on newer ones; once per process.
  static std::once_flag once;
  std::call_once(once, [] { mpg123_init(); });
}

// --- Frame headers, for recognising misnamed files ---------------------------------------

struct FrameHeader {
  int version; // 0 MPEG-1, 1 MPEG-2, 2 MPEG-2.5
  int layer;   // 1..3
  int rate;
  size_t length;
};

bool parseFrameHeader(const unsigned char *h, FrameHeader &out) {
  static const int bitrates[2][3][15] = {
      {{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},
       {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
       {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320}},
      {{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},
       {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
       {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160}}};
  static const int rates[3][3] = {
      {44100, 48000, 32000}, {22050, 24000, 16000}, {11025, 12000, 8000}};
  if (h[0] != 0xFF || (h[1] & 0xE0) != 0xE0)
    return false;
  int versionBits = (h[1] >> 3) & 3, layerBits = (h[1] >> 1) & 3;
  int bitrateIndex = h[2] >> 4, rateIndex = (h[2] >> 2) & 3, padding = (h[2] >> 1) & 1;
  // Reserved values; free-format bit rate (index 0) has no length to check, so it is not
  // accepted for recognition either.
  if (versionBits == 1 || layerBits == 0 || bitrateIndex == 0 || bitrateIndex == 15 ||
      rateIndex == 3)
    return false;
  out.version = versionBits == 3 ? 0 : (versionBits == 2 ? 1 : 2);
  out.layer = 4 - layerBits;
  out.rate = rates[out.version][rateIndex];
  long bitrate = bitrates[out.version ? 1 : 0][out.layer - 1][bitrateIndex] * 1000L;
  if (out.layer == 1)
    out.length = static_cast<size_t>((12 * bitrate / out.rate + padding) * 4);
  else if (out.layer == 3 && out.version != 0)
    out.length = static_cast<size_t>(72 * bitrate / out.rate + padding);
  else
    out.length = static_cast<size_t>(144 * bitrate / out.rate + padding);
  return out.length >= 4;
}

// Three frames in a row with the same version, layer and rate at the start of the stream.
bool looksLikeMpegAudio(const unsigned char *buf, size_t n) {
  FrameHeader first, next;
  size_t at = 0;
  for (int frame = 0; frame < 3; ++frame) {
    if (at + 4 > n)
      return frame >= 2;
    FrameHeader &h = frame == 0 ? first : next;
    if (!parseFrameHeader(buf + at, h))
      return false;
    if (frame > 0 && (h.version != first.version || h.layer != first.layer || h.rate != first.rate))
      return false;
    at += h.length;
  }
  return true;
}

// --- One open stream -----------------------------------------------------------------------

std::string mpgText(const mpg123_string *s) {
  if (!s || !s->p || s->fill == 0)
    return {};
  return tagText(s->p, std::min(s->fill, s->size));
}

class Mp3Stream {
public:
  ~Mp3Stream() {
    if (mh_) {
      mpg123_close(mh_);
      mpg123_delete(mh_);
    }
  }

  // False with a reason in why. Without fullScan, a stream whose header states its length is
  // not read through (playlist look-ups stay cheap); playback always scans, for exact seeks.
  bool open(const char *path, std::string &why, bool fullScan = true) {
    initLibrary();
    int err = MPG123_OK;
    mh_ = mpg123_new(nullptr, &err);
    if (!mh_) {
      why = mpg123_plain_strerror(err);
      return false;
    }
    mpg123_param(mh_, MPG123_ADD_FLAGS, MPG123_QUIET | MPG123_GAPLESS, 0);
    // Look further than the default kilobyte for the next good frame, so a damaged stretch
    // is skipped and the rest of the song still plays.
    mpg123_param(mh_, MPG123_RESYNC_LIMIT, 1 << 20, 0);
    // Every rate libmpg123 knows, always as 16-bit samples.
    mpg123_format_none(mh_);
    const long *list;
    size_t count;
    mpg123_rates(&list, &count);
    for (size_t i = 0; i < count; ++i)
      mpg123_format(mh_, list[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_SIGNED_16);
    if (mpg123_open(mh_, path) != MPG123_OK) {
      why = std::string("cannot open: ") + mpg123_strerror(mh_);
      return false;
    }
    int encoding = 0;
    if (mpg123_getformat(mh_, &rate_, &channels_, &encoding) != MPG123_OK || rate_ <= 0 ||
        channels_ < 1 || channels_ > 2) {
      why = "no MPEG audio stream found";
      return false;
    }
    // Before the scan the length comes from the stream's own header, if it has one.
    long accurate = 0;
    if (mpg123_getstate(mh_, MPG123_ACCURATE, &accurate, nullptr) == MPG123_OK && accurate)
      expected_ = mpg123_length(mh_);
    if (!fullScan && expected_ > 0) {
      total_ = expected_;
      return true;
    }
    if (mpg123_scan(mh_) != MPG123_OK) {
      why = std::string("cannot read: ") + mpg123_strerror(mh_);
      return false;
    }
    total_ = mpg123_length(mh_);
    return true;
  }

  Tags tags() {
    Tags t;
    mpg123_id3v1 *v1 = nullptr;
    mpg123_id3v2 *v2 = nullptr;
    if (!(mpg123_meta_check(mh_) & MPG123_ID3) || mpg123_id3(mh_, &v1, &v2) != MPG123_OK)
      return t;
    if (v2) {
      t.title = mpgText(v2->title);
      t.performer = mpgText(v2->artist);
      t.album = mpgText(v2->album);
      t.date = mpgText(v2->year);
      t.genre = mpgText(v2->genre);
      t.comment = mpgText(v2->comment);
      for (size_t i = 0; v2->text && i < v2->texts; ++i) {
        const mpg123_text &f = v2->text[i];
        if (std::memcmp(f.id, "TRCK", 4) == 0 && !t.track)
          t.track = leadingNumber(mpgText(&f.text));
        else if ((std::memcmp(f.id, "TDRC", 4) == 0 || std::memcmp(f.id, "TYER", 4) == 0) &&
                 t.date.empty())
          t.date = mpgText(&f.text);
      }
    }
    // ID3v1 fields are fixed-size and need not be terminated; fill what ID3v2 left empty.
    if (v1 && std::memcmp(v1->tag, "TAG", 3) == 0) {
      auto fill = [](std::string &field, const char *data, size_t n) {
        if (field.empty())
          field = tagText(data, n);
      };
      fill(t.title, v1->title, sizeof v1->title);
      fill(t.performer, v1->artist, sizeof v1->artist);
      fill(t.album, v1->album, sizeof v1->album);
      fill(t.date, v1->year, sizeof v1->year);
      fill(t.comment, v1->comment, 28);
      if (!t.track && v1->comment[28] == 0 && v1->comment[29] != 0)
        t.track = static_cast<unsigned char>(v1->comment[29]);
    }
    t.year = leadingNumber(t.date);
    return t;
  }

  int lengthMs() const {
    return total_ > 0 ? static_cast<int>(static_cast<long long>(total_) * 1000 / rate_) : -1;
  }
  int bitrate() {
    mpg123_frameinfo info;
    if (mpg123_info(mh_, &info) == MPG123_OK)
      return info.abr_rate > 0 ? info.abr_rate * 1000 : info.bitrate * 1000;
    return -1;
  }

  mpg123_handle *mh_ = nullptr;
  long rate_ = 0;
  int channels_ = 0;
  off_t expected_ = -1; // frames the stream header announces, -1 when unknown
  off_t total_ = -1;    // frames found by the scan
};

void decodeThread(Playback &pb, const std::string &file) {
  Mp3Stream s;
  std::string why;
  if (!s.open(file.c_str(), why)) {
    pb.diagnose("%s: %s", file.c_str(), why.c_str());
    return;
  }
  if (!pb.openAudio(static_cast<int>(s.rate_), s.channels_))
    return;
  pb.announce(makeTitle(s.tags(), file.c_str()), s.lengthMs(), s.bitrate(),
              static_cast<int>(s.rate_), s.channels_);

  std::vector<unsigned char> buf(mpg123_outblock(s.mh_) + 4);
  long long position = 0; // frames from the start
  bool endedByError = false;
  while (pb.running()) {
    int request = pb.takeSeek();
    if (request != -1) {
      long long target = static_cast<long long>(request) * s.rate_ / 1000;
      if (s.total_ >= 0 && target >= s.total_) {
        // At or past the end: nothing left to hear.
        pb.seekDone(request, request);
        position = s.total_;
        break;
      }
      off_t landed = mpg123_seek(s.mh_, static_cast<off_t>(target), SEEK_SET);
      if (landed < 0) {
        pb.seekDone(request, request);
        pb.diagnose("%s: cannot seek: %s", file.c_str(), mpg123_strerror(s.mh_));
        endedByError = true;
        break;
      }
      position = landed;
      pb.seekDone(request, static_cast<int>(position * 1000 / s.rate_));
      continue;
    }
    size_t done = 0;
    int r = mpg123_read(s.mh_, buf.data(), buf.size() - 4, &done);
    if (r == MPG123_NEW_FORMAT) {
      int encoding;
      if (mpg123_getformat(s.mh_, &s.rate_, &s.channels_, &encoding) != MPG123_OK ||
          !pb.openAudio(static_cast<int>(s.rate_), s.channels_)) {
        endedByError = true;
        break;
      }
      continue;
    }
    size_t frames = done / (static_cast<size_t>(s.channels_) * 2);
    if (frames) {
      position += static_cast<long long>(frames);
      pb.write(reinterpret_cast<int16_t *>(buf.data()), frames);
    }
    if (r == MPG123_DONE)
      break;
    if (r != MPG123_OK) {
      pb.diagnose("%s: %s", file.c_str(), mpg123_strerror(s.mh_));
      endedByError = true;
      break;
    }
  }
  // A stream that stops short of the length its header announced lost frames on the way:
  // libmpg123 skips damaged parts silently, so this is where the user hears of it.
  if (pb.running() && !endedByError && s.expected_ > 0) {
    long long missing = static_cast<long long>(s.expected_) - position;
    if (missing > 1152)
      pb.diagnose("%s: truncated or damaged: %lld of %lld ms decoded", file.c_str(),
                  position * 1000 / s.rate_, static_cast<long long>(s.expected_) * 1000 / s.rate_);
  }
}

// --- Plug-in entries ------------------------------------------------------------------------

int mp3_is_our_file(const char *name) {
  if (hasExtension(name, {".mp3", ".mp2", ".mp1"}))
    return 1;
  unsigned char head[8192];
  long n = readHead(name, head, sizeof head, true);
  return n > 0 && looksLikeMpegAudio(head, static_cast<size_t>(n)) ? 1 : 0;
}

bool mp3_song_info(const char *name, char **title, int *length) {
  Mp3Stream s;
  std::string why;
  if (!s.open(name, why, false))
    return false;
  *title = makeTitle(s.tags(), name);
  *length = s.lengthMs();
  return true;
}

const InputModule kModule{"MP3",         "MPEG audio (MP3) player, libmpg123",
                          decodeThread,  mp3_is_our_file,
                          mp3_song_info, initLibrary};

} // namespace

VELORA_ENGINE_INPUT(kModule, kFormatPriority, "mp3 mp2 mp1", "audio/mpeg audio/mp3 audio/x-mp3")
