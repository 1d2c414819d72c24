#include "avstream.h"

#include "oggpages.h"
#include "probe.h"

#include <cstdio>
#include <cstring>

extern "C" {
#include <libavutil/opt.h>
}

namespace velora::input {

namespace {

// A stream that fails this many packets in a row is too damaged to go on with.
constexpr int kMaxFailuresInARow = 64;
// How much of a file the content probe looks at.
constexpr size_t kProbeBytes = 64 * 1024;

std::string avError(int code) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(code, text, sizeof text);
  return text;
}

const char *dictValue(const AVDictionary *d, const char *key) {
  const AVDictionaryEntry *e = d ? av_dict_get(d, key, nullptr, 0) : nullptr;
  return e && e->value && *e->value ? e->value : nullptr;
}

} // namespace

bool ffmpegPlays(const char *path) {
  FILE *f = std::fopen(path, "rb");
  if (!f)
    return false;
  std::vector<unsigned char> head(kProbeBytes + AVPROBE_PADDING_SIZE, 0);
  size_t n = std::fread(head.data(), 1, kProbeBytes, f);
  std::fclose(f);
  if (n == 0)
    return false;
  // No file name: the content alone decides, so a wrong extension neither wins nor loses.
  AVProbeData pd{};
  pd.filename = "";
  pd.buf = head.data();
  pd.buf_size = static_cast<int>(n);
  int score = 0;
  const AVInputFormat *format = av_probe_input_format3(&pd, 1, &score);
  if (!format || score < AVPROBE_SCORE_RETRY)
    return false;
  AvStream s;
  std::string why;
  if (!s.open(path, false, why))
    return false;
  // A chain of Ogg streams (one song after another in one file, as a radio recording is) comes
  // out of FFmpeg's Ogg reader with times that start over at each link and the length of the
  // last link alone. The Vorbis and Opus plug-ins time chains right: they get these files.
  const AVCodecID codec = s.fmt_->streams[s.index_]->codecpar->codec_id;
  if ((codec == AV_CODEC_ID_VORBIS || codec == AV_CODEC_ID_OPUS) &&
      std::strcmp(format->name, "ogg") == 0) {
    uint32_t last = 0;
    OggStart first = oggStart(path);
    if (first.ogg && oggEndsWithFinalPage(path, nullptr, &last) && last != first.serial)
      return false;
  }
  return true;
}

AvStream::AvStream() = default;

AvStream::~AvStream() {
  av_frame_free(&frame_);
  av_packet_free(&pkt_);
  swr_free(&swr_);
  avcodec_free_context(&dec_);
  avformat_close_input(&fmt_);
  av_channel_layout_uninit(&swrLayout_);
}

bool AvStream::open(const char *path, bool decode, std::string &why) {
  int r = avformat_open_input(&fmt_, path, nullptr, nullptr);
  if (r < 0) {
    why = avError(r);
    return false;
  }
  r = avformat_find_stream_info(fmt_, nullptr);
  if (r < 0) {
    why = avError(r);
    return false;
  }
  const AVCodec *codec = nullptr;
  index_ = av_find_best_stream(fmt_, AVMEDIA_TYPE_AUDIO, -1, -1, &codec, 0);
  if (index_ < 0 || !codec) {
    why = index_ == AVERROR_DECODER_NOT_FOUND ? "no decoder for its audio" : "no audio stream";
    index_ = -1;
    return false;
  }
  // Packets of the other streams (video, a second audio stream) are not even read.
  for (unsigned i = 0; i < fmt_->nb_streams; ++i)
    if (static_cast<int>(i) != index_)
      fmt_->streams[i]->discard = AVDISCARD_ALL;
  const AVStream *st = fmt_->streams[index_];
  const AVCodecParameters *par = st->codecpar;
  if (par->sample_rate <= 0 || par->ch_layout.nb_channels < 1) {
    why = "unsupported channel count or rate";
    return false;
  }
  origin_ = st->start_time != AV_NOPTS_VALUE ? st->start_time : 0;
  if (fmt_->duration_estimation_method != AVFMT_DURATION_FROM_BITRATE &&
      st->duration != AV_NOPTS_VALUE && st->duration > 0)
    end_ = origin_ + st->duration;
  pkt_ = av_packet_alloc();
  if (!pkt_) {
    why = "out of memory";
    return false;
  }
  if (par->codec_id == AV_CODEC_ID_VORBIS && isOgg())
    timeOggVorbis(path, decode);
  return !decode || openDecoder(codec, why);
}

