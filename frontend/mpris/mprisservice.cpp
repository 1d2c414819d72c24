#include "mprisservice.h"

#include "adaptors.h"
#include "core/m3u.h"
#include "core/playable.h"
#include "mainface/mainface.h"
#include "xmmsPlayer.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDir>
#include <QFileInfo>
#include <QTimer>
#include <QUrl>

#include <algorithm>

namespace {

QDBusObjectPath trackPath(int entry) {
  // Track ids must not lie under /org/mpris; the playlist entry names the track.
  return QDBusObjectPath(QStringLiteral("/org/velora/track/%1").arg(entry));
}

// The entries of a playlist file, those written relative to it made absolute.
QStringList songsOfPlaylist(const QString &path) {
  const QDir base = QFileInfo(path).absoluteDir();
  QStringList songs;
  for (const QString &entry : m3u::read(path).value_or(QStringList()))
    songs << QDir::cleanPath(base.absoluteFilePath(entry));
  return songs;
}

QString currentFile(XMMSPlayer *controller, int entry) {
  return QString::fromUtf8(controller->fileAt(entry).toLatin1());
}

} // namespace

MprisService *MprisService::start(MainFace *window) {
  static bool saidOff = false;
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!window)
    return nullptr;
  if (!bus.isConnected()) {
    if (!saidOff)
      qWarning("velora: no D-Bus session bus, desktop control (media keys, MPRIS) is off");
    saidOff = true;
    return nullptr;
  }
  auto *service = new MprisService(window);
  new MprisRootAdaptor(service);
  new MprisPlayerAdaptor(service);
  if (!bus.registerObject(kObjectPath, service, QDBusConnection::ExportAdaptors)) {
    qWarning("velora: %s is taken on the session bus, desktop control is off", kObjectPath);
    delete service;
    return nullptr;
  }
  // A second player of ours takes a name of its own, as MPRIS asks of several instances.
  if (!bus.registerService(kServiceName) &&
      !bus.registerService(QStringLiteral("%1.instance%2")
                               .arg(kServiceName)
                               .arg(QCoreApplication::applicationPid()))) {
    qWarning("velora: cannot take the name %s on the session bus, desktop control is off",
             kServiceName);
    delete service; // unregisters the object as well
    return nullptr;
  }
  // Announced from the controller's status poll, whose snapshot it reads: a desktop costs the
  // engine no questions of its own.
  if (window->controller)
    connect(window->controller, &XMMSPlayer::statusPolled, service, &MprisService::announceChanges);
  return service;
}

MprisService::MprisService(MainFace *w) : QObject(w), window(w) {}

bool MprisService::engineReady() const { return window && window->controller; }

void MprisService::raise() {
  if (!window)
    return;
  window->show();
  window->raise();
  window->activateWindow();
}

void MprisService::quit() {
  // Later, from the event loop: the close deletes the window and this service with it, which
  // must not happen inside the D-Bus call that asked for it. Dialogs that are open are
  // cancelled first.
  if (window)
    QTimer::singleShot(0, window.data(), [w = window] {
      if (w)
        w->requestClose(true);
    });
}

void MprisService::playPause() {
  if (!window)
    return;
  window->buttonClick(1);
  // The button then shows what the next tap will do, as after a tap on it.
  window->drawElement(playingFlag ? 2 : 1, 0);
}

void MprisService::play() {
  if (playbackStatus() != QLatin1String("Playing"))
    playPause();
}

void MprisService::pause() {
  if (playbackStatus() == QLatin1String("Playing"))
    playPause();
}

void MprisService::stop() {
  if (!window)
    return;
  window->buttonClick(3);
  window->drawElement(1, 0);
}

void MprisService::next() {
  if (window)
    window->buttonClick(4);
}

void MprisService::previous() {
  if (window)
    window->buttonClick(0);
}

void MprisService::seekToMs(qint64 ms) {
  window->controller->seek(static_cast<int>(ms));
  lastOutputMs = ms; // announced here; the next poll must not take it for a jump
  sinceLastOutput.restart();
  emit seeked(ms * 1000);
}

