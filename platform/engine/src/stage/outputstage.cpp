#include "outputstage.h"
#include "samples.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <thread>
#include <utility>

namespace engine::stage {

namespace {

using Clock = std::chrono::steady_clock;

// An open output that takes nothing and whose clock stands still this long while not paused has
// lost its device (a headset unplugged: ALSA's recovery fails and it never has room again).
constexpr auto kStallLimit = std::chrono::milliseconds(3000);
// What a song that ended by itself left in the output is waited for at most this long beyond its
// own length before another format is opened, in case the output's clock never gets there.
constexpr auto kPlayOutSlack = std::chrono::milliseconds(2000);
// Songs short enough to end within the output's buffer: how many are remembered at most.
constexpr size_t kEarlierSongs = 16;

// The input plug-ins call plain C function pointers: they reach the one stage through here.
OutputStage *g_stage = nullptr;

int recOpen(AFormat fmt, int rate, int nch) { return g_stage->open(fmt, rate, nch); }
void recWrite(void *ptr, int length) { g_stage->write(ptr, length); }
void recClose() { g_stage->close(); }
void recFlush(int time) { g_stage->flush(time); }
void recPause(short paused) { g_stage->pause(paused != 0); }
int recBufferFree() { return g_stage->bufferFree(); }
int recBufferPlaying() { return g_stage->bufferPlaying(); }
int recOutputTime() { return g_stage->outputTime(); }
int recWrittenTime() { return g_stage->writtenTime(); }
void recGetVolume(int *l, int *r) { g_stage->getVolume(l, r); }
void recSetVolume(int l, int r) { g_stage->setVolume(l, r); }

} // namespace

OutputStage::OutputStage(StageEvents *events) : events_(events) {
  g_stage = this;
  record_.description = const_cast<char *>("xmms engine output");
  record_.get_volume = recGetVolume;
  record_.set_volume = recSetVolume;
  record_.open_audio = recOpen;
  record_.write_audio = recWrite;
  record_.close_audio = recClose;
  record_.flush = recFlush;
  record_.pause = recPause;
  record_.buffer_free = recBufferFree;
  record_.buffer_playing = recBufferPlaying;
  record_.output_time = recOutputTime;
  record_.written_time = recWrittenTime;
}

// Plug-in threads left behind by a call that never returned may still hold the record: it stays
// pointing at this stage, which lives as long as the engine.
OutputStage::~OutputStage() = default;

OutputPlugin *OutputStage::record() { return &record_; }

void OutputStage::setDevices(Device chosen, Device null) {
  std::lock_guard lk(m_);
  chosen_ = std::move(chosen);
  null_ = std::move(null);
}

void OutputStage::addEffect(std::unique_ptr<Effect> effect) {
  std::lock_guard lk(m_);
  if (state_ != State::Closed)
    effect->configure(format_);
  effects_.push_back(std::move(effect));
}

void OutputStage::adjust(const std::function<void()> &change) {
  std::lock_guard lk(m_);
  change();
}

// ---- device handling (lock held) ----

bool OutputStage::openDevice(AFormat fmt, int rate, int channels) {
  device_ = nullptr;
  reopened_ = false;
  if (OutputPlugin *o = lost_ ? nullptr : chosen_.op) {
    // The stage applies the volume; the device plays what it is given.
    if (o->set_volume)
      o->set_volume(100, 100);
    if (o->open_audio(fmt, rate, channels)) {
      device_ = o;
      warnedOpen_ = false;
    }
  }
  if (!device_ && null_.op && null_.op != chosen_.op) {
    if (!warnedOpen_ && chosen_.op && !lost_) {
      const char *why = chosen_.lastError ? chosen_.lastError() : nullptr;
      std::fprintf(stderr,
                   "xmms: cannot open the audio output %s%s%s; playing to the null output\n",
                   chosen_.name.c_str(), why && *why ? ": " : "", why ? why : "");
      warnedOpen_ = true;
    }
    if (null_.op->set_volume)
      null_.op->set_volume(100, 100);
    if (null_.op->open_audio(fmt, rate, channels))
      device_ = null_.op;
  }
  if (!device_)
    return false;
  const Device &used = device_ == chosen_.op ? chosen_ : null_;
  joins_ = !used.joinsSongs || used.joinsSongs() != 0;
  fmt_ = fmt;
  format_ = {rate, channels};
  frameBytes_ = bytesPerSample(fmt) * channels;
  state_ = State::Open;
  tailDrained_ = false;
  sessionActive_ = true;
  for (auto &e : effects_) {
    e->configure(format_);
    e->flush();
  }
  resetClock(0.0);
  timeline_.setTag(nextTag_);
  songFrames_ = 0;
  songBaseMs_ = 0.0;
  if (paused_)
    device_->pause(1);
  return true;
}

void OutputStage::closeDevice() {
  earlier_.clear();
  if (device_ && state_ != State::Closed)
    device_->close_audio();
  device_ = nullptr;
  state_ = State::Closed;
}

// The device's clock starts again at 0 (opened or flushed): song time `songMs` comes next.
void OutputStage::resetClock(double songMs) {
  earlier_.clear();
  deviceFrames_ = 0;
  timeline_.restart(0, songMs);
  lastProgress_ = Clock::now();
  lastDeviceMs_ = -1;
}

bool OutputStage::processing() const {
  if (volume_ < 100)
    return true;
  return std::any_of(effects_.begin(), effects_.end(), [](auto &e) { return e->active(); });
}

// The active effects are all plain gains: their product with the volume, applied in one step.
std::optional<double> OutputStage::foldedGain() const {
  double gain = double(volume_) / 100.0;
  for (auto &e : effects_) {
    if (!e->active())
      continue;
    std::optional<double> g = e->plainGain();
    if (!g)
      return std::nullopt;
    gain *= *g;
  }
  return gain;
}

double OutputStage::playedFrames() {
  if (!device_ || format_.rate <= 0)
    return 0.0;
  return double(std::max(0, device_->output_time())) * format_.rate / 1000.0;
}

void OutputStage::watchProgress(int room) {
  if (!device_ || device_ != chosen_.op || device_ == null_.op || paused_ || state_ != State::Open)
    return;
  auto now = Clock::now();
  int ms = device_->output_time();
  if (room > 0 || ms != lastDeviceMs_) {
    lastDeviceMs_ = ms;
    lastProgress_ = now;
    return;
  }
  if (now - lastProgress_ > kStallLimit)
    recoverLostDevice();
}

void OutputStage::recoverLostDevice() {
  if (!saidLost_)
    std::fprintf(stderr, "xmms: the audio output %s stopped taking audio; opening it again\n",
                 chosen_.name.c_str());
  saidLost_ = true;
  // What the dead device held is gone: the next write carries on from what was written last.
  double resumeMs = timeline_.writtenSongMs();
  device_->close_audio();
  device_ = nullptr;
  OutputPlugin *next = nullptr;
  if (!reopened_ && chosen_.op->open_audio(fmt_, format_.rate, format_.channels)) {
    next = chosen_.op;
    reopened_ = true;
  } else {
    // Until the engine stops, songs go on on the null output rather than lose seconds each.
    lost_ = true;
    const char *why = chosen_.lastError ? chosen_.lastError() : nullptr;
    std::string reason = chosen_.name + " stopped taking audio";
    if (why && *why)
      reason += std::string(": ") + why;
    std::fprintf(stderr, "xmms: the audio output %s is lost; playing to the null output%s%s\n",
                 chosen_.name.c_str(), why && *why ? ": " : "", why ? why : "");
    {
      std::lock_guard report(lossM_);
      ++loss_.count;
      loss_.reason = std::move(reason);
    }
    if (null_.op && null_.op->open_audio(fmt_, format_.rate, format_.channels))
      next = null_.op;
  }
  // With no device at all the stage takes and drops audio, so the songs still end.
  device_ = next;
  if (device_ && paused_)
    device_->pause(1);
  resetClock(resumeMs);
}

void OutputStage::drainEffects(std::vector<float> &out) {
  out.clear();
  for (auto &e : effects_) {
    if (!out.empty()) {
      std::vector<float> in;
      in.swap(out);
      e->process(in.data(), in.size() / size_t(format_.channels), out);
    }
    e->drain(out);
  }
}

void OutputStage::writeFloat(const std::vector<float> &samples) {
  if (samples.empty() || !device_)
    return;
  std::vector<int16_t> s16;
  std::vector<uint8_t> bytes;
  floatToS16(samples.data(), samples.size(), float(volume_) / 100.0f, s16);
  fromS16(fmt_, s16.data(), s16.size(), bytes);
  size_t frames = samples.size() / size_t(format_.channels);
  deviceFrames_ += int64_t(frames);
  timeline_.wrote(deviceFrames_, timeline_.writtenSongMs());
  device_->write_audio(bytes.data(), int(bytes.size()));
}

void OutputStage::playOut(std::unique_lock<std::mutex> &lk) {
  auto limit =
      Clock::now() + kPlayOutSlack +
      std::chrono::milliseconds(format_.rate > 0 ? deviceFrames_ * 1000 / format_.rate : 0);
  OutputPlugin *dev = device_;
  while (dev && device_ == dev && state_ == State::Lingering && !paused_ && Clock::now() < limit &&
         dev->buffer_playing()) {
    lk.unlock();
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    lk.lock();
  }
}

// ---- the record's operations ----

int OutputStage::open(AFormat fmt, int rate, int channels) {
  if (fmt < FMT_U8 || fmt > FMT_S16_NE || rate < 1 || channels < 1)
    return 0;
  std::unique_lock lk(m_);
  if (state_ == State::Lingering && device_ && fmt == fmt_ && rate == format_.rate &&
      channels == format_.channels) {
    // A gapless join: the next song continues the stream where the last one's samples end.
    state_ = State::Open;
    tailDrained_ = false;
    songFrames_ = 0;
    songBaseMs_ = 0.0;
    earlier_.push_back(timeline_);
    if (earlier_.size() > kEarlierSongs)
      earlier_.pop_front();
    timeline_.restart(deviceFrames_, 0.0);
    timeline_.setTag(nextTag_);
    lastProgress_ = Clock::now();
    return 1;
  }
  if (state_ == State::Lingering && !paused_) {
    // Another format: the last song is heard to its end before the output is opened anew.
    // Paused, its end is dropped as a stop would: a paused device holds a write (and with it
    // this lock) until it is resumed, and the resume needs the lock.
    std::vector<float> rest;
    drainEffects(rest);
    writeFloat(rest);
    playOut(lk);
  }
  closeDevice();
  return openDevice(fmt, rate, channels) ? 1 : 0;
}

void OutputStage::write(const void *data, int bytes) {
  std::unique_lock lk(m_);
  if (state_ != State::Open || !data || bytes <= 0 || frameBytes_ <= 0)
    return;
  bytesIn_ += uint64_t(bytes);
  size_t frames = size_t(bytes) / size_t(frameBytes_);
  if (frames == 0)
    return;
  songFrames_ += int64_t(frames);
  thread_local std::vector<int16_t> s16;
  thread_local std::vector<float> in, out;
  thread_local std::vector<uint8_t> converted;
  const void *toDevice = data;
  size_t deviceBytes = frames * size_t(frameBytes_);
  size_t deviceFrames = frames;
  double latency = 0.0;
  if (processing()) {
    toS16(fmt_, data, deviceBytes, s16);
    bool effects =
        std::any_of(effects_.begin(), effects_.end(), [](auto &e) { return e->active(); });
    if (std::optional<double> gain = effects ? foldedGain() : std::nullopt) {
      applyGain(s16.data(), s16.size(), *gain);
    } else if (effects) {
      s16ToFloat(s16.data(), s16.size(), in);
      size_t n = frames;
      for (auto &e : effects_) {
        if (!e->active())
          continue;
        out.clear();
        e->process(in.data(), n, out);
        in.swap(out);
        n = in.size() / size_t(format_.channels);
      }
      floatToS16(in.data(), in.size(), float(volume_) / 100.0f, s16);
      deviceFrames = n;
    } else {
      applyVolume(s16.data(), s16.size(), volume_);
    }
    fromS16(fmt_, s16.data(), s16.size(), converted);
    toDevice = converted.data();
    deviceBytes = converted.size();
  }
  for (auto &e : effects_)
    latency += e->latencySeconds();
  deviceFrames_ += int64_t(deviceFrames);
  double songMs = songBaseMs_ + (double(songFrames_) / format_.rate - latency) * 1000.0;
  timeline_.wrote(deviceFrames_, std::max(songBaseMs_, songMs));
  OutputPlugin *dev = device_;
  // The device may wait for room (or for a resume): the lock is not held meanwhile, so pause,
  // stop and the clock stay answerable.
  lk.unlock();
  if (dev && deviceBytes > 0)
    dev->write_audio(const_cast<void *>(toDevice), int(deviceBytes));
}

void OutputStage::close() {
  {
    std::lock_guard lk(m_);
    // The device stays open: a song that ended by itself is played out, and the next one may
    // join it. The engine says which it was (songEnded, stop).
    if (state_ == State::Open)
      state_ = State::Lingering;
    if (!joins_)
      closeDevice();
  }
  if (events_)
    events_->onOutputIdle();
}

void OutputStage::flush(int songMs) {
  std::lock_guard lk(m_);
  if (state_ != State::Open)
    return;
  if (songFrames_ == 0) {
    // Nothing of this song written yet (inputs flush right after they open): only its clock
    // starts there. The device keeps what it holds, the end of the last song at a join.
    songBaseMs_ = std::max(0, songMs);
    timeline_.restart(deviceFrames_, songBaseMs_);
    return;
  }
  if (device_)
    device_->flush(0);
  for (auto &e : effects_)
    e->flush();
  songFrames_ = 0;
  songBaseMs_ = std::max(0, songMs);
  resetClock(songBaseMs_);
}

void OutputStage::pause(bool paused) {
  std::lock_guard lk(m_);
  paused_ = paused;
  if (device_ && state_ != State::Closed)
    device_->pause(paused ? 1 : 0);
  lastProgress_ = Clock::now();
  lastDeviceMs_ = -1;
}

int OutputStage::bufferFree() {
  std::lock_guard lk(m_);
  if (state_ != State::Open || paused_)
    return 0;
  if (!device_)
    return 1 << 20; // no device at all: take everything so the song still ends
  int room = device_->buffer_free();
  watchProgress(room);
  if (!device_ || frameBytes_ <= 0)
    return 0;
  if (room <= 0)
    return 0;
  // Room in the device's frames, as input frames: a slowed song needs fewer to fill it.
  double ratio = 1.0;
  for (auto &e : effects_)
    if (e->active())
      ratio *= e->timeRatio();
  double frames = std::min(double(room / frameBytes_) * ratio, double(INT_MAX / 2 / frameBytes_));
  return int(frames) * frameBytes_;
}

// While an input has the output open, everything it wrote will be heard (played out by the
// stage, or continued by the next song): an input never needs to wait for the device to drain.
int OutputStage::bufferPlaying() {
  std::lock_guard lk(m_);
  // A device that takes one song at a time is drained by the song itself.
  return state_ == State::Open && !joins_ && device_ ? device_->buffer_playing() : 0;
}

int OutputStage::outputTime() {
  std::lock_guard lk(m_);
  if (state_ != State::Open)
    return 0;
  return int(timeline_.songAt(playedFrames()));
}

int OutputStage::writtenTime() {
  std::lock_guard lk(m_);
  return state_ == State::Open ? int(timeline_.writtenSongMs()) : 0;
}

void OutputStage::getVolume(int *left, int *right) {
  std::lock_guard lk(m_);
  if (left)
    *left = volume_;
  if (right)
    *right = volume_;
}

void OutputStage::setVolume(int left, int right) {
  std::lock_guard lk(m_);
  volume_ = std::clamp(std::max(left, right), 0, 100);
}

// ---- the engine's side ----

bool OutputStage::isOpen() const {
  std::lock_guard lk(m_);
  return state_ == State::Open;
}

void OutputStage::songStarting(const std::string &file, int tag) {
  std::lock_guard lk(m_);
  nextTag_ = tag;
  for (auto &e : effects_)
    e->songChanged(file);
}

void OutputStage::songEnded() {
  std::lock_guard lk(m_);
  if (state_ == State::Open)
    state_ = State::Lingering;
}

OutputStage::Heard OutputStage::heard() {
  std::lock_guard lk(m_);
  if (state_ == State::Closed || !device_)
    return {};
  double played = playedFrames();
  // Songs whose last frame has been heard are done with.
  while (!earlier_.empty() &&
         double(earlier_.size() >= 2 ? earlier_[1].start() : timeline_.start()) <= played)
    earlier_.pop_front();
  // Lingering, the last song written has ended too: it counts as one back.
  int ended = state_ == State::Lingering ? 1 : 0;
  if (!earlier_.empty() && played < double(timeline_.start()))
    return {int(earlier_.size()) + ended, earlier_.front().tag(),
            int(earlier_.front().songAt(played))};
  if (ended)
    return {1, timeline_.tag(), int(timeline_.songAt(played))};
  return {0, timeline_.tag(), 0};
}

void OutputStage::stop() {
  std::lock_guard lk(m_);
  for (auto &e : effects_)
    e->flush();
  closeDevice();
  paused_ = false;
}

bool OutputStage::tailPlaying() {
  std::lock_guard lk(m_);
  if (state_ != State::Lingering || !device_)
    return false;
  // Paused, what the effects hold waits for the resume: a paused device holds a write (and with
  // it this lock, which the resume needs) until then.
  if (paused_)
    return true;
  if (!std::exchange(tailDrained_, true)) {
    std::vector<float> rest;
    drainEffects(rest);
    writeFloat(rest);
  }
  if (!device_->buffer_playing())
    return false;
  // A device whose clock stands still would keep the engine playing for ever.
  int ms = device_->output_time();
  auto now = Clock::now();
  if (ms != lastDeviceMs_) {
    lastDeviceMs_ = ms;
    lastProgress_ = now;
  }
  return now - lastProgress_ <= kStallLimit;
}

void OutputStage::endSession() {
  std::lock_guard lk(m_);
  closeDevice();
  paused_ = false;
  // The next start tries the chosen output again (a headset plugged back in).
  lost_ = false;
  saidLost_ = false;
  if (!std::exchange(sessionActive_, false))
    return;
  for (Device *d : {&chosen_, &null_})
    if (d->sessionEnded)
      d->sessionEnded();
}

OutputStage::Loss OutputStage::lostOutput() const {
  std::lock_guard lk(lossM_);
  return loss_;
}

} // namespace engine::stage
