#include "playback.h"

#include <algorithm>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>

namespace velora::input {

namespace {

// A seek waits at most this long for the decode thread; the request stays pending and is taken
// later, but the engine's thread is not held hostage by a stuck decoder or output.
constexpr auto kSeekWait = std::chrono::milliseconds(5000);

} // namespace

Playback::~Playback() {
  // Unloading with a live thread would run freed code: end it first.
  playing_.store(0);
  poke();
  if (thread_.joinable())
    thread_.join();
}

void Playback::play(const char *file) {
  // A previous song that ended by itself still has a thread to collect.
  stop();
  if (!file)
    return;
  seekMs_.store(-1);
  paused_.store(0);
  playing_.store(1, std::memory_order_release);
  thread_ = std::thread(threadMain, this, std::string(file));
}

void Playback::stop() {
  playing_.store(0, std::memory_order_release);
  poke();
  if (thread_.joinable())
    thread_.join();
  seekMs_.store(-1);
}

void Playback::pause(short paused) {
  paused_.store(paused ? 1 : 0);
  if (running() && record_ && record_->output && record_->output->pause)
    record_->output->pause(paused);
  poke();
}

void Playback::seek(int seconds) {
  if (!running())
    return;
  int ms = seconds <= 0 ? 0 : (seconds > 2000000 ? 2000000000 : seconds * 1000);
  seekMs_.store(ms, std::memory_order_release);
  poke();
  std::unique_lock lock(wakeMutex_);
  wakeCv_.wait_for(lock, kSeekWait,
                   [this] { return !running() || seekMs_.load(std::memory_order_acquire) == -1; });
}

void Playback::poke() {
  {
    std::lock_guard lock(wakeMutex_);
    ++wakes_;
  }
  wakeCv_.notify_all();
}

unsigned Playback::wakeTicket() {
  std::lock_guard lock(wakeMutex_);
  return wakes_;
}

void Playback::nap(unsigned ticket, std::chrono::microseconds limit) {
  std::unique_lock lock(wakeMutex_);
  wakeCv_.wait_for(lock, limit, [&] { return wakes_ != ticket; });
}

int Playback::time() const {
  if (!running() || !record_ || !record_->output || !record_->output->output_time)
    return -1;
  return record_->output->output_time();
}

void Playback::seekDone(int requestedMs, int landedMs) {
  if (audioOpen_ && record_->output->flush)
    record_->output->flush(std::max(0, landedMs));
  filter_.reset();
  pacer_.restart();
  int expected = requestedMs;
  seekMs_.compare_exchange_strong(expected, -1, std::memory_order_acq_rel);
  poke();
}

bool Playback::openAudio(int rate, int channels, AFormat format) {
  OutputPlugin *out = record_ ? record_->output : nullptr;
  if (!out || !out->open_audio || !out->write_audio || !out->buffer_free) {
    diagnose("no audio output");
    return false;
  }
  if (audioOpen_) {
    if (rate == rate_ && channels == channels_ && format == format_)
      return true;
    if (out->close_audio)
      out->close_audio();
    audioOpen_ = false;
  }
  if (format != FMT_U8)
    format = FMT_S16_NE;
  if (!out->open_audio(format, rate, channels)) {
    diagnose("the audio output cannot play %d Hz with %d channel(s)", rate, channels);
    return false;
  }
  audioOpen_ = true;
  format_ = format;
  pacer_.start(rate, channels, format == FMT_U8 ? 1 : 2);
  rate_ = rate;
  channels_ = channels;
  eqSeen_ = 0; // configure the filter for this format at the next block
  return true;
}

void Playback::announce(char *title, int lengthMs, int bitrate, int rate, int channels) {
  if (title_ != title)
    std::free(title_);
  title_ = title;
  if (record_ && record_->set_info)
    record_->set_info(title_, lengthMs, bitrate, rate, channels);
}

bool Playback::write(int16_t *pcm, size_t frames) {
  if (!audioOpen_ || format_ != FMT_S16_NE)
    return false;
  if (eq_.fetch(eqSeen_, eqSettings_))
    filter_.configure(eqSettings_, rate_, channels_);
  filter_.process(pcm, frames);
  return writeOut(reinterpret_cast<char *>(pcm), frames * static_cast<size_t>(channels_) * 2);
}

bool Playback::writeU8(uint8_t *pcm, size_t frames) {
  if (!audioOpen_ || format_ != FMT_U8)
    return false;
  if (eq_.fetch(eqSeen_, eqSettings_))
    filter_.configure(eqSettings_, rate_, channels_);
  const size_t n = frames * static_cast<size_t>(channels_);
  if (filter_.active()) {
    wide_.resize(n);
    for (size_t i = 0; i < n; ++i)
      wide_[i] = static_cast<int16_t>((pcm[i] - 128) * 256);
    filter_.process(wide_.data(), frames);
    for (size_t i = 0; i < n; ++i)
      pcm[i] = static_cast<uint8_t>(std::min(255, (wide_[i] + 32768 + 128) >> 8));
  }
  return writeOut(reinterpret_cast<char *>(pcm), n);
}

bool Playback::writeOut(const char *bytes, size_t left) {
  OutputPlugin *out = record_->output;
  while (left > 0) {
    unsigned ticket = wakeTicket();
    if (!running() || takeSeek() != -1)
      return false;
    std::chrono::microseconds wait{};
    size_t chunk = pacer_.take(left, out->buffer_free(), false, paused_.load() != 0, wait);
    if (chunk == 0) {
      nap(ticket, wait);
      continue;
    }
    out->write_audio(const_cast<char *>(bytes), static_cast<int>(chunk));
    bytes += chunk;
    left -= chunk;
  }
  return true;
}

void Playback::diagnose(const char *format, ...) {
  if (diagnosed_)
    return;
  diagnosed_ = true;
  char text[1024];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  // One whole line in a single call, so lines of plug-ins playing in turn never interleave.
  std::printf("%s: %s\n", tag_, text);
  std::fflush(stdout);
}

void Playback::drain() {
  OutputPlugin *out = record_->output;
  pacer_.beginDrain(out);
  for (;;) {
    unsigned ticket = wakeTicket();
    std::chrono::microseconds wait{};
    if (!running() || !pacer_.draining(out, paused_.load() != 0, wait))
      break;
    nap(ticket, wait);
  }
}

void Playback::finish() {
  if (audioOpen_) {
    drain();
    if (record_->output->close_audio)
      record_->output->close_audio();
    audioOpen_ = false;
  }
  std::free(title_);
  title_ = nullptr;
  seekMs_.store(-1);
  playing_.store(0, std::memory_order_release);
  poke();
}

void Playback::threadMain(Playback *self, std::string file) {
  self->diagnosed_ = false;
  self->filter_.reset();
  self->eqSeen_ = 0;
  if (self->record_)
    self->body_(*self, file);
  else
    self->diagnose("%s: plug-in not bound to the engine", file.c_str());
  self->finish();
}

} // namespace velora::input
