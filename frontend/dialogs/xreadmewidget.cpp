#include "xreadmewidget.h"

#include "gbkcodec.h"
#include "uiscale.h"
#include "util_pushbutton.h"
#include "zmultilineedit.h"
#include "zscrollview.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QHBoxLayout>
#include <QTextCodec>
#include <QTextDocument>
#include <QVBoxLayout>

namespace {

constexpr int kFieldWidth = 215;
constexpr int kFieldMinHeight = 25;

} // namespace

XreadmeWidget::XreadmeWidget(QWidget *parent, const char *name, bool modal) : QDialog(parent) {
  if (name)
    setObjectName(QString::fromLatin1(name));
  setModal(modal);
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle(QCoreApplication::translate("velora", "Readme"));
  setGeometry(0, 0, uiPx(236), uiPx(320));
  if (parent)
    move(parent->mapToGlobal(QPoint(0, 0)));

  auto *layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, uiPx(2));
  layout->setSpacing(uiPx(2));
  view = new ZScrollView(this);
  view->enableClipper(true);
  view->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  layout->addWidget(view, 1);

  auto *row = new QHBoxLayout;
  row->addStretch(1);
  back = new UTIL_PushButton("CST_Back", QString(), this, 0, UTIL_PushButton::defaultWidth,
                             UTIL_PushButton::defaultHeight - 2);
  row->addWidget(back);
  layout->addLayout(row);
  connect(back, &QPushButton::clicked, this, &QWidget::close);

  text = new ZMultiLineEdit(nullptr);
  text->setReadOnly(true); // nothing typed here would ever be saved
  text->setFrameShape(QFrame::NoFrame);
  text->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  text->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  loadReadme();
}

void XreadmeWidget::loadReadme() {
  const QFont f = uiFont(font(), 15); // pixels, so a line holds the same text at any dpi
  text->setFont(f);
  QFile file(QDir::homePath() + "/readme");
  if (file.open(QIODevice::ReadOnly)) {
    QTextCodec *codec = QTextCodec::codecForName("GBK");
    const QByteArray bytes = file.readAll();
    text->setPlainText(codec ? codec->toUnicode(bytes) : QString::fromLatin1(bytes));
  }
  // The field is as tall as its wrapped text (and a spare line): the scroll view scrolls.
  QTextDocument layout;
  layout.setDefaultFont(f);
  layout.setPlainText(text->toPlainText());
  layout.setTextWidth(uiPx(kFieldWidth) - 2 * text->frameWidth());
  const int height = static_cast<int>(layout.size().height()) + text->fontMetrics().lineSpacing();
  text->resize(uiPx(kFieldWidth), qMax(uiPx(kFieldMinHeight), height));
  view->addChild(text, uiPx(4), uiPx(4));
}

void XreadmeWidget::doSave() { close(); }

void XreadmeWidget::doCancel() { close(); }
