// The About box of the main menu; its second button opens the readme viewer.
#include "mainface.h"

#include "dialogs/xreadmewidget.h"
#include "gbkcodec.h"
#include "zmessagebox.h"

namespace {

// 8-bit text like the program's other literals, decoded through the GBK codec.
const char kAboutText[] = "<font size=3><b>velora %1</b></font><br>"
                          "<font size=2>For Motorola E6 and A1200<br>"
                          "Contact: the velora project<br>"
                          "----------------------------<br>"
                          "Qt 6 edition for Linux<br>"
                          "----------------------------<br>"
                          "%2</font>";

} // namespace

void MainFace::sltAbout() {
  const QString text =
      fromGbk(kAboutText)
          .arg(fromGbk("V3.20"), fromGbk("GPL-2.0-or-later. Cancel: ~/readme").toHtmlEscaped());
  const int answer = ZMessageBox::information(this, QPixmap(), text, fromGbk("Ok  "),
                                              fromGbk("Cancel  "), QString(), 1);
  // A box cancelled by a close (the desktop's Quit) opens nothing more.
  if (answer == 1 && !closing())
    (new XreadmeWidget(this, nullptr, false))->show();
}