// Vorbis's first packet only primes the decoder: the song starts with the samples of the
// second. FFmpeg's Ogg reader times the stream by counting back from the end of its first page
// of samples, the first packet included, so its start time lies one first packet early for a
// stream that starts late; and when that page is also the last (a song of a few seconds) it does
// not count back at all, so every time runs one first packet late against the page positions
// that say where the song ends, and the decoder's own trim at the end cuts that much too much.
void AvStream::timeOggVorbis(const char *path, bool decode) {
  int r;
  while ((r = av_read_frame(fmt_, pkt_)) >= 0 && pkt_->stream_index != index_)
    av_packet_unref(pkt_);
  if (r < 0)
    return;
  if (pkt_->pts != AV_NOPTS_VALUE && pkt_->duration > 0) {
    const int64_t firstSample = pkt_->pts + pkt_->duration;
    if (oggStart(path).audioOnOnePage) {
      if (end_ != AV_NOPTS_VALUE)
        end_ += firstSample - origin_;
      origin_ = firstSample;
    } else if (firstSample > origin_) {
      origin_ = firstSample;
    }
    // Without a known end the decoder's own trim is the better guess.
    manualTrim_ = end_ != AV_NOPTS_VALUE;
  }
  pending_ = decode;
  if (!decode)
    av_packet_unref(pkt_);
}

bool AvStream::openDecoder(const AVCodec *codec, std::string &why) {
  dec_ = avcodec_alloc_context3(codec);
  frame_ = av_frame_alloc();
  if (!dec_ || !frame_) {
    why = "out of memory";
    return false;
  }
  int r = avcodec_parameters_to_context(dec_, fmt_->streams[index_]->codecpar);
  if (r >= 0) {
    dec_->pkt_timebase = fmt_->streams[index_]->time_base;
    dec_->thread_count = 1;
    if (manualTrim_)
      dec_->flags2 |= AV_CODEC_FLAG2_SKIP_MANUAL; // the end comes from end_
    r = avcodec_open2(dec_, codec, nullptr);
  }
  if (r < 0) {
    why = avError(r);
    return false;
  }
  if (dec_->sample_rate <= 0) {
    why = "unsupported rate";
    return false;
  }
  return true;
}

Tags AvStream::tags() const {
  Tags t;
  const AVDictionary *dicts[2] = {fmt_->metadata,
                                  index_ >= 0 ? fmt_->streams[index_]->metadata : nullptr};
  auto pick = [&](std::initializer_list<const char *> keys) -> std::string {
    for (const AVDictionary *d : dicts)
      for (const char *key : keys)
        if (const char *v = dictValue(d, key))
          return tagText(v, std::strlen(v));
    return {};
  };
  t.title = pick({"title"});
  t.performer = pick({"artist", "album_artist", "performer"});
  t.album = pick({"album"});
  t.date = pick({"date", "year"});
  t.genre = pick({"genre"});
  t.comment = pick({"comment"});
  t.track = leadingNumber(pick({"track"}));
  t.year = leadingNumber(t.date);
  return t;
}

int AvStream::lengthMs() const {
  const AVStream *st = fmt_->streams[index_];
  int64_t ms = -1;
  if (end_ != AV_NOPTS_VALUE && end_ > origin_)
    ms = av_rescale_q(end_ - origin_, st->time_base, AVRational{1, 1000});
  else if (fmt_->duration != AV_NOPTS_VALUE && fmt_->duration > 0)
    ms = fmt_->duration / (AV_TIME_BASE / 1000);
  return ms >= 0 && ms < INT32_MAX ? static_cast<int>(ms) : -1;
}

bool AvStream::isOgg() const { return std::strcmp(fmt_->iformat->name, "ogg") == 0; }

int AvStream::bitrate() const {
  int64_t b = fmt_->streams[index_]->codecpar->bit_rate;
  if (b <= 0)
    b = fmt_->bit_rate;
  return b > 0 && b < INT32_MAX ? static_cast<int>(b) : -1;
}

int AvStream::rate() const {
  return dec_ ? dec_->sample_rate : fmt_->streams[index_]->codecpar->sample_rate;
}

int AvStream::outChannels() const {
  return fmt_->streams[index_]->codecpar->ch_layout.nb_channels > 1 ? 2 : 1;
}

