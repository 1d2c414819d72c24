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
// While draining, an output whose clock stands still this long (and is not paused) is taken as
// done, so a faulty output cannot keep a finished song alive for ever.
constexpr int kDrainStallMs = 2000;
// Once the output is full, the thread waits until about this much of it has been played before
// it writes again: a few wake-ups a second instead of one per decoded block. The output keeps
// the rest of its buffer, so what is heard does not change.
constexpr int kRefillMs = 100;
// Longest nap while the output plays; a paused one is woken by pause() itself.
constexpr auto kPlayingNap = std::chrono::milliseconds(200);
constexpr auto kPausedNap = std::chrono::milliseconds(1000);

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

std::chrono::microseconds Playback::timeToPlay(size_t bytes, std::chrono::microseconds cap) const {
  const int64_t perSecond = int64_t(rate_) * channels_ * 2;
  if (perSecond <= 0)
    return cap;
  auto us = std::chrono::microseconds(int64_t(bytes) * 1000000 / perSecond);
  return std::clamp<std::chrono::microseconds>(us, std::chrono::milliseconds(1), cap);
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
  int expected = requestedMs;
  seekMs_.compare_exchange_strong(expected, -1, std::memory_order_acq_rel);
  poke();
}

bool Playback::openAudio(int rate, int channels) {
  OutputPlugin *out = record_ ? record_->output : nullptr;
  if (!out || !out->open_audio || !out->write_audio || !out->buffer_free) {
    diagnose("no audio output");
    return false;
  }
  if (audioOpen_) {
    if (rate == rate_ && channels == channels_)
      return true;
    if (out->close_audio)
      out->close_audio();
    audioOpen_ = false;
  }
  if (!out->open_audio(FMT_S16_NE, rate, channels)) {
    diagnose("the audio output cannot play %d Hz with %d channel(s)", rate, channels);
    return false;
  }
  audioOpen_ = true;
  roomSeen_ = 0;
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
  if (!audioOpen_)
    return false;
  if (eq_.fetch(eqSeen_, eqSettings_))
    filter_.configure(eqSettings_, rate_, channels_);
  filter_.process(pcm, frames);

  OutputPlugin *out = record_->output;
  const size_t frameBytes = static_cast<size_t>(channels_) * 2;
  auto *bytes = reinterpret_cast<char *>(pcm);
  size_t left = frames * frameBytes;
  const size_t refill = static_cast<size_t>(rate_) * kRefillMs / 1000 * frameBytes;
  while (left > 0) {
    unsigned ticket = wakeTicket();
    if (!running() || takeSeek() != -1)
      return false;
    int room = out->buffer_free();
    // Whole frames that fit: an output whose buffer is smaller than a decoder block still gets
    // everything, piece by piece.
    size_t fit = room > 0 ? static_cast<size_t>(room) / frameBytes * frameBytes : 0;
    roomSeen_ = std::max(roomSeen_, fit);
    // Once the output was found full, wait for a good share of it to have played.
    size_t wanted =
        refilling_ ? std::max(frameBytes, std::min(refill, roomSeen_ / 2 / frameBytes * frameBytes))
                   : frameBytes;
    if (fit < wanted) {
      refilling_ = true;
      nap(ticket, paused_.load() ? kPausedNap : timeToPlay(wanted - fit, kPlayingNap));
      continue;
    }
    refilling_ = false;
    size_t chunk = std::min(left, fit);
    out->write_audio(bytes, static_cast<int>(chunk));
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
  if (!out->buffer_playing)
    return;
  using Clock = std::chrono::steady_clock;
  int lastTime = out->output_time ? out->output_time() : 0;
  auto lastMove = Clock::now();
  for (;;) {
    unsigned ticket = wakeTicket();
    if (!running() || !out->buffer_playing())
      break;
    // Sleep about as long as what is left takes to play; a stop or a resume wakes it sooner.
    int leftMs = out->written_time && out->output_time
                     ? std::max(0, out->written_time() - out->output_time())
                     : 0;
    nap(ticket, paused_.load() ? std::chrono::microseconds(kPausedNap)
                               : std::clamp<std::chrono::microseconds>(
                                     std::chrono::milliseconds(leftMs),
                                     std::chrono::milliseconds(5), kPlayingNap));
    int now = out->output_time ? out->output_time() : lastTime;
    if (now != lastTime || paused_.load()) {
      lastTime = now;
      lastMove = Clock::now();
    } else if (Clock::now() - lastMove > std::chrono::milliseconds(kDrainStallMs)) {
      break;
    }
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