void MprisService::noticeJumps(const XMMSPlayer::Status &s, const QString &status,
                               const QString &trackKey) {
  const bool wasPlaying = lastStatus == QLatin1String("Playing");
  const qint64 now = status == QLatin1String("Stopped") ? -1 : s.outputTime;
  if (now >= 0 && lastOutputMs >= 0 && trackKey == lastTrackKey) {
    // Song time runs at the playback speed.
    const qint64 expected =
        lastOutputMs + (wasPlaying ? qRound64(sinceLastOutput.elapsed() * playbackSpeed) : 0);
    // Desktop widgets move their clock on by themselves; only a jump needs telling.
    if (std::abs(now - expected) > 2000)
      emit seeked(now * 1000);
  }
  lastOutputMs = now;
  sinceLastOutput.restart();
}

void MprisService::seek(qlonglong offsetUs) {
  if (!canSeek())
    return;
  const qint64 target = std::max<qint64>(window->controller->outputTime() + offsetUs / 1000, 0);
  if (target > window->controller->songLength())
    next(); // past the end counts as the next song
  else
    seekToMs(target);
}

void MprisService::setPosition(const QDBusObjectPath &trackId, qlonglong positionUs) {
  if (!canSeek() || trackId != trackPath(window->controller->position()))
    return; // a request for a song that is no longer current is stale
  if (positionUs < 0 || positionUs / 1000 > window->controller->songLength())
    return;
  seekToMs(positionUs / 1000);
}

void MprisService::playEntry(int index) {
  window->plistPOSClick(index);
  window->drawPlayStatus(0);
  window->drawElement(2, 0);
}

void MprisService::openUri(const QString &uri) {
  if (!engineReady())
    return;
  const QUrl url(uri);
  const QString path = url.isLocalFile() ? url.toLocalFile() : QString();
  // A folder or a playlist file becomes the playlist (a second velora started with several
  // songs hands them over as a playlist file).
  if (!path.isEmpty() && QFileInfo(path).isDir()) {
    window->playFolder(path);
    return;
  }
  if (!path.isEmpty() && path.endsWith(QLatin1String(".m3u"), Qt::CaseInsensitive)) {
    const QStringList songs = songsOfPlaylist(path);
    if (songs.isEmpty())
      qWarning("velora: cannot open \"%s\": no songs in it", qPrintable(uri));
    else
      window->playSongs(songs);
    return;
  }
  if (path.isEmpty() || !QFileInfo(path).isFile() || !playable::isPlayable(path)) {
    qWarning("velora: cannot open \"%s\": not a playable local file", qPrintable(uri));
    return;
  }
  XMMSPlayer *controller = window->controller;
  const QString wanted = QFileInfo(path).absoluteFilePath();
  for (int i = 0; i < window->playlistModel.size(); ++i) {
    if (QFileInfo(currentFile(controller, i)).absoluteFilePath() == wanted) {
      playEntry(i);
      return;
    }
  }
  // Not in the playlist: it becomes the playlist, the way a chosen folder does (the window's own
  // engine restart, which does not hold up the bus or the window).
  window->playSongs({wanted});
}

XMMSPlayer::Status MprisService::freshStatus() const {
  // A client's question is answered as things are now: one remote call.
  return engineReady() ? window->controller->status() : XMMSPlayer::Status{};
}

QString MprisService::statusText(const XMMSPlayer::Status &s) {
  if (!s.answered || !s.playing)
    return QStringLiteral("Stopped");
  return s.paused ? QStringLiteral("Paused") : QStringLiteral("Playing");
}

bool MprisService::canSeekAt(const XMMSPlayer::Status &s) {
  return s.answered && s.playing && s.songLength > 0;
}

QString MprisService::playbackStatus() const { return statusText(freshStatus()); }

// The engine repeats the whole playlist or nothing; a request to repeat one track repeats the
// playlist.
QString MprisService::loopStatus() const {
  return repeatOn ? QStringLiteral("Playlist") : QStringLiteral("None");
}

namespace {
// A toggle's picture is on screen only while the playlist panel of the vertical window shows.
void drawToggle(MainFace &w, int id) {
  if (windowMode == VerticalMode && playlistPanelShown)
    w.drawElement(id, 0);
}
} // namespace

void MprisService::setLoopStatus(const QString &status) {
  const bool on = status != QLatin1String("None");
  if (!window || on == repeatOn)
    return;
  repeatOn = on;
  drawToggle(*window, 7);
  window->buttonClick(7);
}

bool MprisService::shuffle() const { return shuffleOn; }

void MprisService::setShuffle(bool on) {
  if (!window || on == shuffleOn)
    return;
  shuffleOn = on;
  drawToggle(*window, 6);
  window->buttonClick(6);
}

