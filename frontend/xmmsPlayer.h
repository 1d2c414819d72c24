// The front-end's one link to the audio engine: starts it, commands it through the libxmms
// remote calls (always session 0) and follows its state by polling.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <sys/types.h>
#include <vector>

class XMMSPlayer : public QObject {
  Q_OBJECT
public:
  explicit XMMSPlayer(QObject *parent = nullptr, const char *name = nullptr);
  ~XMMSPlayer() override;

  static XMMSPlayer *instance;

  // Engine life. launch() waits for the engine (up to launchWaitMs, as the start-up does);
  // restarts use spawnEngine() and engineStarted() and wait on timers (enginerestart.h).
  void launch();
  // Starts the engine program without waiting for it; false (with one clear line) when there
  // is no engine program to start.
  bool spawnEngine();
  // The engine answers after spawnEngine(): polling starts and its modes are read.
  void engineStarted();
  void kill();
  bool isRunning();

  // Transport.
  void play();
  void pause();
  void playAt(int position);
  void seek(int ms);

  // Queries.
  int outputTime();
  int songLength();
  int position();
  QString fileAt(int position); // 8-bit, one character per byte: decode as UTF-8 to show it
  bool isStopped();
  bool isPaused();
  void streamInfo(int *rate, int *frequency, int *channels);
  // What the status poll and the time display need, of one moment, in one remote call (one per
  // field with an engine that lacks that call). Nothing answered: all false and 0.
  struct Status {
    bool answered = false;
    bool playing = false;
    bool paused = false;
    int position = 0;
    int outputTime = 0;
    int songLength = 0;
    int rate = 0, frequency = 0, channels = 0;
  };
  Status status();
  // The status of the latest poll: what the window's display and the desktop service read, so
  // that the engine is asked once, not once per reader.
  const Status &lastStatus() const { return snapshot; }
  // Milliseconds since lastStatus() was fetched.
  qint64 lastStatusAgeMs() const { return snapshotClock.isValid() ? snapshotClock.elapsed() : 0; }
  // Polls now (the next poll comes a poll interval later) and returns the fresh status.
  const Status &refresh();

  // Modes and volume.
  void setShuffle(bool on);
  void setRepeat(bool on);
  void setVolume(int percent);
  int maxVolume() const { return maximumVolume; }

  // Equalizer: values[0] is the preamp, values[1..10] the bands 0..9.
  void setEqualizerActive(bool on);
  void setEqualizer(const float values[11]);
  void setPreamp(float value);
  void setBand(int band, float value);
  float preamp();
  float band(int band);

  // Playback speed with the pitch kept (0.5 .. 2.0; the engine rounds to steps of 0.05) and the
  // ReplayGain mode (0 off, 1 track, 2 album, 3 auto). Unanswered: speed 0, mode -1.
  void setSpeed(float speed);
  float speed();
  void setReplayGainMode(int mode);
  int replayGainMode();

  // This session's engine and mplayer processes (enginerestart.cpp reads /proc for them).
  static int terminateEngineProcesses();
  static std::vector<pid_t> engineProcesses();
  static int terminateProcesses(const std::vector<pid_t> &pids);
  static bool waitForProcessesToEnd(const std::vector<pid_t> &pids, int timeoutMs);
  static pid_t enginePid();
  static std::vector<pid_t> mplayerDescendants(pid_t pid);

  // How long launch() waits for a fresh engine; tests shorten it.
  static int launchWaitMs;
  // An engine that dies is started afresh at most this often within restartWindowMs; after
  // that velora stops trying (tests shorten the window).
  static constexpr int maxRestarts = 3;
  static int restartWindowMs;

public slots:
  void back();
  void forward();
  void stop();
  void fileOpen();
  void updateStatus();

signals:
  void hideYourself();
  void showYourself();
  void playlistShown();
  void playlistHidden();
  void equalizerShown();
  void equalizerHidden();
  void shuffleChange(bool);
  void repeatChange(bool);
  void newSong();
  void timeout();
  void playing();
  void paused();
  void stopped();
  // After every poll: the status it fetched (also lastStatus()).
  void statusPolled(const XMMSPlayer::Status &status);
  // The engine's sound device stopped taking audio (a headset unplugged) and the songs go on
  // silently on its null output: once each time, with what the engine said about it.
  void outputLost(const QString &reason);
  // The engine skipped a playlist entry it could not play (broken, empty, not audio): once for
  // each poll that finds new ones, with the path of the last and how many were skipped since the
  // poll before.
  void unplayable(const QString &file, int skipped);

protected:
  void timerEvent(QTimerEvent *event) override;

private:
  void readModes();
  void publish(const Status &now);
  // Asks the engine whether its sound device was lost since the last time it was asked.
  void checkOutputLost();
  // Asks the engine whether it skipped songs it could not play since the last time it was asked.
  void checkUnplayable();
  // The status poll found no engine: say so, start a fresh one on the same position, stopped.
  void recoverEngine();

  bool running = false;
  int pollTimer = -1;
  int tickTimer = -1;
  bool shuffle = false;
  bool repeat = false;
  bool playingState = false; // last known engine-is-playing
  bool pausedState = false;  // last known engine-is-paused
  int maximumVolume = 65;
  int knownPosition = 0;            // the engine's playlist position at the last poll
  bool engineLost = false;          // the engine died and has not answered since
  bool restartsOver = false;        // it kept dying: no more restarts
  std::vector<qint64> restartTimes; // monotonic ms of the recent restarts
  QElapsedTimer spawnClock;         // since the last spawnEngine()
  pid_t pidFileAtSpawn = -1;        // the pid file then: a fresh engine writes its own
  Status snapshot;
  QElapsedTimer snapshotClock;
  int outputLosses = 0;       // the engine's count of lost devices already told
  int lostPolls = 0;          // playing polls since start, to ask about lost devices now and then
  int unplayableSeen = -1;    // the engine's count of unplayable songs already told (-1: not asked)
  int unplayableAskedAt = -1; // the playlist position when it was last asked
  int unplayableWatch = 0;    // polls still to ask after a play command
};
