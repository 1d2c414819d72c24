// The part every input plug-in of the engine shares: one decode thread per song, the stop flag
// and the seek hand-over between the engine's threads and that thread, pacing writes to the
// output's free room, the equalizer, the final drain, and the one diagnostic line a failed
// song gets.
//
// A plug-in supplies only the body of its decode thread. The body opens its decoder, calls
// openAudio() and announce(), then loops: takeSeek() / seekDone() for a pending seek, write()
// for each block of PCM, until the stream ends, running() turns false or an error is
// diagnosed. After the body returns, the thread drains and closes the output it opened and
// marks the song ended, so get_time answers -1 from then on.
#pragma once

#include "equalizer.h"
#include "pacing.h"

#include <xmms/plugin.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace velora::input {

class Playback {
public:
  using Body = void (*)(Playback &playback, const std::string &file);

  // tag starts every diagnostic line, e.g. "MP3".
  Playback(const char *tag, Body body) : tag_(tag), body_(body) {}
  ~Playback();
  Playback(const Playback &) = delete;
  Playback &operator=(const Playback &) = delete;

  // The plug-in record whose engine slots (output, set_info) the thread uses.
  void bind(InputPlugin *record) { record_ = record; }

  // --- The engine's side ---
  void play(const char *file);
  void stop();
  void pause(short paused);
  // Seconds from the start; returns once the decode thread has taken the request, or the song
  // has ended.
  void seek(int seconds);
  int time() const;
  void setEq(int on, float preamp, float *bands) { eq_.set(on, preamp, bands); }

  // --- The decode thread's side ---
  bool running() const { return playing_.load(std::memory_order_acquire) != 0; }
  // A pending seek in milliseconds, or -1.
  int takeSeek() const { return seekMs_.load(std::memory_order_acquire); }
  // Reports where the seek of `requestedMs` landed: restarts the output clock there and
  // releases the waiting seek().
  void seekDone(int requestedMs, int landedMs);
  // Opens the output for signed 16-bit native-endian PCM (or FMT_U8: unsigned 8-bit samples,
  // written with writeU8); diagnoses and returns false when it cannot be opened.
  bool openAudio(int rate, int channels, AFormat format = FMT_S16_NE);
  // Hands title, length (ms, -1 unknown), bit rate (bits/s), rate (Hz) and channels to the
  // engine. The title (malloc'd) stays owned by the thread until the song ends.
  void announce(char *title, int lengthMs, int bitrate, int rate, int channels);
  // Equalizes and writes interleaved frames as the output makes room. False when a stop or a
  // seek interrupted it; the rest of the block is then dropped.
  bool write(int16_t *pcm, size_t frames);
  // The same for an output opened for FMT_U8: the samples reach it as they are unless the
  // equalizer has something to do.
  bool writeU8(uint8_t *pcm, size_t frames);
  // One line on standard output, the first only: a song that fails gets one diagnostic.
  void diagnose(const char *format, ...) __attribute__((format(printf, 2, 3)));
  bool diagnosed() const { return diagnosed_; }
  const char *tag() const { return tag_; }

private:
  static void threadMain(Playback *self, std::string file);
  // Writes whole frames as the output makes room; false when a stop or a seek interrupted it.
  bool writeOut(const char *bytes, size_t left);
  void drain();
  void finish();
  // Wakes whoever waits in nap() or seek(): called after every change of playing_, seekMs_ or
  // paused_, so neither side has to poll for the other.
  void poke();
  // nap() returns early once poke() has been called since wakeTicket() gave `ticket`: taking
  // the ticket before looking at the flags means no poke is missed in between.
  unsigned wakeTicket();
  void nap(unsigned ticket, std::chrono::microseconds limit);

  const char *tag_;
  Body body_;
  InputPlugin *record_ = nullptr;
  std::thread thread_;
  std::atomic<int> playing_{0};
  std::atomic<int> seekMs_{-1};
  std::atomic<int> paused_{0};
  std::mutex wakeMutex_;
  std::condition_variable wakeCv_;
  unsigned wakes_ = 0; // under wakeMutex_: counts poke() calls
  EqControl eq_;

  // Decode thread only.
  EqFilter filter_;
  unsigned eqSeen_ = 0;
  EqSettings eqSettings_;
  bool audioOpen_ = false;
  int rate_ = 0;
  int channels_ = 0;
  AFormat format_ = FMT_S16_NE;
  std::vector<int16_t> wide_; // 8-bit samples widened for the equalizer
  Pacer pacer_;
  char *title_ = nullptr;
  bool diagnosed_ = false;
};

} // namespace velora::input
