#include "avstream.h"

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
  return s.open(path, false, why);
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
  const AVCodecParameters *par = fmt_->streams[index_]->codecpar;
  if (par->sample_rate <= 0 || par->ch_layout.nb_channels < 1) {
    why = "unsupported channel count or rate";
    return false;
  }
  if (!decode)
    return true;
  dec_ = avcodec_alloc_context3(codec);
  pkt_ = av_packet_alloc();
  frame_ = av_frame_alloc();
  if (!dec_ || !pkt_ || !frame_) {
    why = "out of memory";
    return false;
  }
  r = avcodec_parameters_to_context(dec_, par);
  if (r >= 0) {
    dec_->pkt_timebase = fmt_->streams[index_]->time_base;
    dec_->thread_count = 1;
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
  if (st->duration != AV_NOPTS_VALUE && st->duration > 0)
    ms = av_rescale_q(st->duration, st->time_base, AVRational{1, 1000});
  else if (fmt_->duration != AV_NOPTS_VALUE && fmt_->duration > 0)
    ms = fmt_->duration / (AV_TIME_BASE / 1000);
  return ms >= 0 && ms < INT32_MAX ? static_cast<int>(ms) : -1;
}

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
    return -1;
  const AVStream *st = fmt_->streams[index_];
  if (st->start_time != AV_NOPTS_VALUE)
    ts -= st->start_time;
  return av_rescale_q(ts, st->time_base, AVRational{1, rate()});
}

int64_t AvStream::exactFrames() const {
  const AVStream *st = fmt_->streams[index_];
  if (fmt_->duration_estimation_method == AVFMT_DURATION_FROM_BITRATE ||
      st->duration == AV_NOPTS_VALUE || st->duration <= 0)
    return -1;
  return av_rescale_q(st->duration, st->time_base, AVRational{1, rate()});
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
    r = av_read_frame(fmt_, pkt_);
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
  int64_t ts = av_rescale_q(ms, AVRational{1, 1000}, st->time_base);
  if (st->start_time != AV_NOPTS_VALUE)
    ts += st->start_time;
  int r = avformat_seek_file(fmt_, index_, INT64_MIN, ts, ts, 0);
  if (r < 0)
    r = av_seek_frame(fmt_, index_, ts, AVSEEK_FLAG_BACKWARD);
  if (r < 0)
    return false;
  avcodec_flush_buffers(dec_);
  swr_free(&swr_); // forget samples of the old place
  draining_ = false;
  return true;
}

} // namespace velora::input
