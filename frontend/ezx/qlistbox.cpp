#include "qlistbox.h"

#include "uiscale.h"

#include <QPainter>
#include <QStyledItemDelegate>

namespace {
constexpr int kItemRole = Qt::UserRole + 1;

// Hands each cell to QListBox::paintCell, after the usual selection background.
class CellDelegate : public QStyledItemDelegate {
public:
  explicit CellDelegate(QListBox *box) : QStyledItemDelegate(box), box(box) {}
  void paint(QPainter *p, const QStyleOptionViewItem &option,
             const QModelIndex &index) const override {
    p->save();
    if (option.state & QStyle::State_Selected)
      p->fillRect(option.rect, option.palette.highlight());
    p->translate(option.rect.topLeft());
    p->setClipRect(QRect(QPoint(0, 0), option.rect.size()));
    p->setPen(option.palette.color(
        (option.state & QStyle::State_Selected) ? QPalette::HighlightedText : QPalette::Text));
    box->paintCell(p, index.row(), 0);
    p->restore();
  }
  QSize sizeHint(const QStyleOptionViewItem &, const QModelIndex &index) const override {
    QListBoxItem *item = box->item(index.row());
    int h = item ? item->height(box) : 0;
    return QSize(box->cellWidth(), h > 0 ? h : box->cellHeight());
  }

private:
  QListBox *box;
};

QListBoxItem *itemOf(const QListWidgetItem *cell) {
  return cell ? static_cast<QListBoxItem *>(cell->data(kItemRole).value<void *>()) : nullptr;
}
} // namespace

QListBoxItem::QListBoxItem(QListBox *listBox, const QString &text, const QPixmap &pixmap)
    : txt(text), pix(pixmap) {
  if (listBox)
    listBox->attach(this, -1);
}

QListBoxItem::~QListBoxItem() {
  if (cell) {
    cell->setData(kItemRole, QVariant::fromValue<void *>(nullptr));
    delete cell; // takes it out of its box
  }
}

void QListBoxItem::setText(const QString &t) {
  txt = t;
  if (box)
    box->updateItem(this);
}

void QListBoxItem::setPixmap(const QPixmap &p) {
  pix = p;
  if (box)
    box->updateItem(this);
}

QListBox::QListBox(QWidget *parent, const char *name, Qt::WindowFlags flags) : QListWidget(parent) {
  if (name)
    setObjectName(QString::fromLatin1(name));
  setWindowFlags(windowFlags() | flags);
  rowHeight = uiPx(rowHeight); // the design's rows, at the window's scale
  setItemDelegate(new CellDelegate(this));
  setUniformItemSizes(false);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  connect(this, &QListWidget::currentRowChanged, this, [this](int row) {
    if (row >= 0)
      emit highlighted(row);
  });
  connect(this, &QListWidget::itemActivated, this,
          [this](QListWidgetItem *cell) { emit selected(row(cell)); });
  connect(this, &QListWidget::itemClicked, this,
          [this](QListWidgetItem *cell) { emit clicked(itemOf(cell)); });
  connect(this, &QListWidget::itemDoubleClicked, this,
          [this](QListWidgetItem *cell) { emit doubleClicked(itemOf(cell)); });
}

QListBox::~QListBox() { clear(); }

void QListBox::attach(QListBoxItem *item, int index) {
  item->box = this;
  item->cell = new QListWidgetItem;
  item->cell->setText(item->txt);
  item->cell->setData(kItemRole, QVariant::fromValue<void *>(item));
  if (index < 0 || index > QListWidget::count())
    index = QListWidget::count();
  QListWidget::insertItem(index, item->cell);
}

void QListBox::insertItem(const QString &text, int index) {
  attach(new QListBoxItem(nullptr, text), index);
}

void QListBox::insertItem(const QPixmap &pixmap, const QString &text, int index) {
  attach(new QListBoxItem(nullptr, text, pixmap), index);
}

void QListBox::insertItem(QListBoxItem *item, int index) {
  if (!item || item->box)
    return;
  attach(item, index);
}

void QListBox::removeItem(int index) { delete item(index); }

void QListBox::clear() {
  blockSignals(true);
  while (QListWidget::count() > 0) {
    QListWidgetItem *cell = QListWidget::item(0);
    QListBoxItem *owner = itemOf(cell);
    if (owner)
      delete owner;
    else
      delete cell;
  }
  blockSignals(false);
}

QListBoxItem *QListBox::item(int index) const {
  if (index < 0 || index >= QListWidget::count())
    return nullptr;
  return itemOf(QListWidget::item(index));
}

int QListBox::index(const QListBoxItem *item) const {
  return (item && item->box == this) ? row(item->cell) : -1;
}

QString QListBox::text(int index) const {
  QListBoxItem *it = item(index);
  return it ? it->text() : QString();
}

const QPixmap *QListBox::pixmap(int index) const {
  QListBoxItem *it = item(index);
  return it ? it->pixmap() : nullptr;
}

void QListBox::setCurrentItem(int index) {
  if (index >= 0 && index < QListWidget::count())
    setCurrentRow(index);
}

void QListBox::updateItem(int index) {
  QListBoxItem *it = item(index);
  if (!it)
    return;
  it->cell->setText(it->txt);
  viewport()->update(visualItemRect(it->cell));
}

int QListBox::topItem() const {
  QListWidgetItem *top = itemAt(2, 2);
  return top ? row(top) : 0;
}

void QListBox::setTopItem(int index) {
  if (QListWidgetItem *cell = QListWidget::item(index))
    scrollToItem(cell, QAbstractItemView::PositionAtTop);
}

void QListBox::setCellHeight(int h) {
  rowHeight = h > 0 ? h : 1;
  doItemsLayout();
}

int QListBox::cellWidth() const { return viewport()->width(); }

void QListBox::paintCell(QPainter *p, int row, int) {
  QListBoxItem *it = item(row);
  if (!it)
    return;
  int x = uiPx(2);
  if (const QPixmap *pm = it->pixmap()) {
    int h = it->height(this) > 0 ? it->height(this) : rowHeight;
    p->drawPixmap(x, (h - pm->height()) / 2, *pm);
    x += pm->width() + uiPx(4);
  }
  // A name longer than the row loses its middle, so its start and its ending stay readable.
  const int room = cellWidth() - x - uiPx(2);
  p->drawText(QRect(x, 0, cellWidth() - x, it->height(this) > 0 ? it->height(this) : rowHeight),
              Qt::AlignVCenter | Qt::AlignLeft,
              p->fontMetrics().elidedText(it->text(), Qt::ElideMiddle, room));
}
