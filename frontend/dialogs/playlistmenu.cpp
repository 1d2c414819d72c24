// The editor's menu: the check commands, the two editing modes and the saved-playlist files.
// Names the user types or picks only ever name files in ~/playlist: a name is checked again
// here (the input dialog's filter is one guard, not the only one) and a picked file must lie in
// that folder before it is deleted.
#include "playlist.h"

#include "core/m3u.h"
#include "filebrowser.h"
#include "gbkcodec.h"
#include "inputdialog.h"
#include "mylistbox.h"
#include "viewdialog.h"
#include "zmessagebox.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <memory>

namespace {

constexpr int kMaxFileNameBytes = 255;

QString askedName(QWidget *parent) {
  auto dialog = std::make_unique<InputDialog>(parent, "Make Directory", true);
  // The object keeps its old name; the caption says what the name is for.
  dialog->setWindowTitle(QCoreApplication::translate("velora", "Save playlist as"));
  if (dialog->exec() != QDialog::Accepted)
    return QString();
  return dialog->result().isNull() ? QStringLiteral("") : dialog->result();
}

// The picked file of a folder view over folder, or a null text when cancelled.
QString pickedPlaylist(QWidget *parent, const QString &folder) {
  QDir().mkpath(folder);
  auto dialog = std::make_unique<ViewDialog>(parent, "*.m3u", true);
  dialog->setWindowTitle(QCoreApplication::translate("velora", "Playlists"));
  dialog->browser()->setDir(folder);
  if (dialog->exec() != QDialog::Accepted)
    return QString();
  return dialog->result();
}

bool ask(QWidget *parent, const QString &question, const char *yes) {
  return ZMessageBox::information(
             parent, QPixmap(), question, QCoreApplication::translate("velora", yes),
             QCoreApplication::translate("velora", "Cancel  "), QString(), 1) == 0;
}

} // namespace

QString PlayList::nameProblem(const QString &name) {
  const QString t = name.trimmed();
  if (t.isEmpty())
    return QCoreApplication::translate("velora", "Type a name for the playlist.");
  if (t.count(QLatin1Char('.')) == t.size())
    return QCoreApplication::translate("velora", "A name of dots only cannot name a playlist.");
  if (t.startsWith(QLatin1Char('.')))
    return QCoreApplication::translate("velora", "A playlist name cannot begin with a dot.");
  for (const QChar c : t)
    if (QStringLiteral("/\\:*?\"<>\n\r").contains(c) || c.isNull() ||
        c.category() == QChar::Other_Control)
      return QCoreApplication::translate("velora",
                                         "A playlist name cannot hold / \\ : * ? \" < or >.");
  if ((t + ".m3u").toUtf8().size() > kMaxFileNameBytes)
    return QCoreApplication::translate("velora", "The name is too long.");
  return QString();
}

void PlayList::menuSelect(int id) {
  switch (id) {
  case CheckAll:
    list->setChecks(1);
    break;
  case UncheckAll:
    list->setChecks(-1);
    break;
  case InvertChecks:
    list->setChecks(0);
    break;
  case AddSongs:
    setMode(1);
    break;
  case RemoveSongs:
    setMode(-1);
    break;
  case OpenPlaylist:
    openPlaylist();
    break;
  case SaveAs:
    saveAs();
    break;
  case DeletePlaylist:
    deletePlaylist();
    break;
  default:
    break;
  }
}

void PlayList::openPlaylist() {
  const QString picked = pickedPlaylist(this, savedFolder());
  if (picked.isEmpty())
    return;
  const auto read = m3u::read(picked);
  if (!read) {
    tell(QCoreApplication::translate("velora", "The playlist could not be read."));
    return;
  }
  const int before = changeCount;
  for (const QString &song : *read)
    addUnique(song);
  if (changeCount != before)
    apply(); // every song already listed: nothing to hand to the engine
}

void PlayList::saveAs() {
  const QString typed = askedName(this);
  if (typed.isNull())
    return;
  const QString problem = nameProblem(typed);
  if (!problem.isEmpty()) {
    tell(problem);
    return;
  }
  const QString name = typed.trimmed();
  const QString target = savedFolder() + "/" + name + ".m3u";
  if (QFileInfo::exists(target) &&
      !ask(this,
           QCoreApplication::translate("velora", "Replace the saved playlist ") +
               name.toHtmlEscaped() + "?",
           QT_TRANSLATE_NOOP("velora", "Replace")))
    return;
  if (!save(target))
    tell(QCoreApplication::translate("velora", "The playlist could not be written."));
}

void PlayList::deletePlaylist() {
  const QString picked = pickedPlaylist(this, savedFolder());
  if (picked.isEmpty() || !QFileInfo(picked).isFile())
    return;
  // The folder view can climb out of ~/playlist; only the saved playlists there may go.
  const QFileInfo info(picked);
  const QString folder = QFileInfo(info.absolutePath()).canonicalFilePath();
  if (folder.isEmpty() || folder != QFileInfo(savedFolder()).canonicalFilePath() ||
      info.suffix().compare("m3u", Qt::CaseInsensitive) != 0) {
    tell(QCoreApplication::translate("velora", "Only the playlists in ") + savedFolder() +
         QCoreApplication::translate("velora", " can be deleted."));
    return;
  }
  if (!ask(this,
           QCoreApplication::translate("velora", "Delete the playlist ") +
               info.completeBaseName().toHtmlEscaped() + "?",
           QT_TRANSLATE_NOOP("velora", "Delete")))
    return;
  if (!QFile::remove(picked))
    tell(QCoreApplication::translate("velora", "The playlist could not be deleted."));
}
