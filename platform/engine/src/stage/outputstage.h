// The engine's output stage: the OutputPlugin record every input plug-in writes to, standing in
// front of the real output plug-in. One object with one lock; the record's C entry points
// forward to it.
//
// What it does for every input, once:
//  - converts the input's samples for the effects (float) and back to the device's format, and
//    applies the software volume; with no effect active and full volume the bytes go through
//    untouched;
//  - runs the effects (see effect.h) in the order they were added;
//  - reports song time: output_time() is the moment of the song the listener hears, whatever
//    the effects do to the count of samples (speed) or how long they hold them (latency);
//  - keeps the real output open across songs of one format (gapless joins, see songEnded());
//  - falls back to the null output when the chosen one cannot be opened or stops taking audio.
#pragma once

#include "effect.h"
#include "timeline.h"

#include <xmms/plugin.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace engine::stage {

// What the stage tells the engine.
class StageEvents {
public:
  virtual ~StageEvents() = default;
  // An input closed the output, or the output has just played the last of what it held: the
  // song is ending. Called without the stage's lock held.
  virtual void onOutputIdle() = 0;
};

// A real output plug-in and what the engine found beside it in its library.
struct Device {
  OutputPlugin *op = nullptr;
  std::string name;                         // file name, e.g. "libalsaout.so"
  const char *(*lastError)(void) = nullptr; // velora_output_error, optional
  void (*sessionEnded)(void) = nullptr;     // velora_output_session_end, optional
  int (*joinsSongs)(void) = nullptr;        // velora_output_joins_songs, optional
};

class OutputStage {
public:
  explicit OutputStage(StageEvents *events);
  ~OutputStage();
  OutputStage(const OutputStage &) = delete;
  OutputStage &operator=(const OutputStage &) = delete;

  // The record handed to input plug-ins. Only one stage can own the record's entry points.
  OutputPlugin *record();

  // The chosen output and the null output (either may be missing).
  void setDevices(Device chosen, Device null);

  // Effects run in the order added. Not while a stream is open.
  void addEffect(std::unique_ptr<Effect> effect);
  // Runs `change` under the stage's lock: the way to change an effect's parameters from another
  // thread.
  void adjust(const std::function<void()> &change);

  // ---- the record's operations (input plug-ins) ----
  int open(AFormat fmt, int rate, int channels);
  void write(const void *data, int bytes);
  void close();
  void flush(int songMs);
  void pause(bool paused);
  int bufferFree();
  int bufferPlaying();
  int outputTime();
  int writtenTime();
  void getVolume(int *left, int *right);
  void setVolume(int left, int right);

  // ---- the engine's side ----
  // An input has the output open (a song is being written).
  bool isOpen() const;
  // Bytes the input plug-ins have written since the engine started.
  uint64_t bytesWritten() const { return bytesIn_.load(); }
  // The engine starts `file` next (`tag`: its playlist entry, told back by heard()); effects
  // learn it before its first sample.
  void songStarting(const std::string &file, int tag = -1);
  // The song ended by itself: what it wrote keeps playing, and a next song of the same format
  // continues on the same open output without a gap.
  void songEnded();
  // Which song the listener hears and where in it (ms): `back` songs before the one the engine
  // plays now (0: that one; 1: the last that ended by itself, still heard while the next one
  // decodes behind it; more when short songs ended within the output's buffer).
  struct Heard {
    int back = 0;
    int tag = -1; // as given to songStarting
    int ms = 0;
  };
  Heard heard();
  // Stop, next, quit: what the output holds is dropped and it is closed.
  void stop();
  // After the last song ended by itself: whether its end is still being heard (paused counts).
  // The first call lets the effects give out what they still hold.
  bool tailPlaying();
  // The engine has stopped (playlist over, stop or quit): the output is closed, and outputs
  // that record a whole session finish it.
  void endSession();
  // The chosen output given up for the null output because it stopped taking audio (a
  // headset unplugged): how often since the engine started, and what was said the last time.
  // Answers at once, whatever the stage is doing.
  struct Loss {
    int count = 0;
    std::string reason;
  };
  Loss lostOutput() const;

private:
  enum class State { Closed, Open, Lingering };

  bool openDevice(AFormat fmt, int rate, int channels);                                // lock held
  void closeDevice();                                                                  // lock held
  void resetClock(double songMs);                                                      // lock held
  bool processing() const;                                                             // lock held
  std::optional<double> foldedGain() const;                                            // lock held
  double playedFrames();                                                               // lock held
  void watchProgress(int room);                                                        // lock held
  void recoverLostDevice();                                                            // lock held
  void drainEffects(std::vector<float> &out);                                          // lock held
  void writeFloat(const std::vector<float> &samples);                                  // lock held
  void writeDevice(const void *data, size_t bytes, size_t frames, double songMsAfter); // held
  void playOut(std::unique_lock<std::mutex> &lk); // waits, lock released meanwhile

  StageEvents *events_;
  mutable std::mutex m_;
  Device chosen_, null_;
  OutputPlugin *device_ = nullptr; // the one in use (chosen or null), valid while not Closed
  State state_ = State::Closed;
  AFormat fmt_ = FMT_S16_NE;
  StreamFormat format_;
  int frameBytes_ = 0;
  bool paused_ = false;
  bool joins_ = true; // the open device lets songs follow each other on it
  int volume_ = 100;
  bool sessionActive_ = false;
  bool warnedOpen_ = false;
  std::vector<std::unique_ptr<Effect>> effects_;

  // Counting since the device was opened or flushed.
  Timeline timeline_;
  std::deque<Timeline> earlier_; // songs before the joins whose ends may still be heard
  int nextTag_ = -1;             // the song the next open starts
  bool tailDrained_ = false;     // the effects gave out what they held for the last song
  int64_t deviceFrames_ = 0;     // frames handed to the device
  int64_t songFrames_ = 0;       // input frames taken since the current song (or seek) began
  double songBaseMs_ = 0.0;      // song time of the first of those

  // Lost device.
  std::chrono::steady_clock::time_point lastProgress_{};
  int lastDeviceMs_ = -1;
  bool reopened_ = false;    // the chosen output was opened again since the song's open
  bool saidLost_ = false;    // said so in this session
  bool lost_ = false;        // the chosen output was given up until the engine stops
  mutable std::mutex lossM_; // guards loss_ only; taken after m_ when both are
  Loss loss_;

  std::atomic<uint64_t> bytesIn_{0};
  OutputPlugin record_{};
};

} // namespace engine::stage
