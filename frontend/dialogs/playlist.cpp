#include "playlist.h"

#include "core/enginerestart.h"
#include "core/m3u.h"
#include "core/storage.h"
#include "gbkcodec.h"
#include "mylistbox.h"
#include "qpopupmenu.h"
#include "uiscale.h"
#include "util_pushbutton.h"
#include "xmmsPlayer.h"
#include "zmessagebox.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLabel>

namespace {

constexpr int kWidth = 240, kHeight = 320;
constexpr int kOkWidth = 110;

} // namespace

PlayList::PlayList(QWidget *parent, const QString &playlistFile)
    : QDialog(parent), homeDir(QDir::homePath()), file(playlistFile),
      controller(XMMSPlayer::instance) {
  setObjectName("PlayList");
  setWindowTitle(QCoreApplication::translate("velora", "Playlist"));
  // Pixel sizes: a point size would grow with the screen's dpi and push names out of 240 px.
  const QFont f = uiFont(font(), 14);
  setFont(f);
  setFixedSize(uiPx(kWidth), uiPx(kHeight));
  if (parent)
    move(parent->mapToGlobal(QPoint(0, 0)));

  title = new QLabel(QCoreApplication::translate("velora", "My playlist"), this);
  title->setGeometry(0, 0, uiPx(kWidth), uiPx(25));
  title->setAlignment(Qt::AlignCenter);
  QFont bold = f;
  bold.setBold(true);
  title->setFont(bold);

  list = new My_ListBox(this, this);
  list->setGeometry(0, uiPx(25), uiPx(kWidth), uiPx(260));
  // A double tap (or Enter) on a song of the list plays it, as OK does; queued, because OK
  // clears the list that is still handling the tap.
  connect(list, &QListBox::selected, this, [this](int) {
    if (mode_ == 0)
      QMetaObject::invokeMethod(this, &PlayList::hideWithOk, Qt::QueuedConnection);
  });

  const int rowY = uiPx(kHeight - UTIL_PushButton::defaultHeight - 2);
  menuBtn = new UTIL_PushButton("CST_Menu", QString(), this);
  menuBtn->move(0, rowY);
  okBtn = new UTIL_PushButton("CST_Button", QCoreApplication::translate("velora", "OK  "), this, 0,
                              kOkWidth, UTIL_PushButton::defaultHeight - 2);
  okBtn->move(uiPx((kWidth - kOkWidth) / 2), rowY + uiPx(1));
  backBtn = new UTIL_PushButton("CST_Back", QString(), this);
  backBtn->move(uiPx(kWidth) - backBtn->width(), rowY);
  connect(menuBtn, &QPushButton::clicked, this, &PlayList::doShowPopup);
  connect(okBtn, &QPushButton::clicked, this, &PlayList::hideWithOk);
  connect(backBtn, &QPushButton::clicked, this, &PlayList::hideWithCancel);

  menu = new QPopupMenu(this);
  menu->insertItem(QCoreApplication::translate("velora", "Check all"), CheckAll);
  menu->insertItem(QCoreApplication::translate("velora", "Uncheck all"), UncheckAll);
  menu->insertItem(QCoreApplication::translate("velora", "Invert checks"), InvertChecks);
  menu->insertSeparator();
  menu->insertItem(QCoreApplication::translate("velora", "Add songs"), AddSongs);
  menu->insertItem(QCoreApplication::translate("velora", "Remove songs"), RemoveSongs);
  menu->insertItem(QCoreApplication::translate("velora", "Open playlist"), OpenPlaylist);
  menu->insertItem(QCoreApplication::translate("velora", "Save as"), SaveAs);
  menu->insertItem(QCoreApplication::translate("velora", "Delete playlist"), DeletePlaylist);
  connect(menu, &QPopupMenu::activated, this, &PlayList::menuSelect);

  load(file);
  // The song the engine is at is the one highlighted when the list opens.
  if (controller && controller->isRunning())
    current = controller->position();
  setMode(0);
}

PlayList::~PlayList() {
  if (changeCount != 0 && !save(file))
    qWarning("velora: cannot write %s; the playlist changes are lost", qPrintable(file));
}

bool PlayList::load(const QString &path) {
  const auto read = m3u::read(path);
  if (!read)
    return false;
  file = path;
  songs = *read;
  changeCount = 0;
  if (mode_ != 1)
    list->setMode(mode_);
  return true;
}

bool PlayList::save(const QString &path) const {
  QDir().mkpath(QFileInfo(path).absolutePath());
  return m3u::write(path, songs);
}

