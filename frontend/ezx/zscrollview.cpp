#include "zscrollview.h"

ZScrollView::ZScrollView(QWidget *parent, const char *name, Qt::WindowFlags flags)
    : QScrollArea(parent), contents(new QWidget) {
  if (name)
    setObjectName(QString::fromLatin1(name));
  setWindowFlags(windowFlags() | flags);
  setWidget(contents);
  setWidgetResizable(false);
}

void ZScrollView::addChild(QWidget *child, int x, int y) {
  child->setParent(contents);
  child->move(x, y);
  child->show();
  QRect need = contents->childrenRect().united(QRect(0, 0, 1, 1));
  contents->resize(need.right() + 1, need.bottom() + 1);
}

void ZScrollView::resizeContents(int w, int h) { contents->resize(w, h); }
