// The list box of the phone's toolkit (Qt 2's QListBox), on QListWidget. Items are owned by the
// box; cells are painted by the virtual paintCell() with the painter placed at the cell's
// top-left corner, so subclasses draw each cell themselves.
#pragma once

#include <QListWidget>
#include <QPixmap>
#include <QString>

class QListBox;

class QListBoxItem {
public:
  // Appends the item to box (when given); the box owns it from then on.
  explicit QListBoxItem(QListBox *box = nullptr, const QString &text = QString(),
                        const QPixmap &pixmap = QPixmap());
  virtual ~QListBoxItem();
  QListBoxItem(const QListBoxItem &) = delete;
  QListBoxItem &operator=(const QListBoxItem &) = delete;

  QString text() const { return txt; }
  void setText(const QString &t);
  const QPixmap *pixmap() const { return pix.isNull() ? nullptr : &pix; }
  void setPixmap(const QPixmap &p);
  QListBox *listBox() const { return box; }
  // Height of the item's cell; 0 takes the box's cell height.
  virtual int height(const QListBox *) const { return 0; }

private:
  friend class QListBox;
  QListBox *box = nullptr;
  QListWidgetItem *cell = nullptr;
  QString txt;
  QPixmap pix;
};

class QListBox : public QListWidget {
  Q_OBJECT
public:
  explicit QListBox(QWidget *parent = nullptr, const char *name = nullptr,
                    Qt::WindowFlags flags = {});
  ~QListBox() override;

  void insertItem(const QString &text, int index = -1);
  void insertItem(const QPixmap &pixmap, const QString &text, int index = -1);
  void insertItem(QListBoxItem *item, int index = -1);
  void removeItem(int index);
  void clear();
  uint count() const { return static_cast<uint>(QListWidget::count()); }

  QListBoxItem *item(int index) const;
  int index(const QListBoxItem *item) const;
  QString text(int index) const;
  const QPixmap *pixmap(int index) const;
  int currentItem() const { return currentRow(); }
  void setCurrentItem(int index);
  void setCurrentItem(QListBoxItem *item) { setCurrentItem(index(item)); }
  QListBoxItem *selectedItem() const { return item(currentRow()); }
  void updateItem(int index);
  void updateItem(QListBoxItem *item) { updateItem(index(item)); }
  int topItem() const;
  void setTopItem(int index);

  int cellHeight() const { return rowHeight; }
  void setCellHeight(int h);
  int cellWidth() const;

  // Paints cell row (column always 0); the painter's origin is the cell's top-left corner. The
  // default draws the item's pixmap and text.
  virtual void paintCell(QPainter *painter, int row, int col);

signals:
  void highlighted(int index);
  void selected(int index);
  void clicked(QListBoxItem *item);
  void doubleClicked(QListBoxItem *item);

private:
  friend class QListBoxItem;
  void attach(QListBoxItem *item, int index);
  int rowHeight = 32;
};