int PlayList::addUnique(const QString &path) {
  if (path.contains(QLatin1Char('\n'))) {
    // The playlist file could not hold it, and a list that differs from its file would send
    // a tap on one song to another.
    qWarning("velora: a file name with a line break cannot be in a playlist; not added");
    return -1;
  }
  const int at = static_cast<int>(songs.indexOf(path));
  if (at >= 0)
    return at;
  songs << path;
  ++changeCount;
  return static_cast<int>(songs.size());
}

void PlayList::reload() {
  const int mode = mode_;
  if (!load(file))
    return;
  current = songs.isEmpty() ? -1 : 0;
  if (mode != 1)
    setMode(0); // ticks of remove mode named entries of the old list
}

void PlayList::remove(int index) {
  if (index < 0 || index >= songs.size())
    return;
  songs.removeAt(index);
  ++changeCount;
}

void PlayList::setMode(int m) {
  mode_ = m;
  okBtn->setText(
      QCoreApplication::translate("velora", m == 0   ? QT_TRANSLATE_NOOP("velora", "OK  ")
                                            : m == 1 ? QT_TRANSLATE_NOOP("velora", "Add  ")
                                                     : QT_TRANSLATE_NOOP("velora", "Remove  ")));
  menu->setItemEnabled(AddSongs, m == 0);
  menu->setItemEnabled(RemoveSongs, m == 0);
  for (int id : {CheckAll, UncheckAll, InvertChecks})
    menu->setItemEnabled(id, m != 0);
  list->setMode(m);
  if (m == 0 && current >= 0 && current < songs.size())
    list->setCurrentItem(current);
}

int PlayList::openList() {
  if (isVisible()) {
    show();
    raise();
    return -1;
  }
  setMode(0);
  show();
  return 0;
}

int PlayList::takeCurrent(QString &text) {
  if (songs.isEmpty())
    return -1;
  if (current < 0 || current >= songs.size())
    current = 0;
  text = songs.at(current);
  return current;
}

void PlayList::apply() {
  // The list as it is now is what the restarted engine gets, written once the old engine has
  // gone; the dialog answers meanwhile.
  const QString target = file;
  const QStringList list = songs;
  enginerestart::restart(
      controller,
      [target, list] {
        return QDir().mkpath(QFileInfo(target).absolutePath()) && m3u::write(target, list);
      },
      this,
      [this, target, list](const enginerestart::Outcome &outcome) {
        if (outcome.written) {
          // On disk now: a later close must not write this list over a newer one.
          if (songs == list)
            changeCount = 0;
        } else {
          qWarning("velora: cannot write %s", qPrintable(target));
          tell(QCoreApplication::translate("velora", "The playlist could not be written."));
        }
        emit playlistApplied(outcome.noEngineProgram || !outcome.engineUp);
      });
  setMode(0);
}

void PlayList::hideWithOk() {
  if (mode_ == -1) {
    const int before = changeCount;
    if (static_cast<int>(list->count()) == songs.size())
      for (int row = static_cast<int>(list->count()) - 1; row >= 0; --row)
        if (list->isChecked(row))
          remove(row);
    // Nothing ticked: the engine keeps playing.
    if (changeCount != before)
      apply();
    else
      setMode(0);
  } else if (mode_ == 1) {
    const int before = changeCount;
    const QFileInfoList &shown = list->entries();
    if (static_cast<int>(list->count()) >= shown.size())
      for (int row = 0; row < shown.size(); ++row)
        if (list->isChecked(row))
          addUnique(shown.at(row).absoluteFilePath());
    if (changeCount != before)
      apply();
    else
      setMode(0);
  } else {
    if (list->currentItem() >= 0)
      current = list->currentItem();
    hide();
    list->clear();
    emit playlistCmd();
  }
}

void PlayList::hideWithCancel() {
  if (mode_ == -1) {
    setMode(0);
  } else if (mode_ == 1) {
    const QString here = list->currentDir();
    if (list->atInternalRoot())
      setMode(0);
    else if (here == storage::cardRoot(homeDir))
      list->browseInternalRoot();
    else if (!list->browse(here + "/.."))
      setMode(0);
  } else {
    hide();
    list->clear();
  }
}

void PlayList::doShowPopup() {
  const int y = height() - uiPx(UTIL_PushButton::defaultHeight - 2) - menu->sizeHint().height();
  menu->popup(mapToGlobal(QPoint(0, y)));
}

void PlayList::tell(const QString &text) {
  // The box shows rich text; a message naming a file must not be read as markup.
  ZMessageBox::information(this, QPixmap(), text.toHtmlEscaped(),
                           QCoreApplication::translate("velora", "Ok  "));
}
