// Commands that open a dialog or a menu before anything happens: open a folder and play it
// (code 5), the equalizer presets (code 10), the saved playlists (code 25), and the wallpaper
// entry of the main menu.
#include "mainface.h"

#include "core/playable.h"
#include "core/storage.h"
#include "dialogs/eqwidget.h"
#include "dialogs/filebrowser.h"
#include "dialogs/viewdialog.h"
#include "gbkcodec.h"
#include "kconfig.h"
#include "uiscale.h"
#include "xmmsPlayer.h"

#include <QCoreApplication>

#include <memory>

void MainFace::openFolderCommand() {
  auto dialog = std::make_unique<ViewDialog>(this, playable::nameFilters().join(' '), true);
  dialog->browser()->setDir(storage::cardRoot(baseDir));
  // The folder shown is played, whatever is highlighted in it.
  if (dialog->exec() == QDialog::Accepted)
    playFolder(dialog->browser()->currentDir());
}

void MainFace::presetsCommand() {
  auto *dialog = new eqWidget(this);
  presetsDialog = dialog;
  dialog->setGeometry(QRect(mapToGlobal(toWindow(QPoint(20, 50))), QSize(uiPx(200), uiPx(220))));
  connect(dialog, &eqWidget::equalizerChange, this, &MainFace::equalizerChangeSlot);
  dialog->exec();
  // "Ok  " deletes the dialog itself; one closed without a choice goes here.
  if (presetsDialog && presetsDialog->result() != QDialog::Accepted)
    presetsDialog->deleteLater();
}

void MainFace::equalizerChangeSlot() {
  if (!controller)
    return;
  for (int band = 0; band < 10; ++band)
    setEqValue(band, static_cast<int>(controller->band(band)));
}

void MainFace::playlistMenuCommand() {
  if (!playlistMenu)
    return;
  refillPlaylistMenu();
  playlistMenu->popup(mapToGlobal(toWindow(QPoint(70, 100))));
}

void MainFace::chooseWallpaper() {
  auto dialog = std::make_unique<ViewDialog>(this, "*.png", true);
  dialog->setWindowTitle(QCoreApplication::translate("velora", "Wallpaper"));
  dialog->browser()->setDir(baseDir + "/skins/");
  if (dialog->exec() != QDialog::Accepted || dialog->result().isEmpty())
    return; // nothing picked: the wallpaper stays
  const QString path = dialog->result();
  QImage picture(path, "PNG");
  if (picture.isNull()) {
    qWarning("velora: %s is not a PNG picture; the wallpaper stays", qPrintable(path));
    return;
  }
  wallpaperPixmap = picture;
  wallpaperPath = path;
  wallpaperLoaded = true;
  KConfig settings(baseDir + "/.xmms/pelmar_cfg");
  settings.setGroup("pelskin");
  settings.writeEntry("backskin", QString::fromLatin1(path.toUtf8()));
  settings.sync();
  if (windowMode == HorizontalMode)
    repaintAll();
}
