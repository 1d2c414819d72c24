// FLAC input plug-in of the engine, decoding with libFLAC.
//
// Any sample size is reduced to 16 bits by rounding to nearest; more than two channels are
// mixed down to stereo. Seeks are sample-exact. STREAMINFO tells how many samples the file
// holds, so a file that ends early, or frames lost to damage, are noticed and reported.

#include "entry.h"
#include "pcm.h"
#include "playback.h"
#include "probe.h"
#include "tags.h"

#include <FLAC/stream_decoder.h>

#include <cstring>
#include <string>
#include <vector>

using namespace velora::input;

namespace {

// Speaker order of FLAC streams with 1 to 8 channels.
const Speaker kLayouts[8][8] = {
    {Speaker::Centre},
    {Speaker::FrontLeft, Speaker::FrontRight},
    {Speaker::FrontLeft, Speaker::FrontRight, Speaker::Centre},
    {Speaker::FrontLeft, Speaker::FrontRight, Speaker::BackLeft, Speaker::BackRight},
    {Speaker::FrontLeft, Speaker::FrontRight, Speaker::Centre, Speaker::BackLeft,
     Speaker::BackRight},
    {Speaker::FrontLeft, Speaker::FrontRight, Speaker::Centre, Speaker::Lfe, Speaker::BackLeft,
     Speaker::BackRight},
    {Speaker::FrontLeft, Speaker::FrontRight, Speaker::Centre, Speaker::Lfe, Speaker::BackCentre,
     Speaker::SideLeft, Speaker::SideRight},
    {Speaker::FrontLeft, Speaker::FrontRight, Speaker::Centre, Speaker::Lfe, Speaker::BackLeft,
     Speaker::BackRight, Speaker::SideLeft, Speaker::SideRight}};

class FlacStream {
public:
  ~FlacStream() {
    if (decoder_) {
      FLAC__stream_decoder_finish(decoder_);
      FLAC__stream_decoder_delete(decoder_);
    }
  }

  // Opens the file and reads its metadata; with pb null only the metadata is wanted.
  bool open(const char *path, Playback *pb, std::string &why) {
    pb_ = pb;
    decoder_ = FLAC__stream_decoder_new();
    if (!decoder_) {
      why = "out of memory";
      return false;
    }
    FLAC__stream_decoder_set_md5_checking(decoder_, false);
    FLAC__stream_decoder_set_metadata_respond(decoder_, FLAC__METADATA_TYPE_VORBIS_COMMENT);
    FLAC__StreamDecoderInitStatus st = FLAC__stream_decoder_init_file(
        decoder_, path, writeCallback, metadataCallback, errorCallback, this);
    if (st != FLAC__STREAM_DECODER_INIT_STATUS_OK) {
      why = st == FLAC__STREAM_DECODER_INIT_STATUS_ERROR_OPENING_FILE
                ? "cannot open"
                : FLAC__StreamDecoderInitStatusString[st];
      return false;
    }
    if (!FLAC__stream_decoder_process_until_end_of_metadata(decoder_) || rate_ == 0) {
      why = "not a FLAC stream";
      return false;
    }
    if (channels_ < 1 || channels_ > 8) {
      why = "unsupported channel count";
      return false;
    }
    if (channels_ > 2)
      mix_.setup(kLayouts[channels_ - 1], static_cast<int>(channels_));
    return true;
  }

  int outChannels() const { return channels_ > 2 ? 2 : static_cast<int>(channels_); }
  int lengthMs() const { return total_ > 0 ? static_cast<int>(total_ * 1000 / rate_) : -1; }

  static FLAC__StreamDecoderWriteStatus writeCallback(const FLAC__StreamDecoder *,
                                                      const FLAC__Frame *frame,
                                                      const FLAC__int32 *const buffer[],
                                                      void *data) {
    auto *self = static_cast<FlacStream *>(data);
    return self->onFrame(frame, buffer);
  }
  static void metadataCallback(const FLAC__StreamDecoder *, const FLAC__StreamMetadata *m,
                               void *data) {
    auto *self = static_cast<FlacStream *>(data);
    if (m->type == FLAC__METADATA_TYPE_STREAMINFO) {
      self->rate_ = m->data.stream_info.sample_rate;
      self->channels_ = m->data.stream_info.channels;
      self->total_ = m->data.stream_info.total_samples;
    } else if (m->type == FLAC__METADATA_TYPE_VORBIS_COMMENT) {
      const auto &vc = m->data.vorbis_comment;
      for (FLAC__uint32 i = 0; vc.comments && i < vc.num_comments; ++i)
        if (vc.comments[i].entry)
          self->tags_.addVorbisComment(reinterpret_cast<const char *>(vc.comments[i].entry),
                                       vc.comments[i].length);
    }
  }
  static void errorCallback(const FLAC__StreamDecoder *, FLAC__StreamDecoderErrorStatus status,
                            void *data) {
    auto *self = static_cast<FlacStream *>(data);
    if (self->error_)
      return; // the first one says what went wrong; libFLAC resynchronises after it
    switch (status) {
    case FLAC__STREAM_DECODER_ERROR_STATUS_LOST_SYNC:
      self->error_ = "lost sync (damaged data)";
      break;
    case FLAC__STREAM_DECODER_ERROR_STATUS_BAD_HEADER:
      self->error_ = "bad frame header";
      break;
    case FLAC__STREAM_DECODER_ERROR_STATUS_FRAME_CRC_MISMATCH:
      self->error_ = "frame checksum mismatch";
      break;
    case FLAC__STREAM_DECODER_ERROR_STATUS_UNPARSEABLE_STREAM:
      self->error_ = "unparseable stream";
      break;
    default:
      self->error_ = "damaged data";
      break;
    }
  }

