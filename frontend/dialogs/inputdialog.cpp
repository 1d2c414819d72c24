#include "inputdialog.h"

#include "gbkcodec.h"
#include "uiscale.h"
#include "zmultilineedit.h"
#include "zpushbutton.h"

#include <QApplication>
#include <QCoreApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QVBoxLayout>

InputDialog::InputDialog(QWidget *parent, const char *title, bool modal, Qt::WindowFlags flags)
    : QDialog(parent, flags) {
  const QString name = title && *title ? QString::fromUtf8(title) : QStringLiteral("InputDialog");
  setObjectName(name);
  setModal(modal);
  setWindowTitle(tr(title && *title ? title : "InputDialog"));
  // The dialogs' font at the window's scale; taken now, since the heights below are measured
  // from it before the dialog is first shown.
  setFont(QApplication::font(this));

  auto *layout = new QVBoxLayout(this);
  layout->setContentsMargins(uiPx(4), uiPx(4), uiPx(4), uiPx(4));
  layout->setSpacing(uiPx(2));
  prompt = new QLabel(QCoreApplication::translate("velora", "Name:"), this);
  prompt->setFixedHeight(prompt->fontMetrics().height() + uiPx(5));
  layout->addWidget(prompt);

  line = new ZMultiLineEdit(this);
  // One line of text: no wrapping, no scroll bars, Enter answers the dialog.
  line->setLineWrapMode(QPlainTextEdit::NoWrap);
  line->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  line->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  line->setFixedHeight(line->fontMetrics().height() + uiPx(12));
  line->setFilter(QRegExp(QStringLiteral("[^\\n\\r?/<>\\\\:\"*]")));
  line->installEventFilter(this);
  layout->addWidget(line);

  auto *row = new QHBoxLayout;
  row->setSpacing(0);
  ok = new ZPushButton(this);
  ok->setText(QCoreApplication::translate("velora", "Ok  "));
  cancel = new ZPushButton(this);
  cancel->setText(QCoreApplication::translate("velora", "Cancel"));
  row->addWidget(ok);
  row->addWidget(cancel);
  layout->addLayout(row);
  connect(ok, &QPushButton::clicked, this, &InputDialog::returned);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

  // As wide as the screen; as tall as the prompt, the line and the buttons need.
  setFixedWidth(uiPx(240));
  setFixedHeight(sizeHint().height());
  move(parent ? parent->mapToGlobal(QPoint(0, uiPx(50))) : QPoint(0, 50));
  line->setFocus();
}

bool InputDialog::eventFilter(QObject *watched, QEvent *event) {
  if (watched == line && event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent *>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
      returned();
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

void InputDialog::returned() {
  answer = line->text();
  accept();
}
