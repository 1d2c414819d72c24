// The About box of the main menu; its second button opens the readme viewer.
#include "mainface.h"

#include "dialogs/xreadmewidget.h"
#include "gbkcodec.h"
#include "zmessagebox.h"

#include <QCoreApplication>

namespace {

// Rich text with the version and the last line as arguments; translated like every menu text.
const char kAboutText[] = QT_TRANSLATE_NOOP("velora", "<font size=3><b>velora %1</b></font><br>"
                                                      "<font size=2>For Motorola E6 and A1200<br>"
                                                      "Contact: the velora project<br>"
                                                      "----------------------------<br>"
                                                      "Qt 6 edition for Linux<br>"
                                                      "----------------------------<br>"
                                                      "%2</font>");

} // namespace

void MainFace::sltAbout() {
  const QString text =
      QCoreApplication::translate("velora", kAboutText)
          .arg(fromGbk("V3.20"),
               QCoreApplication::translate("velora", "GPL-2.0-or-later. Cancel: ~/readme")
                   .toHtmlEscaped());
  const int answer =
      ZMessageBox::information(this, QPixmap(), text, QCoreApplication::translate("velora", "Ok  "),
                               QCoreApplication::translate("velora", "Cancel  "), QString(), 1);
  // A box cancelled by a close (the desktop's Quit) opens nothing more.
  if (answer == 1 && !closing())
    (new XreadmeWidget(this, nullptr, false))->show();
}
