#include "xmmsPlayer.h"

#include "core/enginerestart.h"
#include "core/enginespawn.h"
#include "kconfig.h"
#include "protocol.h" // the session's socket and pid file paths

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QElapsedTimer>
#include <QStandardPaths>
#include <QThread>
#include <QTimerEvent>

#include <xmms/xmmsctrl.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <map>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

XMMSPlayer *XMMSPlayer::instance = nullptr;
int XMMSPlayer::launchWaitMs = 1000;
int XMMSPlayer::restartWindowMs = 60000;

namespace {
constexpr int kSession = 0;
constexpr int kPollMs = 500;
constexpr int kLostPollEvery = 4;
constexpr int kUnplayableWatchPolls = 6; // three seconds: room for a slow probe of a bad file
constexpr int kTickMs = 1000;
constexpr int kEngineStartMs = 6000; // a cold engine start on a loaded machine

// Holds the controller's own signals back while a remote call is in progress.
class SignalsBlocked {
public:
  explicit SignalsBlocked(QObject *o) : object(o) { object->blockSignals(true); }
  ~SignalsBlocked() { object->blockSignals(false); }
  SignalsBlocked(const SignalsBlocked &) = delete;
  SignalsBlocked &operator=(const SignalsBlocked &) = delete;

private:
  QObject *object;
};
} // namespace

XMMSPlayer::XMMSPlayer(QObject *parent, const char *name) : QObject(parent) {
  if (name)
    setObjectName(QString::fromLatin1(name));
  qDebug("XMMSPlayer: created xmmsplayer interface");
  instance = this;
  {
    KConfig config(QDir::homePath() + "/.xmms/config", true);
    config.setGroup("Winskin");
    maximumVolume = config.readNumEntry("MaximumVolume", 65);
  }
  pollTimer = -1;
  tickTimer = -1;
  int version;
  {
    SignalsBlocked guard(this);
    version = xmms_remote_get_version(kSession);
  }
  running = version != 0;
  if (running) {
    pollTimer = startTimer(kPollMs);
    readModes();
  }
}

XMMSPlayer::~XMMSPlayer() {
  qDebug("XMMSPlayer: deleted xmmsplayer interface");
  if (instance == this)
    instance = nullptr;
}

void XMMSPlayer::readModes() {
  SignalsBlocked guard(this);
  shuffle = xmms_remote_is_shuffle(kSession) != 0;
  repeat = xmms_remote_is_repeat(kSession) != 0;
  pausedState = xmms_remote_is_paused(kSession) != 0;
}

bool XMMSPlayer::isRunning() {
  SignalsBlocked guard(this);
  running = xmms_remote_get_version(kSession) != 0;
  return running;
}

bool XMMSPlayer::spawnEngine() {
  qDebug("XMMSPlayer: launching xmms");
  spawnClock.start();
  pidFileAtSpawn = enginerestart::pidFileValue();
  // Run directly, never through a shell: the engine installed beside this program first (the
  // installed tree can be moved), else the one on PATH. Tied to this process: a velora that is
  // killed outright leaves no engine playing on without a window.
  QString program =
      QStandardPaths::findExecutable("xmms", {QCoreApplication::applicationDirPath()});
  if (program.isEmpty())
    program = QStandardPaths::findExecutable("xmms");
  if (program.isEmpty() || enginespawn::startTied(program) < 0) {
    qWarning("XMMSPlayer: cannot start the audio engine: no program \"xmms\" on PATH");
    return false;
  }
  return true;
}

void XMMSPlayer::engineStarted() {
  running = true;
  if (pollTimer < 0)
    pollTimer = startTimer(kPollMs);
  readModes();
  qDebug("XMMSPlayer: player started");
}

void XMMSPlayer::launch() {
  if (isRunning())
    return;
  if (!spawnEngine())
    return;
  // Wait until the engine answers, looking every 10 ms, for at most the launch wait: a cold
  // start then costs what the engine needs, not a whole second.
  QElapsedTimer waited;
  waited.start();
  while (!isRunning()) {
    if (waited.elapsed() >= launchWaitMs)
      return;
    QThread::msleep(10);
  }
  engineStarted();
}

void XMMSPlayer::kill() {
  qDebug("XMMSPlayer: killing xmms");
  {
    SignalsBlocked guard(this);
    xmms_remote_quit(kSession);
  }
  running = false;
  if (pollTimer >= 0)
    killTimer(pollTimer);
  if (tickTimer >= 0)
    killTimer(tickTimer);
  pollTimer = -1;
  tickTimer = -1;
}

