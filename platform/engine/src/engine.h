// The engine's state and its player. Two threads meet here: the remote channel's thread reads
// and changes the wanted state (always quickly, under one mutex), and the player thread makes
// the input plug-ins follow it, looks at them for the end of a song and moves through the
// playlist. The mutex is never held across a plug-in call, so a slow or stuck plug-in never
// delays an answer on the remote channel.
//
// The end of a song is mostly an event: plug-ins close the output (or let it run empty) just
// before they report -1, and that wakes the player. While the song plays on the output's own
// clock, the player only looks once a second to be safe and time requests read that clock
// directly; a plug-in with a clock of its own, or no output, is looked at every 50 ms.
#pragma once

#include "pluginhost.h"
#include "replaygain.h"
#include "settings.h"
#include "songinfo.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace engine {

namespace stage {
class ReplayGainEffect;
class SpeedEffect;
} // namespace stage

struct Reply {
  bool wellFormed = true; // false: close the connection without an answer
  uint16_t status = 0;
  std::vector<uint8_t> payload;
};

class Engine : public PluginEvents {
public:
  Engine(Settings settings, std::vector<std::string> playlist);
  ~Engine() override;

  void loadPlugins(const std::string &inputDir, const std::string &outputDir);
  void start();
  // fromSelf: the request came from inside this process (an input plug-in's thread).
  Reply handle(uint16_t code, const std::vector<uint8_t> &payload, bool fromSelf);
  bool quitRequested() const { return quit_; }
  void requestQuit() { quit_ = true; }
  // Stops playback, ends the threads, calls the plug-ins' cleanup and saves. False when some
  // plug-in call never returned (the caller should then leave without running destructors).
  bool shutdown();

  // How long a plug-in's stop may take before the engine carries on without it.
  static constexpr int kStopTimeoutMs = 3000;

  void onSetInfo(const char *title, int lengthMs, int rate, int freq, int nch) override;
  void onOutputIdle() override;

private:
  // Everything below up to the player's own fields is guarded by mutex_.
  void startAt(int pos);       // play pos from its beginning
  void moveTo(int pos);        // startAt while playing, else only select
  void songEnded(bool failed); // natural end (or failure) of the wanted song
  int stepForward(bool wrap);  // next position by shuffle/repeat rules, -1 for none
  int stepBack();
  void rebuildShuffle(int first);
  void setPosition(int pos);
  void wake();
  Settings snapshotSettings();
  // Where the listener is in the song, in ms (0 when stopped). Reads the output's clock when
  // the playing song runs on it; lk (on mutex_) is released around that read.
  int listenerTime(std::unique_lock<std::mutex> &lk);
  // The entry the listener hears and where in it (ms). After a song ended by itself its last
  // moments still play while the next one decodes: until the join is heard, they are what is
  // shown. lk is released around the look at the output.
  int heardEntry(std::unique_lock<std::mutex> &lk, int &ms);
  // The entry whose end is still being heard after the engine moved on, or -1.
  int hearingTail(std::unique_lock<std::mutex> &lk);

  // Effects (effects.cpp): put into the stage once, their settings handed over when changed,
  // and each song's gain tags read (once) before it starts. Player thread, apart from install.
  void installEffects();
  void applyEffectSettings();
  void prepareReplayGain(int pos);
  const ReplayGainInfo &gainTags(int pos);
  void readAheadGainTags(int pos); // the entry after pos and its neighbour

  void playerLoop();
  // Plays entry pos with the first input plug-in that claims it, or with `input` when given.
  void startEntry(int pos, uint64_t serial, InputEntry *input = nullptr);
  // The active song ended before a sample of it was heard: its plug-in could not play the file.
  // Starts the next plug-in that claims the file; false when there is none.
  bool tryNextInput(InputEntry *failed, int pos, uint64_t serial);
  // endedByItself: the song ended (not a stop or a move): what it wrote is played out.
  void stopCurrent(bool endedByItself);
  void applyEq(InputEntry *e);
  // While the last song's end plays: follows pause, and ends playing once it has been heard.
  // Whether the engine still plays.
  bool finishTail(bool wantPause, uint64_t serial);
  // Whether the song the player started was heard at all: audio reached the output or its
  // clock moved. A song that ends without either could not be played.
  bool activeHeard() const;

  const std::vector<std::string> playlist_;
  PluginHost host_;
  SongInfo info_;

  std::mutex mutex_;
  std::condition_variable cv_;
  bool wake_ = false;
  Settings settings_;
  bool playing_ = false;
  bool paused_ = false;
  int position_ = 0;
  uint64_t serial_ = 0;        // bumped whenever the wanted song (re)starts
  bool endedByItself_ = false; // the last bump of serial_ was the song's own end
  bool finishing_ = false;     // the last song ended by itself: playing until its end is heard
  bool naturalTail_ = false;   // songs ended by themselves since the last start or stop: their
                               // ends may still be heard
  int pendingSeekMs_ = -1;
  bool eqDirty_ = false;
  bool volumeDirty_ = false;
  bool effectsDirty_ = false; // speed or ReplayGain settings changed
  bool saveDirty_ = false;
  int volume_ = 100;
  int outputTime_ = 0;
  bool clockIsOutput_ = false; // the active song's time is the output's clock (last look)
  bool seekInFlight_ = false;  // the player has taken a seek and not yet looked after it
  std::chrono::steady_clock::time_point quickLooksUntil_{}; // after an output-idle event
  int rate_ = 0, freq_ = 0, nch_ = 0;
  int failures_ = 0;   // songs in a row that ended without producing anything
  int unplayable_ = 0; // songs that could not be played since start (remote GetUnplayable)
  std::string lastUnplayable_;
  int resumeMs_ = -1;       // where the first play after start resumes the saved song
  bool resumeSeek_ = false; // the pending seek is that resume, not the listener's
  std::vector<int> shuffleOrder_;
  std::mt19937 rng_;
  bool quitting_ = false;
  bool playerFinished_ = false;
  uint64_t activeSerial_ = ~0ull; // the song the player has started (mirrored for the channel)
  int activePos_ = -1;

  // Player thread only.
  stage::ReplayGainEffect *replayGain_ = nullptr;       // owned by the stage
  stage::SpeedEffect *speed_ = nullptr;                 // owned by the stage
  std::vector<std::optional<ReplayGainInfo>> gainTags_; // by playlist entry, read once
  InputEntry *active_ = nullptr;
  bool activePaused_ = false;
  bool tailPaused_ = false; // the stage was paused while the last song's end played
  std::atomic<bool> activeProduced_{false};
  std::atomic<bool> activeClockMoved_{false};
  std::atomic<uint64_t> writtenAtStart_{0};

  std::atomic<bool> quit_{false};
  std::thread player_;
};

} // namespace engine
