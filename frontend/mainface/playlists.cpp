// The engine's playlist is never edited entry by entry: to change what is played, the engine is
// stopped, its playlist file (~/.xmms/xmms.m3u, read by the engine when it starts) is replaced
// and the engine is started again. Also the saved-playlists menu behind it.
#include "mainface.h"

#include "core/enginerestart.h"
#include "core/m3u.h"
#include "core/playable.h"
#include "dialogs/playlist.h"
#include "xmmsPlayer.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

namespace {

QString playlistFile(const QString &home) {
  QDir().mkpath(home + "/.xmms"); // a first start may not have it yet
  return home + "/.xmms/" + "xmms.m3u";
}

} // namespace

void MainFace::playFirstEntry() {
  if (!controller || playlistModel.isEmpty() || !controller->isRunning())
    return;
  lastPosition = -1; // a new list: entry 0 is a new song even if the old list was at 0
  plistPOSClick(0);
  drawPlayStatus(0);
}

void MainFace::playFolder(const QString &folder) {
  // Listed before the engine is touched: a folder that cannot be read leaves it playing.
  if (folder.isEmpty() || !QDir(folder).exists() || !QDir(folder).isReadable()) {
    qWarning("velora: cannot read the folder %s", qPrintable(folder));
    return;
  }
  const QStringList songs = playable::songsIn(folder);
  if (songs.isEmpty()) {
    // An empty playlist would leave nothing to play and lose the one the user had.
    qWarning("velora: no songs in %s; the playlist stays", qPrintable(folder));
    showNotice(QCoreApplication::translate("velora", "No songs in this folder"));
    return;
  }
  playSongs(songs);
}

void MainFace::playSongs(const QStringList &songs) {
  const QString file = playlistFile(baseDir);
  replaceEnginePlaylist([file, songs] { return m3u::write(file, songs); });
}

void MainFace::replaceEnginePlaylist(std::function<bool()> rewrite) {
  showNotice(QCoreApplication::translate("velora", "Starting the audio engine..."));
  const QString file = playlistFile(baseDir);
  enginerestart::restart(controller, std::move(rewrite), this,
                         [this, file](const enginerestart::Outcome &outcome) {
                           if (!outcome.written)
                             qWarning("velora: cannot write %s", qPrintable(file));
                           enginePlaylistReplaced(outcome);
                         });
}

void MainFace::enginePlaylistReplaced(const enginerestart::Outcome &outcome) {
  loadPlaylistFile(playlistFile(baseDir)); // the panel follows
  // An editor that is open shows the new list; it must never write its old one back.
  if (playlistEditor)
    playlistEditor->reload();
  if (outcome.noEngineProgram)
    showNotice(QCoreApplication::translate("velora", "No audio engine: cannot play"));
  else if (!outcome.engineUp)
    showNotice(QCoreApplication::translate("velora", "The audio engine did not start"));
  else
    noticeTicks = 0; // the "starting" notice has done its work
  playFirstEntry();
}

bool MainFace::playSavedPlaylist(const QString &file) {
  QFile source(file);
  if (!source.open(QIODevice::ReadOnly)) {
    qWarning("velora: cannot read the playlist %s", qPrintable(file));
    return false;
  }
  const QByteArray bytes = source.readAll();
  const QString target = playlistFile(baseDir);
  replaceEnginePlaylist([target, bytes] { return m3u::writeAtomically(target, bytes); });
  return true;
}

void MainFace::refillPlaylistMenu() {
  if (!playlistMenu)
    return;
  for (int id = 1; id <= 8; ++id)
    playlistMenu->removeItem(id);
  savedPlaylists.clear();
  QDir folder(baseDir + "/playlist");
  folder.setNameFilters({"*.m3u"});
  folder.setSorting(QDir::Name | QDir::IgnoreCase);
  int id = 1;
  for (const QString &name : folder.entryList(QDir::Files)) {
    if (id > 7)
      break; // the menu offers seven
    // Shown by the name up to its first dot, but the file itself is what gets loaded.
    playlistMenu->insertItem(name.section(QLatin1Char('.'), 0, 0), id);
    savedPlaylists.insert(id, folder.filePath(name));
    ++id;
  }
}

void MainFace::selectMenumplist(int id) {
  if (id == 0)
    openPlaylistEditor();
  else if (id >= 1 && id <= 7 && savedPlaylists.contains(id))
    playSavedPlaylist(savedPlaylists.value(id));
  // Negative ids do nothing.
}