void XMMSPlayer::timerEvent(QTimerEvent *event) {
  if (event->timerId() == tickTimer)
    emit timeout();
  if (event->timerId() == pollTimer)
    updateStatus();
}

void XMMSPlayer::recoverEngine() {
  if (!engineLost) {
    engineLost = true;
    qWarning("velora: the audio engine has stopped; starting a fresh one");
    if (tickTimer >= 0)
      killTimer(tickTimer);
    tickTimer = -1;
    const bool wasPlaying = playingState || pausedState;
    playingState = false;
    pausedState = false;
    if (wasPlaying)
      emit stopped();
  }
  running = false;
  static QElapsedTimer clock;
  if (!clock.isValid())
    clock.start();
  const qint64 now = clock.elapsed();
  std::erase_if(restartTimes, [&](qint64 t) { return now - t >= restartWindowMs; });
  if (static_cast<int>(restartTimes.size()) >= maxRestarts) {
    restartsOver = true;
    qWarning("velora: the audio engine keeps stopping (%d starts within %d s); it is not "
             "started again. Restart velora to play.",
             maxRestarts, restartWindowMs / 1000);
    return; // no more polls: nothing answers them
  }
  restartTimes.push_back(now);
  // Our own engine only, as at start: one for this session; the dead one's socket and pid file
  // are the new engine's to replace. Not waited for here: the next polls see it answer (and
  // put it where the old one was).
  spawnEngine();
  if (pollTimer < 0)
    pollTimer = startTimer(kPollMs);
}

void XMMSPlayer::updateStatus() {
  if (pollTimer >= 0)
    killTimer(pollTimer);
  pollTimer = -1;
  if (restartsOver)
    return;

  Status now = status();
  publish(now);
  // No answer and no live engine process: it died. No answer from a live one is a busy
  // engine (a loaded machine can miss the reply deadline) and is asked again next time.
  if (!now.answered && enginePid() < 0) {
    // A fresh engine that has not written its pid file yet is given time to come up.
    if (engineLost && spawnClock.isValid() && spawnClock.elapsed() < kEngineStartMs &&
        enginerestart::pidFileValue() == pidFileAtSpawn) {
      pollTimer = startTimer(kPollMs);
      return;
    }
    recoverEngine();
    return;
  }
  if (now.answered && engineLost) {
    // The fresh engine came up after launch() stopped waiting for it.
    engineLost = false;
    running = true;
    {
      SignalsBlocked guard(this);
      xmms_remote_set_playlist_pos(kSession, knownPosition);
      readModes();
    }
    now = status();
    publish(now);
  }
  if (now.answered)
    knownPosition = now.position;
  // A device is lost only while a song plays, and the engine takes seconds to give one up: every
  // fourth poll asks, which keeps the playing poll at one round trip most of the time. The poll
  // that sees the playlist's end asks once more, in case the loss came just before it.
  if (now.answered && (now.playing || playingState) &&
      (++lostPolls % kLostPollEvery == 0 || !now.playing))
    checkOutputLost();
  // A song that cannot be played is skipped at once: the position moves, or playing stops at
  // the playlist's end (perhaps before any poll saw it playing, so the polls just after a play
  // command ask too). Only then is there something to ask.
  if (now.answered && (now.position != unplayableAskedAt || (playingState && !now.playing) ||
                       unplayableWatch > 0)) {
    unplayableWatch = std::max(0, unplayableWatch - 1);
    unplayableAskedAt = now.position;
    checkUnplayable();
  }

  const bool p = now.paused;
  if (p != pausedState) {
    if (tickTimer >= 0)
      killTimer(tickTimer);
    tickTimer = -1;
    emit paused();
    pausedState = p;
    qDebug("XMMSPlayer: emit paused()");
    if (!pausedState) {
      tickTimer = startTimer(kTickMs);
      emit playing();
      playingState = true;
      qDebug("XMMSPlayer: emit playing()");
    }
  }

  const bool q = now.playing;
  if (q != playingState) {
    if (!playingState) {
      if (tickTimer < 0)
        tickTimer = startTimer(kTickMs);
      emit playing();
      playingState = q;
      qDebug("XMMSPlayer: emit playing()");
    } else {
      if (tickTimer >= 0)
        killTimer(tickTimer);
      tickTimer = -1;
      emit stopped();
      playingState = q;
      qDebug("XMMSPlayer: emit stopped()");
    }
  }

  pollTimer = startTimer(kPollMs);
}

