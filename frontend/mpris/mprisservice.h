// Desktop control: the player on the D-Bus session bus as an MPRIS 2 media player, so media
// keys, desktop player widgets and playerctl can drive it. Every request is carried out by the
// window's own commands, so its flags, pictures, title and lyrics stay in step; what changed is
// announced from the controller's status poll, read from the snapshot it fetched.
#pragma once

#include "trackinfo.h"
#include "xmmsPlayer.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QVariantMap>

class MainFace;
class QDBusObjectPath;

class MprisService : public QObject {
  Q_OBJECT
public:
  static constexpr const char *kServiceName = "org.mpris.MediaPlayer2.velora";
  static constexpr const char *kObjectPath = "/org/mpris/MediaPlayer2";

  // Puts the window on the session bus and follows its status poll. Without a session bus the
  // player goes on as before; that desktop control is off is said once per process. Returns the
  // service (owned by the window) or null.
  static MprisService *start(MainFace *window);

  // org.mpris.MediaPlayer2
  void raise();
  void quit();

  // org.mpris.MediaPlayer2.Player: requests.
  void play();
  void pause();
  void playPause();
  void stop();
  void next();
  void previous();
  void seek(qlonglong offsetUs);
  void setPosition(const QDBusObjectPath &trackId, qlonglong positionUs);
  void openUri(const QString &uri);

  // org.mpris.MediaPlayer2.Player: state.
  QString playbackStatus() const;
  QString loopStatus() const;
  void setLoopStatus(const QString &status);
  bool shuffle() const;
  void setShuffle(bool on);
  double volume() const;
  void setVolume(double value);
  double rate() const;
  // Outside 0.5 .. 2.0 the nearest end is taken; 0 or less (a pause, to some clients) is
  // ignored.
  void setRate(double value);
  qlonglong position() const;
  QVariantMap metadata();
  bool canSeek() const;

  // Compares what the desktop was last told with the player's state and announces the
  // differences. Runs after each status poll of the window.
  void announceChanges();

signals:
  void seeked(qlonglong positionUs);

private:
  explicit MprisService(MainFace *window);
  bool engineReady() const;
  void seekToMs(qint64 ms);
  void playEntry(int index);
  void announce(const QVariantMap &changed);
  void noticeJumps(const XMMSPlayer::Status &s, const QString &status, const QString &trackKey);
  XMMSPlayer::Status freshStatus() const;
  static QString statusText(const XMMSPlayer::Status &s);
  static bool canSeekAt(const XMMSPlayer::Status &s);
  QVariantMap metadataAt(const XMMSPlayer::Status &s);
  QString fileOf(int entry);

  QPointer<MainFace> window;
  TrackInfo track;      // the current song's tags, read once per song
  QString lastStatus;   // what PropertiesChanged last said
  QString lastTrackKey; // entry, file and length of the song last announced
  int lastVolume = -1;
  double lastRate = -1;
  int lastShuffle = -1;
  int lastRepeat = -1;
  // Where the song was at the last poll, to tell a seek made in the window (position bar, A-B
  // loop) from time going by.
  qint64 lastOutputMs = -1;
  QElapsedTimer sinceLastOutput;
  // The engine's file name of the entry last shown, and the panel's text for it then.
  int fileEntry = -1;
  QString fileShown, filePath;
};
