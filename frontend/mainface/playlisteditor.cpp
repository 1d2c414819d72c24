// The playlist editor behind item 0 ("Actual  ") of the saved-playlists menu, and what the
// window does with its answers: play the chosen entry, show a list the editor handed to the
// engine.
#include "mainface.h"

#include "dialogs/playlist.h"
#include "xmmsPlayer.h"

#include <QCoreApplication>

namespace {

QString enginePlaylistFile(const QString &home) { return home + "/.xmms/" + "xmms.m3u"; }

} // namespace

void MainFace::openPlaylistEditor() {
  // One editor at a time: an earlier one, hidden or not, goes first (writing what it still has
  // unsaved), so the new one reads the file as it now is.
  delete playlistEditor.data();
  auto *editor = new PlayList(this, enginePlaylistFile(baseDir));
  playlistEditor = editor;
  connect(editor, &PlayList::playlistCmd, this, &MainFace::playlistSlot);
  connect(editor, &PlayList::playlistApplied, this, [this](bool engineMissing) {
    // The engine came back stopped, on the new file.
    loadPlaylistFile(enginePlaylistFile(baseDir)); // the panel follows
    lastPosition = -1;
    playingFlag = pausedFlag = false;
    drawPlayStatus(2);
    if (engineMissing)
      showNotice(QCoreApplication::translate("velora", "No audio engine: cannot play"));
  });
  editor->openList();
}

void MainFace::playlistSlot() {
  if (controller)
    controller->setVolume(volumePercent);
  // The panel first, so that the position shown is measured against the list being played.
  loadPlaylistFile(enginePlaylistFile(baseDir));
  QString entry;
  const int index = playlistEditor ? playlistEditor->takeCurrent(entry) : -1;
  if (index >= 0 && controller && controller->isRunning()) {
    lastPosition = -1; // the same position of a new list is a new song
    plistPOSClick(index);
    drawPlayStatus(0);
  }
}
