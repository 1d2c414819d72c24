#include "mylistbox.h"

#include "core/playable.h"
#include "core/storage.h"
#include "gbkcodec.h"
#include "playlist.h"
#include "uiscale.h"
#include "zskin.h"

#include <QDir>
#include <QPainter>

namespace {

QPixmap skinIcon(const char *name, int size) {
  const QPixmap p = ZSkin::skin()->getPixmap(QString::fromLatin1(name));
  return p.isNull() ? p : p.scaled(size, size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

QString fileNameOf(const QString &path) { return path.section(QLatin1Char('/'), -1); }

} // namespace

My_ListBox::My_ListBox(PlayList *owner, QWidget *parent)
    : UTIL_ListBox(QStringLiteral("ezx_util_list"), parent), owner(owner), icon(uiPx(iconPx)),
      cellHeight_(uiPx(cellHeightPx)), folderIcon(skinIcon("FMMS_Personal_Folder_S.g", icon)),
      fileIcon(skinIcon("FMMS_Personal_File_S.g", icon)),
      audioIcon(skinIcon("FMMS_File_Audio_S.g", icon)),
      cardIcon(skinIcon("FMMS_Personal_MMC_SD.g", icon)),
      checkedIcon(skinIcon("General_Selecte_Box_Selected.g", icon)),
      uncheckedIcon(skinIcon("General_Selecte_Box_Unselected.g", icon)) {
  setCellHeight(cellHeight_);
  connect(this, &QListBox::clicked, this, &My_ListBox::doItemClicked);
}

void My_ListBox::rebuild(int items) {
  clear();
  for (int i = 0; i < items; ++i)
    new UTIL_ListBoxItem(this, QString(), true);
}

void My_ListBox::setMode(int m) {
  if (m == 1) {
    browseInternalRoot();
    return;
  }
  mode_ = m;
  listing.clear();
  cardShown = internalRoot = false;
  rebuild(static_cast<int>(owner->entries().size()));
}

bool My_ListBox::browse(const QString &dir) {
  QDir lister(dir);
  if (dir.isEmpty() || !lister.exists() || !lister.isReadable()) {
    qWarning("velora: cannot list the folder %s", qPrintable(dir));
    return false;
  }
  const QString path = QDir::cleanPath(lister.absolutePath());
  listing = lister.entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot,
                                 QDir::Name | QDir::IgnoreCase | QDir::DirsFirst);
  dirPath = path;
  internalRoot = path == storage::internalRoot(owner->home());
  // Where the card and the internal storage are the same folder, the card item would only
  // lead back to where it is.
  cardShown = internalRoot && storage::cardRoot(owner->home()) != path;
  mode_ = 1;
  rebuild(static_cast<int>(listing.size()) + (cardShown ? 1 : 0));
  setTopItem(0);
  return true;
}

void My_ListBox::browseInternalRoot() {
  if (browse(storage::internalRoot(owner->home())))
    return;
  // Nothing of it to show, but the card is still offered and Back still leads to the list.
  listing.clear();
  dirPath = QDir::cleanPath(storage::internalRoot(owner->home()));
  internalRoot = true;
  cardShown = storage::cardRoot(owner->home()) != dirPath;
  mode_ = 1;
  rebuild(cardShown ? 1 : 0);
  setTopItem(0);
}

bool My_ListBox::isCardItem(int row) const {
  return mode_ == 1 && cardShown && row == listing.size();
}

bool My_ListBox::isTickable(int row) const {
  if (row < 0 || row >= static_cast<int>(count()))
    return false;
  if (mode_ == -1)
    return true;
  if (mode_ != 1 || row >= listing.size())
    return false;
  const QFileInfo &entry = listing.at(row);
  return !entry.isDir() && playable::isPlayable(entry.fileName());
}

bool My_ListBox::isChecked(int row) const {
  const auto *it = static_cast<const UTIL_ListBoxItem *>(item(row));
  return it && isTickable(row) && it->isChecked();
}

void My_ListBox::toggle(int row) {
  if (!isTickable(row))
    return;
  auto *it = static_cast<UTIL_ListBoxItem *>(item(row));
  it->setChecked(!it->isChecked());
  updateItem(row);
}

void My_ListBox::setChecks(int value) {
  for (int row = 0; row < static_cast<int>(count()); ++row) {
    if (!isTickable(row))
      continue;
    auto *it = static_cast<UTIL_ListBoxItem *>(item(row));
    it->setChecked(value == 1 ? true : value == -1 ? false : !it->isChecked());
  }
  viewport()->update();
}

void My_ListBox::doItemClicked(QListBoxItem *clickedItem) {
  const int row = index(clickedItem);
  if (row < 0)
    return;
  if (mode_ == -1) {
    toggle(row);
  } else if (mode_ == 1) {
    QString target;
    if (isCardItem(row))
      target = storage::cardRoot(owner->home());
    else if (row < listing.size() && listing.at(row).isDir())
      target = dirPath + "/" + listing.at(row).fileName();
    if (!target.isEmpty()) {
      // Entering rebuilds the list, so it waits until the list has finished with this click.
      QMetaObject::invokeMethod(
          this, [this, target] { browse(target); }, Qt::QueuedConnection);
    } else {
      toggle(row);
    }
  }
}

QString My_ListBox::elided(const QString &text, int x) const {
  return fontMetrics().elidedText(text, Qt::ElideMiddle, cellWidth() - x - uiPx(2));
}

void My_ListBox::paintCell(QPainter *p, int row, int) {
  const auto *it = static_cast<const UTIL_ListBoxItem *>(item(row));
  if (!it)
    return;
  const int iconY = (cellHeight_ - icon) / 2;
  const QRect textArea(0, 0, cellWidth(), cellHeight_);
  // Columns of the design (2, 26, 50), at the window's scale.
  const int first = uiPx(2), second = uiPx(26), third = uiPx(50), gap = uiPx(4);
  auto text = [&](int x, const QString &s) {
    p->drawText(textArea.adjusted(x, 0, 0, 0), Qt::AlignVCenter | Qt::AlignLeft, elided(s, x));
  };
  const QPixmap &box = it->isChecked() ? checkedIcon : uncheckedIcon;

  if (mode_ == 0 || mode_ == -1) {
    const QStringList &songs = owner->entries();
    if (row >= songs.size())
      return;
    const QString label = QString::number(row + 1) + "." + fileNameOf(songs.at(row));
    int x = first;
    if (mode_ == -1) {
      p->drawPixmap(x, iconY, box);
      x += icon + gap;
    }
    p->drawPixmap(x, iconY, audioIcon);
    text(x + icon + gap, label);
    return;
  }

  if (isCardItem(row)) {
    p->drawPixmap(first, iconY, cardIcon);
    text(second, fromGbk("SD/MMC"));
    return;
  }
  if (row >= listing.size())
    return;
  const QFileInfo &entry = listing.at(row);
  if (entry.isDir()) {
    p->drawPixmap(first, iconY, folderIcon);
    text(second, entry.fileName());
  } else if (!isTickable(row)) {
    p->drawPixmap(first, iconY, fileIcon);
    text(second, entry.fileName());
  } else {
    p->drawPixmap(first, iconY, audioIcon);
    p->drawPixmap(second, iconY, box);
    text(third, entry.fileName());
  }
}
