// The two MPRIS 2 interfaces on the object /org/mpris/MediaPlayer2. They only translate: every
// request and every value goes to the service, which works through the window.
#pragma once

#include <QDBusAbstractAdaptor>
#include <QDBusObjectPath>
#include <QStringList>
#include <QVariantMap>

class MprisService;

class MprisRootAdaptor : public QDBusAbstractAdaptor {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2")
  Q_PROPERTY(bool CanQuit READ canQuit)
  Q_PROPERTY(bool CanRaise READ canRaise)
  Q_PROPERTY(bool HasTrackList READ hasTrackList)
  Q_PROPERTY(QString Identity READ identity)
  Q_PROPERTY(QString DesktopEntry READ desktopEntry)
  Q_PROPERTY(QStringList SupportedUriSchemes READ supportedUriSchemes)
  Q_PROPERTY(QStringList SupportedMimeTypes READ supportedMimeTypes)
public:
  explicit MprisRootAdaptor(MprisService *service);

  bool canQuit() const { return true; }
  bool canRaise() const { return true; }
  bool hasTrackList() const { return false; }
  QString identity() const { return QStringLiteral("velora"); }
  // The desktop entry the install puts in share/applications.
  QString desktopEntry() const { return QStringLiteral("velora"); }
  QStringList supportedUriSchemes() const { return {QStringLiteral("file")}; }
  QStringList supportedMimeTypes() const;

public slots:
  void Raise();
  void Quit();

private:
  MprisService *service;
};

class MprisPlayerAdaptor : public QDBusAbstractAdaptor {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2.Player")
  Q_PROPERTY(QString PlaybackStatus READ playbackStatus)
  Q_PROPERTY(QString LoopStatus READ loopStatus WRITE setLoopStatus)
  Q_PROPERTY(double Rate READ rate WRITE setRate)
  Q_PROPERTY(double MinimumRate READ minimumRate)
  Q_PROPERTY(double MaximumRate READ maximumRate)
  Q_PROPERTY(bool Shuffle READ shuffle WRITE setShuffle)
  Q_PROPERTY(QVariantMap Metadata READ metadata)
  Q_PROPERTY(double Volume READ volume WRITE setVolume)
  Q_PROPERTY(qlonglong Position READ position)
  Q_PROPERTY(bool CanGoNext READ canControl)
  Q_PROPERTY(bool CanGoPrevious READ canControl)
  Q_PROPERTY(bool CanPlay READ canControl)
  Q_PROPERTY(bool CanPause READ canControl)
  Q_PROPERTY(bool CanSeek READ canSeek)
  Q_PROPERTY(bool CanControl READ canControl)
public:
  explicit MprisPlayerAdaptor(MprisService *service);

  QString playbackStatus() const;
  QString loopStatus() const;
  void setLoopStatus(const QString &status);
  // The playback speed, pitch kept.
  double rate() const;
  void setRate(double value);
  double minimumRate() const { return 0.5; }
  double maximumRate() const { return 2.0; }
  bool shuffle() const;
  void setShuffle(bool on);
  QVariantMap metadata() const;
  double volume() const;
  void setVolume(double value);
  qlonglong position() const;
  bool canSeek() const;
  bool canControl() const { return true; }

public slots:
  void Play();
  void Pause();
  void PlayPause();
  void Stop();
  void Next();
  void Previous();
  void Seek(qlonglong Offset);
  void SetPosition(const QDBusObjectPath &TrackId, qlonglong Position);
  void OpenUri(const QString &Uri);

signals:
  void Seeked(qlonglong Position);

private:
  MprisService *service;
};