// One of the engine's calls that answer a count and a text (malloc'd, or null).
static int countAndText(QObject *controller, int (*call)(int, char **), QString &text) {
  char *got = nullptr;
  int count;
  {
    SignalsBlocked guard(controller);
    count = call(kSession, &got);
  }
  text = QString::fromUtf8(got ? got : "");
  std::free(got);
  return count;
}

void XMMSPlayer::checkOutputLost() {
  QString reason;
  const int count = countAndText(this, xmms_remote_get_output_lost, reason);
  // A fresh engine (restarted, or started anew by another client) counts from 0 again.
  if (count < outputLosses)
    outputLosses = count;
  if (count == outputLosses)
    return;
  outputLosses = count;
  qWarning("velora: the sound device was lost (%s); the songs go on silently",
           qUtf8Printable(reason));
  emit outputLost(reason);
}

void XMMSPlayer::checkUnplayable() {
  QString file;
  const int count = countAndText(this, xmms_remote_get_unplayable, file);
  // The first answer is what an engine already running had skipped before this window: old
  // news. A fresh engine (restarted) counts from 0 again.
  if (count < unplayableSeen)
    unplayableSeen = 0;
  const int skipped = unplayableSeen >= 0 ? count - unplayableSeen : 0;
  unplayableSeen = count;
  if (skipped > 0 && !file.isEmpty())
    emit unplayable(file, skipped);
}

void XMMSPlayer::publish(const Status &now) {
  snapshot = now;
  snapshotClock.start();
  emit statusPolled(snapshot);
}

const XMMSPlayer::Status &XMMSPlayer::refresh() {
  if (pollTimer >= 0)
    updateStatus(); // the controller's own poll, brought forward
  else
    publish(status()); // no engine of ours to follow: just what answers (or nothing)
  return snapshot;
}

void XMMSPlayer::play() {
  SignalsBlocked guard(this);
  xmms_remote_play(kSession);
  unplayableWatch = kUnplayableWatchPolls;
}

void XMMSPlayer::pause() {
  SignalsBlocked guard(this);
  xmms_remote_pause(kSession);
}

void XMMSPlayer::stop() {
  SignalsBlocked guard(this);
  xmms_remote_stop(kSession);
}

void XMMSPlayer::fileOpen() {}

void XMMSPlayer::back() {
  bool isPlaying;
  {
    SignalsBlocked guard(this);
    xmms_remote_playlist_prev(kSession);
    usleep(250);
  }
  {
    SignalsBlocked guard(this);
    isPlaying = xmms_remote_is_playing(kSession) != 0;
  }
  if (!isPlaying)
    emit timeout();
}

void XMMSPlayer::forward() {
  bool isPlaying;
  {
    SignalsBlocked guard(this);
    xmms_remote_playlist_next(kSession);
    usleep(250);
  }
  {
    SignalsBlocked guard(this);
    isPlaying = xmms_remote_is_playing(kSession) != 0;
  }
  if (!isPlaying)
    emit timeout();
}

void XMMSPlayer::playAt(int position) {
  SignalsBlocked guard(this);
  xmms_remote_set_playlist_pos(kSession, position);
  if (!xmms_remote_is_playing(kSession))
    xmms_remote_play(kSession);
  unplayableWatch = kUnplayableWatchPolls;
}

void XMMSPlayer::seek(int ms) {
  SignalsBlocked guard(this);
  xmms_remote_jump_to_time(kSession, ms);
}

int XMMSPlayer::outputTime() {
  SignalsBlocked guard(this);
  return xmms_remote_get_output_time(kSession);
}

int XMMSPlayer::songLength() {
  SignalsBlocked guard(this);
  int pos = xmms_remote_get_playlist_pos(kSession);
  return xmms_remote_get_playlist_time(kSession, pos);
}

int XMMSPlayer::position() {
  SignalsBlocked guard(this);
  return xmms_remote_get_playlist_pos(kSession);
}

QString XMMSPlayer::fileAt(int position) {
  char *name;
  {
    SignalsBlocked guard(this);
    name = xmms_remote_get_playlist_file(kSession, position);
  }
  QString result = name ? QString::fromLatin1(name) : QString();
  std::free(name);
  return result;
}

bool XMMSPlayer::isStopped() {
  SignalsBlocked guard(this);
  return xmms_remote_is_playing(kSession) == 0;
}

bool XMMSPlayer::isPaused() {
  SignalsBlocked guard(this);
  return xmms_remote_is_paused(kSession) != 0;
}