double MprisService::volume() const { return volumePercent / 100.0; }

void MprisService::setVolume(double value) {
  if (!window)
    return;
  const int percent = qRound(qBound(0.0, value, 1.0) * 100);
  // The landscape slider runs the other way: its value is 100 - volume.
  window->drawVolume(windowMode == HorizontalMode ? 100 - percent : percent, false);
}

double MprisService::rate() const { return playbackSpeed; }

void MprisService::setRate(double value) {
  if (!window)
    return;
  // A rate of 0 is how some clients ask for a pause, and MPRIS has it act as Pause; the speed
  // stays as it was.
  if (value == 0) {
    pause();
    return;
  }
  if (!(value > 0))
    return;
  window->changeSpeed(value);
}

qlonglong MprisService::position() const {
  const XMMSPlayer::Status s = freshStatus();
  return s.answered && s.playing ? qlonglong(s.outputTime) * 1000 : 0;
}

bool MprisService::canSeek() const { return canSeekAt(freshStatus()); }

QVariantMap MprisService::metadata() { return metadataAt(freshStatus()); }

QString MprisService::fileOf(int entry) {
  // The engine's name of an entry changes only with the playlist: asked once per entry shown.
  const QString shown = window->playlistModel.value(entry);
  if (entry != fileEntry || shown != fileShown || filePath.isEmpty()) {
    fileEntry = entry;
    fileShown = shown;
    filePath = currentFile(window->controller, entry);
  }
  return filePath;
}

QVariantMap MprisService::metadataAt(const XMMSPlayer::Status &s) {
  QVariantMap map;
  if (!engineReady() || !s.answered)
    return map;
  const int entry = s.position;
  const QString path = fileOf(entry);
  if (path.isEmpty()) {
    map.insert("mpris:trackid",
               QVariant::fromValue(QDBusObjectPath("/org/mpris/MediaPlayer2/TrackList/NoTrack")));
    return map;
  }
  if (path != track.path)
    track = TrackInfo::read(path);
  map.insert("mpris:trackid", QVariant::fromValue(trackPath(entry)));
  const qlonglong length = s.songLength;
  if (length > 0)
    map.insert("mpris:length", length * 1000);
  map.insert("xesam:title", track.title);
  if (!track.artist.isEmpty())
    map.insert("xesam:artist", QStringList{track.artist});
  if (!track.album.isEmpty())
    map.insert("xesam:album", track.album);
  map.insert("xesam:url", QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded));
  return map;
}

void MprisService::announceChanges() {
  if (!engineReady())
    return;
  QVariantMap changed;
  // What the controller's poll just fetched: no question to the engine of our own.
  const XMMSPlayer::Status &s = window->controller->lastStatus();
  const QString status = statusText(s);
  const QVariantMap meta = metadataAt(s);
  const QString trackKey = meta.value("mpris:trackid").value<QDBusObjectPath>().path() + "|" +
                           track.path + "|" + meta.value("mpris:length").toString();
  if (status != lastStatus || trackKey != lastTrackKey)
    changed.insert("CanSeek", canSeekAt(s));
  if (status != lastStatus)
    changed.insert("PlaybackStatus", status);
  if (trackKey != lastTrackKey)
    changed.insert("Metadata", meta);
  if (volumePercent != lastVolume)
    changed.insert("Volume", volume());
  if (playbackSpeed != lastRate)
    changed.insert("Rate", rate());
  if (int(shuffleOn) != lastShuffle)
    changed.insert("Shuffle", shuffleOn);
  if (int(repeatOn) != lastRepeat)
    changed.insert("LoopStatus", loopStatus());
  noticeJumps(s, status, trackKey);
  lastStatus = status;
  lastTrackKey = trackKey;
  lastVolume = volumePercent;
  lastRate = playbackSpeed;
  lastShuffle = shuffleOn;
  lastRepeat = repeatOn;
  if (!changed.isEmpty())
    announce(changed);
}

void MprisService::announce(const QVariantMap &changed) {
  QDBusMessage signal =
      QDBusMessage::createSignal(kObjectPath, QStringLiteral("org.freedesktop.DBus.Properties"),
                                 QStringLiteral("PropertiesChanged"));
  signal << QStringLiteral("org.mpris.MediaPlayer2.Player") << changed << QStringList();
  QDBusConnection::sessionBus().send(signal);
}
