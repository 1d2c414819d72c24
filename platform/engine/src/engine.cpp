// The wanted state: where the playlist stands and where it goes next. The remote channel
// (requests.cpp) changes it, the player thread (player.cpp) follows it.
#include "engine.h"
#include "playlist.h"

#include <algorithm>
#include <cstdio>
#include <numeric>
#include <utility>

namespace engine {

Engine::Engine(Settings settings, std::vector<std::string> playlist)
    : playlist_(std::move(playlist)), host_(this), info_(playlist_, host_),
      settings_(std::move(settings)), rng_(std::random_device{}()) {
  position_ = resumePosition(playlist_, settings_.playlistPosition, settings_.playlistPositionFile);
  // The time within the song holds only for the very file it was saved with.
  if (position_ >= 0 && position_ < static_cast<int>(playlist_.size()) &&
      playlist_[position_] == settings_.playlistPositionFile && settings_.playlistPositionTime > 0)
    resumeMs_ = settings_.playlistPositionTime;
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
  installEffects();
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
  settings_.playlistPositionTime = 0;
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
  bool resume = resumeMs_ > 0 && pos == position_;
  setPosition(pos);
  playing_ = true;
  paused_ = false;
  pendingSeekMs_ = -1;
  outputTime_ = 0;
  // The first play after start picks up where the listener left off, a second early so the
  // word cut off at quit is heard again.
  resumeSeek_ = resume;
  if (resume) {
    pendingSeekMs_ = std::max(0, resumeMs_ - 1000);
    outputTime_ = pendingSeekMs_ / 1000 * 1000;
  }
  resumeMs_ = -1;
  endedByItself_ = false;
  finishing_ = false;
  naturalTail_ = false;
  ++serial_;
  wake();
}

void Engine::songEnded(bool failed) {
  failures_ = failed ? failures_ + 1 : 0;
  if (failed && position_ >= 0 && position_ < static_cast<int>(playlist_.size())) {
    // Kept for the front-ends: a song skipped without a word looks like a player fault.
    ++unplayable_;
    lastUnplayable_ = playlist_[position_];
  }
  int n = static_cast<int>(playlist_.size());
  // After a whole pass of entries that could not be played, repeat or not, stop and say so once
  // rather than run through the playlist for ever.
  int next = failures_ >= n ? -1 : stepForward(settings_.repeat);
  if (failures_ >= n)
    std::fprintf(stderr, "xmms: no entry of the playlist could be played; stopping\n");
  naturalTail_ = naturalTail_ || !failed;
  if (next < 0) {
    // The engine stops once the end of this song has been heard (the player sees to that).
    finishing_ = true;
    paused_ = false;
    endedByItself_ = true;
    failures_ = 0;
    wake();
    return;
  }
  setPosition(next);
  paused_ = false;
  outputTime_ = 0;
  endedByItself_ = true;
  ++serial_;
  wake();
}

Settings Engine::snapshotSettings() { return settings_; }

} // namespace engine