XMMSPlayer::Status XMMSPlayer::status() {
  SignalsBlocked guard(this);
  Status s;
  xmms_remote_status r{};
  if (xmms_remote_get_status(kSession, &r)) {
    s.answered = true;
    s.playing = r.playing != 0;
    s.paused = r.paused != 0;
    s.position = r.pos;
    s.outputTime = r.output_time;
    s.songLength = r.song_length;
    s.rate = r.rate;
    s.frequency = r.freq;
    s.channels = r.nch;
    return s;
  }
  s.answered = xmms_remote_get_version(kSession) != 0;
  if (!s.answered)
    return s;
  s.playing = xmms_remote_is_playing(kSession) != 0;
  s.paused = xmms_remote_is_paused(kSession) != 0;
  s.position = xmms_remote_get_playlist_pos(kSession);
  s.outputTime = xmms_remote_get_output_time(kSession);
  s.songLength = xmms_remote_get_playlist_time(kSession, s.position);
  xmms_remote_get_info(kSession, &s.rate, &s.frequency, &s.channels);
  return s;
}

void XMMSPlayer::streamInfo(int *rate, int *frequency, int *channels) {
  int r = 0, f = 0, c = 0;
  {
    SignalsBlocked guard(this);
    xmms_remote_get_info(kSession, &r, &f, &c);
  }
  if (rate)
    *rate = r;
  if (frequency)
    *frequency = f;
  if (channels)
    *channels = c;
}

void XMMSPlayer::setShuffle(bool on) {
  SignalsBlocked guard(this);
  if ((xmms_remote_is_shuffle(kSession) != 0) != on) {
    shuffle = on;
    xmms_remote_toggle_shuffle(kSession);
  }
}

void XMMSPlayer::setRepeat(bool on) {
  SignalsBlocked guard(this);
  if ((xmms_remote_is_repeat(kSession) != 0) != on) {
    repeat = on;
    xmms_remote_toggle_repeat(kSession);
  }
}

void XMMSPlayer::setVolume(int percent) {
  if (percent < 0)
    percent = 0;
  if (percent > 100)
    percent = 100;
  SignalsBlocked guard(this);
  xmms_remote_set_main_volume(kSession, percent * maximumVolume / 100);
}

void XMMSPlayer::setSpeed(float speed) {
  SignalsBlocked guard(this);
  xmms_remote_set_speed(kSession, speed);
}

float XMMSPlayer::speed() {
  SignalsBlocked guard(this);
  return xmms_remote_get_speed(kSession);
}

void XMMSPlayer::setReplayGainMode(int mode) {
  SignalsBlocked guard(this);
  xmms_remote_set_replaygain_mode(kSession, mode);
}

int XMMSPlayer::replayGainMode() {
  SignalsBlocked guard(this);
  return xmms_remote_get_replaygain_mode(kSession);
}

void XMMSPlayer::setEqualizerActive(bool on) {
  SignalsBlocked guard(this);
  if ((xmms_remote_is_eq_active(kSession) != 0) != on)
    xmms_remote_toggle_eq_active(kSession);
}

void XMMSPlayer::setEqualizer(const float values[11]) {
  float bands[10];
  for (int i = 0; i < 10; ++i)
    bands[i] = values[i + 1];
  SignalsBlocked guard(this);
  xmms_remote_set_eq(kSession, values[0], bands);
}

void XMMSPlayer::setPreamp(float value) {
  SignalsBlocked guard(this);
  xmms_remote_set_eq_preamp(kSession, value);
}

void XMMSPlayer::setBand(int band, float value) {
  SignalsBlocked guard(this);
  xmms_remote_set_eq_band(kSession, band, value);
}

float XMMSPlayer::preamp() {
  SignalsBlocked guard(this);
  return xmms_remote_get_eq_preamp(kSession);
}

float XMMSPlayer::band(int band) {
  SignalsBlocked guard(this);
  return xmms_remote_get_eq_band(kSession, band);
}

// The /proc reading lives with the restarts that need it.
pid_t XMMSPlayer::enginePid() { return enginerestart::enginePid(); }
std::vector<pid_t> XMMSPlayer::mplayerDescendants(pid_t pid) {
  return enginerestart::mplayerDescendants(pid);
}
std::vector<pid_t> XMMSPlayer::engineProcesses() { return enginerestart::engineProcesses(); }
int XMMSPlayer::terminateProcesses(const std::vector<pid_t> &pids) {
  return enginerestart::terminateProcesses(pids);
}
bool XMMSPlayer::waitForProcessesToEnd(const std::vector<pid_t> &pids, int timeoutMs) {
  return enginerestart::waitForProcessesToEnd(pids, timeoutMs);
}
int XMMSPlayer::terminateEngineProcesses() { return terminateProcesses(engineProcesses()); }
