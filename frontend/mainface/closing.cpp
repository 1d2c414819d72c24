// Closing the window: the close sequence that saves the volume and ends this session's engine,
// and closes asked for from outside the window (the desktop's Quit, a quit signal) that may
// arrive while a dialog runs its own event loop.
#include "mainface.h"

#include "kconfig.h"
#include "xmmsPlayer.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QTimer>

namespace {

// Closes every pop-up and rejects every modal dialog, innermost first. Returns true when there
// was any: their event loops are then still on the stack below us.
bool dismissDialogs() {
  bool found = false;
  // Bounded: a widget that refuses to close must not keep us here.
  for (int i = 0; i < 64; ++i) {
    if (QWidget *popup = QApplication::activePopupWidget()) {
      found = true;
      popup->close();
    } else if (QWidget *modal = QApplication::activeModalWidget()) {
      found = true;
      if (auto *dialog = qobject_cast<QDialog *>(modal))
        dialog->reject();
      else
        modal->close();
    } else {
      break;
    }
  }
  return found;
}

} // namespace

void MainFace::runCloseSequence() {
  if (closeSequenceRan)
    return;
  closeSequenceRan = true;
  if (checkTimer)
    checkTimer->stop(); // nothing polls an engine that is going away
  // Only this session's engine and the mplayer processes it started are ended, never anything
  // found by name; they are noted before the quit request, while they can still be told apart.
  const std::vector<pid_t> engine = XMMSPlayer::engineProcesses();
  if (controller) {
    controller->kill();
    controller->setVolume(100);
  }
  // The engine rewrites ~/.xmms/config whenever its settings change and once more as it quits,
  // each time from a fresh read. "Volume" is written once it has gone: then our read is newer
  // than its last save and nothing writes the file between our read and our write, so neither
  // its keys nor the volume can be lost.
  if (!XMMSPlayer::waitForProcessesToEnd(engine, 3000)) {
    XMMSPlayer::terminateProcesses(engine);
    XMMSPlayer::waitForProcessesToEnd(engine, 1000);
  }
  {
    KConfig config(baseDir + "/.xmms/config");
    config.setGroup("Winskin");
    config.writeEntry("Volume", volumePercent);
  }
  XMMSPlayer::terminateProcesses(engine);
}

bool MainFace::leaveTimingForClose() {
  if (!closeFromOutside)
    return leaveTiming(); // the user closes: asked about unsaved tapped times, may stay
  // Nobody is there to answer (a logout, the desktop's Quit): the tapped times are kept.
  if (timing.active()) {
    if (timing.unsaved())
      saveTimedLyrics();
    endTiming();
  }
  return true;
}

void MainFace::closeEvent(QCloseEvent *e) {
  if (QApplication::activeModalWidget() || QApplication::activePopupWidget()) {
    // Deleting the window now would pull it from under the dialog's event loop.
    e->ignore();
    requestClose(true);
    return;
  }
  if (!closeSequenceRan && !leaveTimingForClose()) {
    e->ignore(); // stamps not saved and the user chose to stay
    return;
  }
  runCloseSequence();
  e->accept();
  // The window deletes itself (delete-on-close) once the event returns.
}

void MainFace::requestClose(bool fromOutside) {
  if (closeSequenceRan)
    return;
  closeFromOutside = fromOutside;
  if (!dismissDialogs()) {
    close(); // the ordinary way: nothing but the main event loop is running
    return;
  }
  leaveTimingForClose();
  // A dialog's own event loop (and the code that waits for its answer) is still on the stack:
  // the window must outlive it. Everything the close sequence does happens now; then every
  // event loop is told to return, the dialogs' first, so that the code behind each of them
  // sees a dialog that was cancelled, and the program ends from its main loop.
  runCloseSequence();
  hide();
  QCoreApplication::exit(0);
}
