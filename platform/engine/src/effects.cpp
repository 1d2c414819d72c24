// The engine's effects in its output stage: ReplayGain and the playback speed. The settings
// live in the engine's state (changed by the remote channel); the player thread hands them to
// the stage, and reads each song's gain tags before the song starts.
#include "engine.h"
#include "stage/replaygaineffect.h"
#include "stage/speedeffect.h"

namespace engine {

void Engine::installEffects() {
  auto gain = std::make_unique<stage::ReplayGainEffect>();
  auto speed = std::make_unique<stage::SpeedEffect>();
  replayGain_ = gain.get();
  speed_ = speed.get();
  // Gain first: the stretcher then holds samples already at their song's level, so a gain
  // change at a join never reaches the previous song's last frames.
  host_.stage().addEffect(std::move(gain));
  host_.stage().addEffect(std::move(speed));
  applyEffectSettings();
}

void Engine::applyEffectSettings() {
  Settings s;
  {
    std::lock_guard<std::mutex> lk(mutex_);
    s = settings_;
  }
  host_.stage().adjust([&] {
    replayGain_->setSettings(s.replayGainMode, s.replayGainPreampDb, s.replayGainClip);
    speed_->setSpeed(s.playbackSpeed);
  });
}

const ReplayGainInfo &Engine::gainTags(int pos) {
  if (gainTags_.size() != playlist_.size())
    gainTags_.assign(playlist_.size(), std::nullopt);
  auto &slot = gainTags_[static_cast<size_t>(pos)];
  if (!slot)
    slot = readReplayGain(playlist_[static_cast<size_t>(pos)]);
  return *slot;
}

void Engine::prepareReplayGain(int pos) {
  const std::string &file = playlist_[static_cast<size_t>(pos)];
  ReplayGainInfo info = gainTags(pos);
  // "auto" takes album gain while the songs around this one are of its album: the playlist
  // then plays that album (or a part of it) in a row.
  bool albumRun = false;
  if (info.any() && !info.album.empty()) {
    int n = static_cast<int>(playlist_.size());
    for (int other : {pos - 1, pos + 1})
      if (other >= 0 && other < n && gainTags(other).album == info.album)
        albumRun = true;
  }
  host_.stage().adjust([&] { replayGain_->prepare(file, info, albumRun); });
}

void Engine::readAheadGainTags(int pos) {
  for (int ahead : {pos + 1, pos + 2})
    if (ahead < static_cast<int>(playlist_.size()))
      gainTags(ahead);
}

} // namespace engine