bool AvStream::setupConverter(const AVFrame *frame) {
  if (swr_ && frame->sample_rate == swrRate_ && frame->format == swrFormat_ &&
      av_channel_layout_compare(&frame->ch_layout, &swrLayout_) == 0)
    return true;
  swr_free(&swr_);
  av_channel_layout_uninit(&swrLayout_);
  AVChannelLayout in{};
  // A stream that does not say where its channels go gets the usual order for their count.
  if (frame->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC)
    av_channel_layout_default(&in, frame->ch_layout.nb_channels);
  else if (av_channel_layout_copy(&in, &frame->ch_layout) < 0)
    return false;
  AVChannelLayout out{};
  av_channel_layout_default(&out, outChannels());
  // The output keeps the rate the song opened with; a later section at another rate is
  // resampled to it rather than reopening the output in the middle of a song.
  int r = swr_alloc_set_opts2(&swr_, &out, AV_SAMPLE_FMT_S16, dec_->sample_rate, &in,
                              static_cast<AVSampleFormat>(frame->format), frame->sample_rate, 0,
                              nullptr);
  if (r >= 0)
    r = swr_init(swr_);
  av_channel_layout_uninit(&out);
  if (r < 0) {
    av_channel_layout_uninit(&in);
    swr_free(&swr_);
    return false;
  }
  swrLayout_ = in;
  swrRate_ = frame->sample_rate;
  swrFormat_ = frame->format;
  return true;
}

int64_t AvStream::frameStart(const AVFrame *frame) const {
  int64_t ts = frame->best_effort_timestamp;
  if (ts == AV_NOPTS_VALUE)
    return kUntimed;
  return av_rescale_q(ts - origin_, fmt_->streams[index_]->time_base, AVRational{1, rate()});
}

int64_t AvStream::exactFrames() const {
  if (end_ == AV_NOPTS_VALUE)
    return -1;
  return av_rescale_q(end_ - origin_, fmt_->streams[index_]->time_base, AVRational{1, rate()});
}

AvStream::Read AvStream::next(std::vector<int16_t> &pcm, size_t &frames, int64_t &start,
                              std::string &why) {
  int failures = 0;
  for (;;) {
    int r = avcodec_receive_frame(dec_, frame_);
    if (r == 0) {
      if (frame_->nb_samples <= 0 || !setupConverter(frame_)) {
        av_frame_unref(frame_);
        if (++failures > kMaxFailuresInARow) {
          why = "undecodable audio";
          return Read::Failed;
        }
        continue;
      }
      int room = swr_get_out_samples(swr_, frame_->nb_samples);
      pcm.resize(static_cast<size_t>(room > 0 ? room : 0) * static_cast<size_t>(outChannels()));
      auto *out = reinterpret_cast<uint8_t *>(pcm.data());
      int got = swr_convert(swr_, &out, room, const_cast<const uint8_t **>(frame_->extended_data),
                            frame_->nb_samples);
      start = frameStart(frame_);
      av_frame_unref(frame_);
      if (got <= 0)
        continue;
      frames = static_cast<size_t>(got);
      return Read::Samples;
    }
    if (r == AVERROR_EOF)
      return Read::End;
    if (r != AVERROR(EAGAIN)) {
      ++damaged_;
      if (++failures > kMaxFailuresInARow) {
        why = avError(r);
        return Read::Failed;
      }
      continue;
    }
    if (draining_)
      return Read::End;
    r = pending_ ? 0 : av_read_frame(fmt_, pkt_);
    pending_ = false;
    if (r < 0) {
      // The end of the file, or a read that cannot go on (a cut file): what the decoder still
      // holds is played, then the song ends.
      draining_ = true;
      avcodec_send_packet(dec_, nullptr);
      continue;
    }
    if (pkt_->stream_index != index_) {
      av_packet_unref(pkt_);
      continue;
    }
    r = avcodec_send_packet(dec_, pkt_);
    av_packet_unref(pkt_);
    if (r < 0 && r != AVERROR(EAGAIN)) {
      ++damaged_;
      if (++failures > kMaxFailuresInARow) {
        why = avError(r);
        return Read::Failed;
      }
    }
  }
}

bool AvStream::seek(int64_t ms) {
  const AVStream *st = fmt_->streams[index_];
  const int64_t ts = av_rescale_q(ms, AVRational{1, 1000}, st->time_base) + origin_;
  int r = avformat_seek_file(fmt_, index_, INT64_MIN, ts, ts, 0);
  if (r < 0)
    r = av_seek_frame(fmt_, index_, ts, AVSEEK_FLAG_BACKWARD);
  if (r < 0)
    return false;
  if (pending_)
    av_packet_unref(pkt_);
  pending_ = false;
  avcodec_flush_buffers(dec_);
  swr_free(&swr_); // forget samples of the old place
  draining_ = false;
  return true;
}

} // namespace velora::input
