#include "viewdialog.h"

#include "filebrowser.h"
#include "gbkcodec.h"
#include "uiscale.h"
#include "util_pushbutton.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

ViewDialog::ViewDialog(QWidget *parent, const QString &filter, bool modal, Qt::WindowFlags flags)
    : QDialog(parent, flags) {
  setObjectName(filter);
  setModal(modal);
  setWindowTitle(QCoreApplication::translate("velora", "Open Folder"));
  // Over the main window's picture, as large as the window's scale makes everything.
  const QPoint at = parent ? parent->mapToGlobal(QPoint(uiPx(10), uiPx(46))) : QPoint(10, 46);
  setGeometry(at.x(), at.y(), uiPx(220), uiPx(240));

  auto *layout = new QVBoxLayout(this);
  layout->setContentsMargins(uiPx(2), uiPx(2), uiPx(2), uiPx(2));
  layout->setSpacing(uiPx(2));
  label = new QLabel(QCoreApplication::translate("velora", "Open Folder "), this);
  layout->addWidget(label);

  list = new FileBrowser(filter, this, "browser");
  layout->addWidget(list, 1);

  auto *row = new QHBoxLayout;
  row->setSpacing(0);
  // The menu button has no action here; it keeps the button row the same as elsewhere.
  menu = new UTIL_PushButton("CST_Menu", QString(), this);
  ok = new UTIL_PushButton("CST_Button", QCoreApplication::translate("velora", "Ok  "), this, 0, 90,
                           UTIL_PushButton::defaultHeight - 2);
  back = new UTIL_PushButton("CST_Back", QString(), this);
  row->addWidget(menu);
  row->addStretch(1);
  row->addWidget(ok);
  row->addStretch(1);
  row->addWidget(back);
  layout->addLayout(row);
  connect(ok, &QPushButton::clicked, this, &ViewDialog::returned);
  connect(back, &QPushButton::clicked, this, &QDialog::close);

  list->setFocus();
}

void ViewDialog::setHeading(const QString &text) { label->setText(text); }

void ViewDialog::returned() {
  answer = list->currentFile();
  accept();
}
