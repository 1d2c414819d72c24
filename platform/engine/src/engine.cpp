#include "engine.h"
#include "playlist.h"
#include "watchdog.h"

#include <protocol.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <numeric>
#include <utility>

using xmms::proto::Command;
using xmms::proto::Reader;
using xmms::proto::Writer;

namespace engine {

Engine::Engine(Settings settings, std::vector<std::string> playlist)
    : playlist_(std::move(playlist)), host_(this), info_(playlist_, host_),
      settings_(std::move(settings)), rng_(std::random_device{}()) {
  position_ = resumePosition(playlist_, settings_.playlistPosition, settings_.playlistPositionFile);
  setPosition(position_);
  saveDirty_ = false; // nothing changed yet
  rebuildShuffle(position_);
}

Engine::~Engine() {
  if (player_.joinable())
    player_.detach();
}

void Engine::loadPlugins(const std::string &inputDir, const std::string &outputDir) {
  host_.loadInputs(inputDir, settings_.disabledInputs);
  host_.loadOutputs(outputDir, settings_.outputPlugin);
}

void Engine::start() {
  info_.start();
  player_ = std::thread([this] { playerLoop(); });
}

// ---- wanted state (mutex_ held) ----

void Engine::wake() {
  wake_ = true;
  cv_.notify_all();
}

void Engine::setPosition(int pos) {
  position_ = pos;
  settings_.playlistPosition = pos;
  settings_.playlistPositionFile =
      pos >= 0 && pos < static_cast<int>(playlist_.size()) ? playlist_[pos] : std::string();
  saveDirty_ = true;
}

void Engine::rebuildShuffle(int first) {
  shuffleOrder_.resize(playlist_.size());
  std::iota(shuffleOrder_.begin(), shuffleOrder_.end(), 0);
  std::shuffle(shuffleOrder_.begin(), shuffleOrder_.end(), rng_);
  auto it = std::find(shuffleOrder_.begin(), shuffleOrder_.end(), first);
  if (it != shuffleOrder_.end())
    std::iter_swap(shuffleOrder_.begin(), it);
}

int Engine::stepForward(bool wrap) {
  int n = static_cast<int>(playlist_.size());
  if (n == 0)
    return -1;
  if (!settings_.shuffle)
    return position_ + 1 < n ? position_ + 1 : (wrap ? 0 : -1);
  auto it = std::find(shuffleOrder_.begin(), shuffleOrder_.end(), position_);
  if (it != shuffleOrder_.end() && it + 1 != shuffleOrder_.end())
    return *(it + 1);
  if (!wrap)
    return -1;
  // A new round: every entry once more, not starting with the one just heard when avoidable.
  int last = position_;
  rebuildShuffle(-1);
  if (n > 1 && shuffleOrder_.front() == last)
    std::iter_swap(shuffleOrder_.begin(), shuffleOrder_.end() - 1);
  return shuffleOrder_.front();
}

int Engine::stepBack() {
  int n = static_cast<int>(playlist_.size());
  if (n == 0)
    return -1;
  if (!settings_.shuffle)
    return position_ > 0 ? position_ - 1 : (settings_.repeat ? n - 1 : -1);
  auto it = std::find(shuffleOrder_.begin(), shuffleOrder_.end(), position_);
  if (it != shuffleOrder_.end() && it != shuffleOrder_.begin())
    return *(it - 1);
  return settings_.repeat ? shuffleOrder_.back() : -1;
}

// A new position chosen by the user: while playing it starts at once, otherwise it only becomes
// the entry the next play starts from.
void Engine::moveTo(int pos) {
  if (playing_) {
    failures_ = 0;
    startAt(pos);
  } else {
    setPosition(pos);
    wake();
  }
}

void Engine::startAt(int pos) {
  if (pos < 0 || pos >= static_cast<int>(playlist_.size()))
    return;
  setPosition(pos);
  playing_ = true;
  paused_ = false;
  pendingSeekMs_ = -1;
  outputTime_ = 0;
  ++serial_;
  wake();
}

void Engine::songEnded(bool failed) {
  failures_ = failed ? failures_ + 1 : 0;
  int n = static_cast<int>(playlist_.size());
  int next = failures_ >= n ? -1 : stepForward(settings_.repeat);
  if (failures_ >= n)
    std::fprintf(stderr, "xmms: no entry of the playlist could be played; stopping\n");
  if (next < 0) {
    playing_ = false;
    paused_ = false;
    outputTime_ = 0;
    failures_ = 0;
    wake();
    return;
  }
  setPosition(next);
  paused_ = false;
  outputTime_ = 0;
  ++serial_;
  wake();
}

Settings Engine::snapshotSettings() { return settings_; }

// ---- remote channel ----

namespace {
Writer intReply(int v) {
  Writer w;
  w.putInt(v);
  return w;
}
Writer floatReply(float v) {
  Writer w;
  w.putFloat(v);
  return w;
}
} // namespace

Reply Engine::handle(uint16_t code, const std::vector<uint8_t> &payload, bool fromSelf) {
  Reader in(payload.data(), payload.size());
  Reply reply;
  int32_t a = 0;
  float f = 0;
  Writer out;
  auto bad = [] {
    Reply r;
    r.wellFormed = false;
    return r;
  };
  // Arguments are read first; anything missing or left over is a malformed request.
  switch (static_cast<Command>(code)) {
  case Command::SetPlaylistPos:
  case Command::GetPlaylistFile:
  case Command::GetPlaylistTitle:
  case Command::GetPlaylistTime:
  case Command::JumpToTime:
  case Command::SetMainVolume:
  case Command::GetEqBand:
    if (!in.getInt(a))
      return bad();
    break;
  case Command::SetEqPreamp:
    if (!in.getFloat(f))
      return bad();
    break;
  case Command::SetEqBand:
    if (!in.getInt(a) || !in.getFloat(f))
      return bad();
    break;
  default:
    break;
  }
  float eq[11] = {};
  if (static_cast<Command>(code) == Command::SetEq)
    for (float &v : eq)
      if (!in.getFloat(v))
        return bad();
  if (!in.atEnd())
    return bad();

  int n = static_cast<int>(playlist_.size());
  std::unique_lock<std::mutex> lk(mutex_);
  switch (static_cast<Command>(code)) {
  case Command::GetVersion:
    out = intReply(xmms::proto::kEngineVersion);
    break;
  case Command::Quit:
    quit_ = true;
    break;
  case Command::Play:
    if (playing_ && paused_) {
      paused_ = false;
      wake();
    } else if (n > 0) {
      failures_ = 0;
      if (settings_.shuffle)
        rebuildShuffle(position_);
      startAt(position_);
    }
    break;
  case Command::Pause:
    if (playing_) {
      paused_ = !paused_;
      wake();
    }
    break;
  case Command::Stop:
    playing_ = false;
    paused_ = false;
    outputTime_ = 0;
    wake();
    break;
  case Command::PlayPause:
    if (playing_) {
      paused_ = !paused_;
      wake();
    } else if (n > 0) {
      failures_ = 0;
      if (settings_.shuffle)
        rebuildShuffle(position_);
      startAt(position_);
    }
    break;
  case Command::IsPlaying:
    out = intReply(playing_ ? 1 : 0);
    break;
  case Command::IsPaused:
    out = intReply(playing_ && paused_ ? 1 : 0);
    break;
  case Command::PlaylistNext:
    if (fromSelf) {
      // An input plug-in that learns of the end by itself (an external player that exited)
      // asks for the next entry: that is the end of its song, but only of the current one.
      if (playing_ && activeSerial_ == serial_)
        songEnded(false);
      break;
    }
    [[fallthrough]];
  case Command::PlaylistPrev: {
    bool next = static_cast<Command>(code) == Command::PlaylistNext;
    int to = next ? stepForward(settings_.repeat) : stepBack();
    if (to >= 0)
      moveTo(to);
    break;
  }
  case Command::GetPlaylistPos:
    out = intReply(position_);
    break;
  case Command::SetPlaylistPos:
    if (a >= 0 && a < n) {
      if (settings_.shuffle)
        rebuildShuffle(a);
      moveTo(a);
    }
    break;
  case Command::GetPlaylistLength:
    out = intReply(n);
    break;
  case Command::GetPlaylistFile:
    out.putString(a >= 0 && a < n ? playlist_[a].c_str() : nullptr);
    break;
  case Command::GetPlaylistTitle:
    if (a >= 0 && a < n) {
      lk.unlock();
      out.putString(info_.title(a).c_str());
    } else {
      out.putString(nullptr);
    }
    break;
  case Command::GetPlaylistTime:
    lk.unlock();
    out = intReply(a >= 0 && a < n ? info_.lengthMs(a) : 0);
    break;
  case Command::GetOutputTime:
    out = intReply(playing_ ? outputTime_ : 0);
    break;
  case Command::JumpToTime:
    if (playing_) {
      pendingSeekMs_ = std::max(0, static_cast<int>(a));
      outputTime_ = pendingSeekMs_ / 1000 * 1000;
      wake();
    }
    break;
  case Command::GetInfo:
    out.putInt(rate_);
    out.putInt(freq_);
    out.putInt(nch_);
    break;
  case Command::GetMainVolume:
    out = intReply(volume_);
    break;
  case Command::SetMainVolume:
    volume_ = std::clamp(static_cast<int>(a), 0, 100);
    volumeDirty_ = true;
    wake();
    break;
  case Command::ToggleRepeat:
    settings_.repeat = !settings_.repeat;
    saveDirty_ = true;
    wake();
    break;
  case Command::ToggleShuffle:
    settings_.shuffle = !settings_.shuffle;
    if (settings_.shuffle)
      rebuildShuffle(position_);
    saveDirty_ = true;
    wake();
    break;
  case Command::IsRepeat:
    out = intReply(settings_.repeat);
    break;
  case Command::IsShuffle:
    out = intReply(settings_.shuffle);
    break;
  case Command::IsEqActive:
    out = intReply(settings_.eqActive);
    break;
  case Command::ToggleEqActive:
    settings_.eqActive = !settings_.eqActive;
    eqDirty_ = saveDirty_ = true;
    wake();
    break;
  case Command::GetEq:
    out.putFloat(settings_.eqPreamp);
    for (float v : settings_.eqBands)
      out.putFloat(v);
    break;
  case Command::GetEqPreamp:
    out = floatReply(settings_.eqPreamp);
    break;
  case Command::GetEqBand:
    out = floatReply(a >= 0 && a < 10 ? settings_.eqBands[a] : 0.0f);
    break;
  case Command::SetEq:
    settings_.eqPreamp = clampEq(eq[0]);
    for (int i = 0; i < 10; ++i)
      settings_.eqBands[i] = clampEq(eq[i + 1]);
    eqDirty_ = saveDirty_ = true;
    wake();
    break;
  case Command::SetEqPreamp:
    settings_.eqPreamp = clampEq(f);
    eqDirty_ = saveDirty_ = true;
    wake();
    break;
  case Command::SetEqBand:
    if (a >= 0 && a < 10) {
      settings_.eqBands[a] = clampEq(f);
      eqDirty_ = saveDirty_ = true;
      wake();
    }
    break;
  default:
    reply.status = static_cast<uint16_t>(xmms::proto::Status::Refused);
    return reply;
  }
  reply.payload = out.bytes();
  return reply;
}

// ---- engine-side plug-in slot ----

void Engine::onSetInfo(const char *title, int lengthMs, int rate, int freq, int nch) {
  int pos;
  {
    std::lock_guard<std::mutex> lk(mutex_);
    rate_ = rate;
    freq_ = freq;
    nch_ = nch;
    pos = activePos_;
  }
  activeProduced_ = true;
  info_.announce(pos, title, lengthMs);
}

// ---- player thread ----

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

void Engine::startEntry(int pos, uint64_t serial) {
  {
    std::lock_guard<std::mutex> lk(mutex_);
    activeSerial_ = serial;
    activePos_ = pos;
  }
  activeProduced_ = false;
  const std::string &file = playlist_[pos];
  InputEntry *e = host_.inputFor(file);
  if (!e) {
    std::fprintf(stderr, "xmms: no input plug-in plays %s\n", file.c_str());
    std::lock_guard<std::mutex> lk(mutex_);
    if (serial_ == serial && playing_)
      songEnded(true);
    return;
  }
  applyEq(e);
  active_ = e;
  activePaused_ = false;
  // The plug-in may keep the name while it plays; the playlist never changes, so it stays valid.
  e->ip->play_file(const_cast<char *>(file.c_str()));
}

void Engine::stopCurrent() {
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
  } else {
    // A plug-in that ended by itself may have left the output open.
    host_.closeOutputIfOpen();
  }
}