  FLAC__StreamDecoderWriteStatus onFrame(const FLAC__Frame *frame,
                                         const FLAC__int32 *const buffer[]) {
    if (!pb_)
      return FLAC__STREAM_DECODER_WRITE_STATUS_CONTINUE;
    const unsigned n = frame->header.blocksize;
    const unsigned ch = frame->header.channels;
    const int bits = static_cast<int>(frame->header.bits_per_sample);
    if (ch != channels_ || bits < 4 || bits > 32)
      return FLAC__STREAM_DECODER_WRITE_STATUS_ABORT;
    pcm_.resize(static_cast<size_t>(n) * ch);
    for (unsigned i = 0; i < n; ++i)
      for (unsigned c = 0; c < ch; ++c)
        pcm_[static_cast<size_t>(i) * ch + c] = to16(buffer[c][i], bits);
    if (ch > 2)
      mix_.run(pcm_.data(), pcm_.data(), n);
    const size_t samples = static_cast<size_t>(n) * outChannels();
    position_ = frame->header.number_type == FLAC__FRAME_NUMBER_TYPE_SAMPLE_NUMBER
                    ? frame->header.number.sample_number + n
                    : position_ + n;
    if (seeking_) {
      // Delivered from inside a seek: kept until the output has been flushed to the new time.
      stash_.insert(stash_.end(), pcm_.begin(), pcm_.begin() + static_cast<long>(samples));
    } else {
      pb_->write(pcm_.data(), n);
    }
    return FLAC__STREAM_DECODER_WRITE_STATUS_CONTINUE;
  }

  FLAC__StreamDecoder *decoder_ = nullptr;
  Playback *pb_ = nullptr;
  unsigned rate_ = 0, channels_ = 0;
  FLAC__uint64 total_ = 0;    // samples per channel, 0 when STREAMINFO does not say
  FLAC__uint64 position_ = 0; // samples per channel delivered so far (end of the last frame)
  Tags tags_;
  const char *error_ = nullptr;
  bool seeking_ = false;
  std::vector<int16_t> pcm_, stash_;
  Downmix mix_;
};

void decodeThread(Playback &pb, const std::string &file) {
  FlacStream s;
  std::string why;
  if (!s.open(file.c_str(), &pb, why)) {
    pb.diagnose("%s: %s", file.c_str(), why.c_str());
    return;
  }
  if (!pb.openAudio(static_cast<int>(s.rate_), s.outChannels()))
    return;
  int bitrate = -1;
  if (s.lengthMs() > 0) {
    if (FILE *f = std::fopen(file.c_str(), "rb")) {
      if (std::fseek(f, 0, SEEK_END) == 0)
        bitrate = static_cast<int>(std::ftell(f) * 8000LL / s.lengthMs());
      std::fclose(f);
    }
  }
  pb.announce(makeTitle(s.tags_, file.c_str()), s.lengthMs(), bitrate, static_cast<int>(s.rate_),
              s.outChannels());

  bool endedByError = false, seekedAway = false;
  while (pb.running()) {
    int request = pb.takeSeek();
    if (request != -1) {
      FLAC__uint64 target = static_cast<FLAC__uint64>(request) * s.rate_ / 1000;
      s.stash_.clear();
      s.seeking_ = true;
      bool ok = (s.total_ == 0 || target < s.total_) &&
                FLAC__stream_decoder_seek_absolute(s.decoder_, target);
      s.seeking_ = false;
      if (!ok) {
        // Past the end, or a seek the damaged file cannot serve: the song ends here.
        pb.seekDone(request, request);
        seekedAway = true;
        break;
      }
      pb.seekDone(request, static_cast<int>(target * 1000 / s.rate_));
      if (!s.stash_.empty())
        pb.write(s.stash_.data(), s.stash_.size() / static_cast<size_t>(s.outChannels()));
      s.stash_.clear();
      continue;
    }
    if (!FLAC__stream_decoder_process_single(s.decoder_)) {
      FLAC__StreamDecoderState st = FLAC__stream_decoder_get_state(s.decoder_);
      pb.diagnose("%s: %s", file.c_str(), s.error_ ? s.error_ : FLAC__StreamDecoderStateString[st]);
      endedByError = true;
      break;
    }
    if (FLAC__stream_decoder_get_state(s.decoder_) == FLAC__STREAM_DECODER_END_OF_STREAM)
      break;
  }
  if (pb.running() && !endedByError && !seekedAway) {
    if (s.error_)
      pb.diagnose("%s: damaged stream: %s", file.c_str(), s.error_);
    else if (s.total_ > 0 && s.position_ < s.total_)
      pb.diagnose("%s: truncated: %llu of %llu ms decoded", file.c_str(),
                  static_cast<unsigned long long>(s.position_ * 1000 / s.rate_),
                  static_cast<unsigned long long>(s.total_ * 1000 / s.rate_));
  }
}

// --- Plug-in entries ------------------------------------------------------------------------

int flac_is_our_file(const char *name) {
  if (hasExtension(name, {".flac", ".fla"}))
    return 1;
  unsigned char head[4];
  return readHead(name, head, sizeof head, true) == 4 && std::memcmp(head, "fLaC", 4) == 0;
}

bool flac_song_info(const char *name, char **title, int *length) {
  FlacStream s;
  std::string why;
  if (!s.open(name, nullptr, why))
    return false;
  *title = makeTitle(s.tags_, name);
  *length = s.lengthMs();
  return true;
}

const InputModule kModule{"FLAC", "FLAC player, libFLAC", decodeThread, flac_is_our_file,
                          flac_song_info};

} // namespace

VELORA_ENGINE_INPUT(kModule, kFormatPriority, "flac fla", "audio/flac audio/x-flac")
