// The player thread: makes the input plug-ins follow the wanted state, notices the end of a song
// and hands the playlist on.
#include "engine.h"
#include "watchdog.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <utility>

namespace engine {

namespace {
using namespace std::chrono_literals;
// How often the playing song is looked at: ...without a better signal (no output of its own, or
// a clock that is not the output's);
constexpr auto kLook = 50ms;
// ...right after the output was closed or ran empty, until the plug-in reports the end (it does
// so within a few ms of closing);
constexpr auto kQuickLook = 5ms;
constexpr auto kQuickLooksFor = 250ms;
// ...and otherwise, in case a plug-in ends without a word to its output.
constexpr auto kSafetyLook = 1000ms;
// A plug-in's time within this of the output's clock is that clock.
constexpr int kClockSlackMs = 20;
} // namespace

// ---- engine-side plug-in slots ----

void Engine::onSetInfo(const char *title, int lengthMs, int rate, int freq, int nch) {
  int pos;
  {
    std::lock_guard<std::mutex> lk(mutex_);
    rate_ = rate;
    freq_ = freq;
    nch_ = nch;
    pos = activePos_;
    if (pendingSeekMs_ >= 0)
      wake(); // a seek kept until the song announced itself can be taken now
  }
  activeProduced_ = true;
  info_.announce(pos, title, lengthMs);
}

void Engine::onOutputIdle() {
  std::lock_guard<std::mutex> lk(mutex_);
  quickLooksUntil_ = std::chrono::steady_clock::now() + kQuickLooksFor;
  wake();
}

// ---- player thread ----

bool Engine::activeHeard() const {
  return activeClockMoved_ || host_.stage().bytesWritten() > writtenAtStart_;
}

void Engine::applyEq(InputEntry *e) {
  if (!e || !e->ip->set_eq)
    return;
  float bands[10];
  int on;
  float preamp;
  {
    std::lock_guard<std::mutex> lk(mutex_);
    on = settings_.eqActive;
    preamp = settings_.eqPreamp;
    std::copy(settings_.eqBands.begin(), settings_.eqBands.end(), bands);
  }
  e->ip->set_eq(on, preamp, bands);
}

void Engine::startEntry(int pos, uint64_t serial, InputEntry *input) {
  {
    std::lock_guard<std::mutex> lk(mutex_);
    activeSerial_ = serial;
    activePos_ = pos;
    clockIsOutput_ = false;
  }
  activeProduced_ = false;
  activeClockMoved_ = false;
  writtenAtStart_ = host_.stage().bytesWritten();
  const std::string &file = playlist_[pos];
  InputEntry *e = input ? input : host_.inputFor(file);
  if (!e) {
    std::fprintf(stderr, "xmms: no input plug-in plays %s\n", file.c_str());
    std::lock_guard<std::mutex> lk(mutex_);
    if (serial_ == serial && playing_)
      songEnded(true);
    return;
  }
  {
    // An external player's own seek is relative to where it reports being and may be refused
    // by the stream; a resumed song of that plug-in starts from 0.
    std::lock_guard<std::mutex> lk(mutex_);
    if (resumeSeek_ && serial_ == serial && (e->capabilities & VELORA_INPUT_RELATIVE_SEEK)) {
      pendingSeekMs_ = -1;
      outputTime_ = 0;
    }
    resumeSeek_ = false;
  }
  applyEq(e);
  active_ = e;
  activePaused_ = false;
  prepareReplayGain(pos);
  host_.stage().songStarting(file, pos);
  // The plug-in may keep the name while it plays; the playlist never changes, so it stays valid.
  e->ip->play_file(const_cast<char *>(file.c_str()));
  // The next song's tags are read now, while this one plays, not at the join.
  readAheadGainTags(pos);
}

bool Engine::tryNextInput(InputEntry *failed, int pos, uint64_t serial) {
  const std::string &file = playlist_[pos];
  InputEntry *next = host_.inputFor(file, failed);
  if (!next)
    return false;
  // A plug-in that claims files by name (an .m4a that holds Apple Lossless, not AAC) may not
  // play what is inside; one that looks at the content may.
  std::fprintf(stderr, "xmms: %s could not play %s; trying %s\n", failed->name.c_str(),
               file.c_str(), next->name.c_str());
  startEntry(pos, serial, next);
  return true;
}

void Engine::stopCurrent(bool endedByItself) {
  InputEntry *e = active_;
  if (!e)
    return;
  active_ = nullptr;
  bool returned = true;
  if (e->ip->stop) {
    InputPlugin *ip = e->ip;
    returned = runWithTimeout([ip] { ip->stop(); }, kStopTimeoutMs);
  }
  if (!returned) {
    e->wedged = true;
    std::fprintf(stderr,
                 "xmms: input plug-in %s did not stop within %d ms; carrying on without it\n",
                 e->name.c_str(), kStopTimeoutMs);
  } else if (endedByItself) {
    // What it wrote is still to be heard, and the next song may continue it without a gap.
    host_.stage().songEnded();
  } else {
    host_.stage().stop();
  }
  // The output-idle events of that stop are about a song already handled.
  std::lock_guard<std::mutex> lk(mutex_);
  quickLooksUntil_ = {};
  clockIsOutput_ = false;
}

void Engine::playerLoop() {
  std::unique_lock<std::mutex> lk(mutex_);
  for (;;) {
    if (active_) {
      auto look = kLook;
      if (std::chrono::steady_clock::now() < quickLooksUntil_)
        look = kQuickLook;
      else if (clockIsOutput_ && pendingSeekMs_ < 0 && host_.stage().isOpen())
        look = kSafetyLook;
      cv_.wait_for(lk, look, [this] { return wake_; });
    } else if (finishing_) {
      cv_.wait_for(lk, kLook, [this] { return wake_; });
    } else {
      cv_.wait(lk, [this] { return wake_; });
    }
    wake_ = false;
    if (quitting_)
      break;
    bool wantPlay = playing_, wantPause = paused_;
    uint64_t serial = serial_;
    int pos = position_;
    int seekMs = std::exchange(pendingSeekMs_, -1);
    seekInFlight_ = seekMs >= 0;
    bool eq = std::exchange(eqDirty_, false);
    bool volume = std::exchange(volumeDirty_, false);
    bool effects = std::exchange(effectsDirty_, false);
    int volumeValue = volume_;
    bool save = std::exchange(saveDirty_, false);
    bool endedByItself = std::exchange(endedByItself_, false);
    bool finishing = finishing_;
    Settings toSave = save ? settings_ : Settings();
    uint64_t activeSerial = activeSerial_;
    lk.unlock();

    if (volume)
      host_.stage().setVolume(volumeValue, volumeValue);
    if (effects)
      applyEffectSettings();
    // finishing: the active song said it has ended (the last of the playlist).
    if (active_ && (!wantPlay || activeSerial != serial || finishing))
      stopCurrent(endedByItself || finishing);
    if (finishing && !active_ && !finishTail(wantPause, serial))
      wantPlay = false;
    if (!wantPlay && !active_)
      host_.stage().endSession();
    if (wantPlay && !active_ && activeSerial != serial) {
      // Only a song that follows one that ended by itself continues its output.
      if (!endedByItself)
        host_.stage().stop();
      startEntry(pos, serial);
    }
    if (InputEntry *e = active_) {
      if (wantPause != activePaused_) {
        if (e->ip->pause)
          e->ip->pause(wantPause);
        activePaused_ = wantPause;
      }
      if (seekMs >= 0 && !activeProduced_) {
        // A decode thread that has not started yet may drop the request (a tap on the position
        // bar right after play): keep it until the song has announced itself.
        lk.lock();
        if (serial_ == serial && pendingSeekMs_ < 0)
          pendingSeekMs_ = seekMs;
        lk.unlock();
      } else if (seekMs >= 0 && e->ip->seek) {
        e->ip->seek(seekMs / 1000);
      }
      if (eq)
        applyEq(e);
      int t = e->ip->get_time ? e->ip->get_time() : 0;
      int clock = t > 0 && host_.stage().isOpen() ? host_.stage().outputTime() : 0;
      if (t > 0)
        activeProduced_ = activeClockMoved_ = true;
      if (t < 0) {
        const bool heard = activeHeard();
        stopCurrent(true);
        lk.lock();
        const bool same = playing_ && serial_ == serial;
        lk.unlock();
        if (heard || !same || !tryNextInput(e, pos, serial)) {
          lk.lock();
          if (playing_ && serial_ == serial)
            songEnded(!activeHeard());
          lk.unlock();
        }
      } else {
        lk.lock();
        // Between closing its output and reporting the end, a plug-in may answer the closed
        // output's 0: the listener is still at the end of the song.
        if (serial_ == serial && pendingSeekMs_ < 0 && (t > 0 || host_.stage().isOpen())) {
          outputTime_ = t;
          clockIsOutput_ = clock > 0 && std::abs(clock - t) <= kClockSlackMs;
        }
        lk.unlock();
      }
    }
    if (save)
      saveSettings(toSave);
    lk.lock();
    seekInFlight_ = false;
    if (!active_ && playing_ && serial_ != activeSerial_)
      wake_ = true; // start the next song at once
  }
  lk.unlock();
  stopCurrent(false);
  host_.stage().endSession();
  lk.lock();
  playerFinished_ = true;
}

int Engine::listenerTime(std::unique_lock<std::mutex> &lk) {
  if (!playing_)
    return 0;
  auto settled = [this](uint64_t serial) {
    return playing_ && clockIsOutput_ && !seekInFlight_ && pendingSeekMs_ < 0 &&
           serial_ == serial && activeSerial_ == serial;
  };
  uint64_t serial = serial_;
  if (!settled(serial))
    return outputTime_;
  lk.unlock();
  int t = host_.stage().outputTime();
  lk.lock();
  // A closed output answers 0, and the song may have changed meanwhile: then the last look holds.
  if (t > 0 && settled(serial))
    outputTime_ = t;
  return playing_ ? outputTime_ : 0;
}

bool Engine::finishTail(bool wantPause, uint64_t serial) {
  if (wantPause != tailPaused_) {
    host_.stage().pause(wantPause);
    tailPaused_ = wantPause;
  }
  if (host_.stage().tailPlaying())
    return true;
  tailPaused_ = false;
  std::lock_guard<std::mutex> lk(mutex_);
  if (!finishing_ || serial_ != serial)
    return playing_;
  finishing_ = false;
  naturalTail_ = false;
  playing_ = false;
  paused_ = false;
  outputTime_ = 0;
  return false;
}

int Engine::hearingTail(std::unique_lock<std::mutex> &lk) {
  if (!playing_ || !naturalTail_)
    return -1;
  lk.unlock();
  stage::OutputStage::Heard h = host_.stage().heard();
  lk.lock();
  int n = static_cast<int>(playlist_.size());
  return playing_ && h.back > 0 && h.tag >= 0 && h.tag < n ? h.tag : -1;
}

int Engine::heardEntry(std::unique_lock<std::mutex> &lk, int &ms) {
  if (playing_ && naturalTail_) {
    lk.unlock();
    stage::OutputStage::Heard h = host_.stage().heard();
    lk.lock();
    int n = static_cast<int>(playlist_.size());
    if (playing_ && naturalTail_ && h.back > 0 && h.tag >= 0 && h.tag < n) {
      ms = h.ms;
      return h.tag;
    }
  }
  ms = listenerTime(lk);
  return position_;
}

bool Engine::shutdown() {
  {
    std::unique_lock<std::mutex> lk(mutex_);
    // Where the listener was, for the next start to resume; a stopped engine resumes nothing.
    settings_.playlistPositionTime = playing_ ? listenerTime(lk) : std::max(0, resumeMs_);
    quitting_ = true;
    playing_ = false;
    wake();
  }
  bool clean = joinWithTimeout(
      player_,
      [this] {
        std::lock_guard<std::mutex> lk(mutex_);
        return playerFinished_;
      },
      kStopTimeoutMs + 2000);
  if (!clean)
    std::fprintf(stderr, "xmms: the player did not stop; leaving anyway\n");
  // A title lookup still running does not stop the cleanup; a player stuck inside a plug-in
  // does, as cleanup would run beside it.
  if (clean)
    host_.cleanup(2000);
  clean = info_.stop(2000) && clean;
  for (auto &e : host_.inputs())
    if (e->wedged)
      clean = false;
  Settings s;
  {
    std::lock_guard<std::mutex> lk(mutex_);
    s = settings_;
  }
  saveSettings(s);
  return clean;
}

} // namespace engine
