#include "viewdialog.h"

#include "filebrowser.h"
#include "gbkcodec.h"
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
  setGeometry(10, 46, 220, 240);

  auto *layout = new QVBoxLayout(this);
  layout->setContentsMargins(2, 2, 2, 2);
  layout->setSpacing(2);
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

void ViewDialog::returned() {
  answer = list->currentFile();
  accept();
}