void Engine::playerLoop() {
  using namespace std::chrono_literals;
  std::unique_lock<std::mutex> lk(mutex_);
  for (;;) {
    if (active_)
      cv_.wait_for(lk, 50ms, [this] { return wake_; });
    else
      cv_.wait(lk, [this] { return wake_; });
    wake_ = false;
    if (quitting_)
      break;
    bool wantPlay = playing_, wantPause = paused_;
    uint64_t serial = serial_;
    int pos = position_;
    int seekMs = std::exchange(pendingSeekMs_, -1);
    bool eq = std::exchange(eqDirty_, false);
    bool volume = std::exchange(volumeDirty_, false);
    int volumeValue = volume_;
    bool save = std::exchange(saveDirty_, false);
    Settings toSave = save ? settings_ : Settings();
    uint64_t activeSerial = activeSerial_;
    lk.unlock();

    if (volume)
      host_.setVolume(volumeValue);
    if (active_ && (!wantPlay || activeSerial != serial))
      stopCurrent();
    if (wantPlay && !active_ && activeSerial != serial)
      startEntry(pos, serial);
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
      if (t > 0)
        activeProduced_ = true;
      if (t < 0) {
        stopCurrent();
        lk.lock();
        if (playing_ && serial_ == serial)
          songEnded(!activeProduced_);
        lk.unlock();
      } else {
        lk.lock();
        if (serial_ == serial && pendingSeekMs_ < 0)
          outputTime_ = t;
        lk.unlock();
      }
    }
    if (save)
      saveSettings(toSave);
    lk.lock();
    if (!active_ && playing_ && serial_ != activeSerial_)
      wake_ = true; // start the next song at once
  }
  lk.unlock();
  stopCurrent();
  lk.lock();
  playerFinished_ = true;
}

bool Engine::shutdown() {
  {
    std::lock_guard<std::mutex> lk(mutex_);
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
