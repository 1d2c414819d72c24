// The remote channel's side of the engine: each request is decoded, checked for length and
// answered from the wanted state under the mutex, never waiting on an input plug-in.
#include "engine.h"

#include <protocol.h>

#include <algorithm>

using xmms::proto::Command;
using xmms::proto::Reader;
using xmms::proto::Writer;

namespace engine {

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
  case Command::SetSpeed:
    if (!in.getFloat(f))
      return bad();
    break;
  case Command::SetReplayGainMode:
    if (!in.getInt(a))
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
    // Stopped while the end of a song is still heard: that song is the one stopped on.
    if (int tail = hearingTail(lk); tail >= 0)
      setPosition(tail);
    playing_ = false;
    paused_ = false;
    endedByItself_ = false;
    finishing_ = false;
    naturalTail_ = false;
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
        songEnded(!activeHeard());
      break;
    }
    [[fallthrough]];
  case Command::PlaylistPrev: {
    bool next = static_cast<Command>(code) == Command::PlaylistNext;
    // While the end of a song that ended by itself is still heard, the listener moves from
    // that song: next is the one after it, from its beginning (even if it began behind it).
    if (int tail = hearingTail(lk); tail >= 0)
      setPosition(tail);
    int to = next ? stepForward(settings_.repeat) : stepBack();
    if (to >= 0)
      moveTo(to);
    break;
  }
  case Command::GetPlaylistPos: {
    int ms;
    out = intReply(heardEntry(lk, ms));
    break;
  }
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
  case Command::GetOutputTime: {
    int ms;
    heardEntry(lk, ms);
    out = intReply(ms);
    break;
  }
  case Command::JumpToTime:
    if (playing_) {
      // A seek in the end of the last song, still heard: that song plays again from there.
      if (int tail = hearingTail(lk); tail >= 0)
        startAt(tail);
      pendingSeekMs_ = std::max(0, static_cast<int>(a));
      resumeSeek_ = false;
      outputTime_ = pendingSeekMs_ / 1000 * 1000;
      wake();
    }
    break;
  case Command::GetStatus: {
    // The time first: reading it may let go of the lock, and the rest should be of that moment.
    int ms;
    int pos = heardEntry(lk, ms);
    out.putInt(playing_ ? 1 : 0);
    out.putInt(playing_ && paused_ ? 1 : 0);
    out.putInt(pos);
    out.putInt(ms);
    int rate = rate_, freq = freq_, nch = nch_;
    lk.unlock();
    out.putInt(pos >= 0 && pos < n ? info_.lengthMs(pos) : 0);
    out.putInt(rate);
    out.putInt(freq);
    out.putInt(nch);
    break;
  }
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
  case Command::GetSpeed:
    out = floatReply(settings_.playbackSpeed);
    break;
  case Command::SetSpeed: {
    float speed = normalizeSpeed(f);
    if (speed != settings_.playbackSpeed) {
      settings_.playbackSpeed = speed;
      effectsDirty_ = saveDirty_ = true;
      wake();
    }
    break;
  }
  case Command::GetReplayGainMode:
    out = intReply(static_cast<int>(settings_.replayGainMode));
    break;
  case Command::GetUnplayable:
    out.putInt(unplayable_);
    out.putString(unplayable_ > 0 ? lastUnplayable_.c_str() : nullptr);
    break;
  case Command::GetOutputLost: {
    stage::OutputStage::Loss loss = host_.stage().lostOutput();
    out.putInt(loss.count);
    out.putString(loss.count > 0 ? loss.reason.c_str() : nullptr);
    break;
  }
  case Command::SetReplayGainMode:
    if (a >= static_cast<int>(ReplayGainMode::Off) && a <= static_cast<int>(ReplayGainMode::Auto) &&
        static_cast<ReplayGainMode>(a) != settings_.replayGainMode) {
      settings_.replayGainMode = static_cast<ReplayGainMode>(a);
      effectsDirty_ = saveDirty_ = true;
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

} // namespace engine
