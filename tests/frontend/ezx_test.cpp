// The phone-framework classes on Qt 6: raw key events, menus with ids, list box, text filter,
// icons and the GBK codec.
#include "gbkcodec.h"
#include "guiapp.h"
#include "qpopupmenu.h"
#include "res_icon_reader.h"
#include "sharedir.h"
#include "testenv.h"
#include "util_listbox.h"
#include "zmainwidget.h"
#include "zmultilineedit.h"
#include "zskin.h"

#include <QApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QSignalSpy>
#include <gtest/gtest.h>

#include <tuple>
#include <vector>

namespace {

struct RawKey {
  int code;
  bool press;
  bool repeat;
  bool operator==(const RawKey &o) const {
    return std::tie(code, press, repeat) == std::tie(o.code, o.press, o.repeat);
  }
};

class KeyWidget : public ZMainWidget {
public:
  std::vector<RawKey> keys;
  int focusIns = 0;
  int toolkitKeys = 0;
  bool take = true;

protected:
  bool qwsEvent(QWSEvent *e) override {
    if (e->type == QWSEvent::Key) {
      auto *k = static_cast<QWSKeyEvent *>(e);
      keys.push_back({k->keycode, k->isPress(), k->isAutoRepeat()});
      return take;
    }
    if (e->type == QWSEvent::Focus && static_cast<QWSFocusEvent *>(e)->getFocus)
      ++focusIns;
    return ZMainWidget::qwsEvent(e);
  }
  void keyPressEvent(QKeyEvent *) override { ++toolkitKeys; }
};

void press(QWidget *w, int key, bool repeat = false) {
  QKeyEvent e(QEvent::KeyPress, key, Qt::NoModifier, QString(), repeat);
  QApplication::sendEvent(w, &e);
}
void release(QWidget *w, int key, bool repeat = false) {
  QKeyEvent e(QEvent::KeyRelease, key, Qt::NoModifier, QString(), repeat);
  QApplication::sendEvent(w, &e);
}

} // namespace

TEST(Ezx, KeyEventsReachQwsEventInThePhonesNumbering) {
  guiApp();
  KeyWidget w;
  press(&w, Qt::Key_Enter);
  press(&w, Qt::Key_Return);
  press(&w, Qt::Key_Left);
  press(&w, Qt::Key_Up);
  press(&w, Qt::Key_Right);
  press(&w, Qt::Key_Down);
  for (int n = 1; n <= 11; ++n) // F2 .. F12
    press(&w, Qt::Key_F1 + n);
  press(&w, Qt::Key_F11, true);
  release(&w, Qt::Key_F11, true);
  release(&w, Qt::Key_F3);
  press(&w, Qt::Key_A);

  std::vector<RawKey> want = {{4101, true, false}, {4101, true, false}, {4114, true, false},
                              {4115, true, false}, {4116, true, false}, {4117, true, false}};
  for (int n = 1; n <= 11; ++n)
    want.push_back({4144 + n, true, false});
  want.push_back({4154, true, true});
  want.push_back({4154, false, true});
  want.push_back({4146, false, false});
  want.push_back({'A', true, false});
  EXPECT_EQ(w.keys, want);
  EXPECT_EQ(w.keys[6].code, 4145);  // F2
  EXPECT_EQ(w.keys[16].code, 4155); // F12
  EXPECT_EQ(w.toolkitKeys, 0);      // consumed before the toolkit's handling

  w.take = false; // not taken: the usual handler runs
  press(&w, Qt::Key_Enter);
  EXPECT_EQ(w.toolkitKeys, 1);

  QFocusEvent in(QEvent::FocusIn);
  QApplication::sendEvent(&w, &in);
  EXPECT_EQ(w.focusIns, 1);
}

TEST(Ezx, PhoneKeyCodes) {
  EXPECT_EQ(ZMainWidget::phoneKeyCode(Qt::Key_Escape), 4096);
  EXPECT_EQ(ZMainWidget::phoneKeyCode(Qt::Key_F1), 4144);
  EXPECT_EQ(ZMainWidget::phoneKeyCode(Qt::Key_F5), 4148);
  EXPECT_EQ(ZMainWidget::phoneKeyCode(Qt::Key_Space), 32);
  EXPECT_EQ(ZMainWidget::phoneKeyCode(Qt::Key_VolumeUp), 0);
}

TEST(Ezx, PopupMenuKeepsIdsTextsAndChecks) {
  guiApp();
  QPopupMenu menu;
  QSignalSpy spy(&menu, &QPopupMenu::activated);
  menu.insertItem("Font    ", 5);
  menu.insertItem("Wallpaper", 4);
  QPopupMenu sub;
  sub.insertItem("alpha", 1);
  menu.insertItem("Skins   ", &sub, 6);
  menu.insertSeparator();
  int about = menu.insertItem("About   ");
  EXPECT_LT(about, 0);
  EXPECT_EQ(menu.text(5), "Font    "); // trailing blanks kept
  EXPECT_EQ(menu.text(6), "Skins   ");
  EXPECT_EQ(menu.idAt(0), 5);
  EXPECT_EQ(menu.count(), 4);
  EXPECT_FALSE(menu.isItemChecked(5));
  menu.setItemChecked(5, true);
  EXPECT_TRUE(menu.isItemChecked(5));
  menu.findItem(4)->trigger();
  ASSERT_EQ(spy.count(), 1);
  EXPECT_EQ(spy.at(0).at(0).toInt(), 4);
  EXPECT_TRUE(menu.text(99).isEmpty());
}

namespace {
class CellBox : public UTIL_ListBox {
public:
  std::vector<int> painted;
  void paintCell(QPainter *p, int row, int col) override {
    painted.push_back(row);
    QListBox::paintCell(p, row, col);
  }
};
} // namespace

TEST(Ezx, ListBoxItemsSignalsAndOwnerDrawnCells) {
  guiApp();
  CellBox box;
  EXPECT_EQ(box.objectName(), "ezx_util_list");
  QSignalSpy highlighted(&box, &QListBox::highlighted);
  box.insertItem("one");
  box.insertItem(QPixmap(8, 8), "two");
  auto *three = new UTIL_ListBoxItem(&box, "three", true);
  ASSERT_EQ(box.count(), 3u);
  EXPECT_EQ(box.text(1), "two");
  EXPECT_NE(box.pixmap(1), nullptr);
  EXPECT_EQ(box.index(three), 2);
  EXPECT_TRUE(three->isCheckable());
  box.setCurrentItem(2);
  EXPECT_EQ(box.currentItem(), 2);
  ASSERT_GE(highlighted.count(), 1);
  EXPECT_EQ(highlighted.last().at(0).toInt(), 2);

  box.resize(200, 150);
  QImage shot(200, 150, QImage::Format_RGB32);
  box.show();
  box.render(&shot);
  EXPECT_FALSE(box.painted.empty()); // cells went through paintCell

  box.removeItem(0);
  EXPECT_EQ(box.count(), 2u);
  EXPECT_EQ(box.text(0), "two");
  box.clear();
  EXPECT_EQ(box.count(), 0u);
  EXPECT_EQ(box.item(0), nullptr);

  QImage boxes(40, 20, QImage::Format_RGB32);
  boxes.fill(Qt::black);
  QPainter p(&boxes);
  UTIL_ListBoxItem::drawCheckBox(&p, 0, 0, true);
  UTIL_ListBoxItem::drawRadioBox(&p, 20, 0, false);
  p.end();
  EXPECT_NE(boxes.pixel(1, 1), QColor(Qt::black).rgb());
}

TEST(Ezx, MultiLineEditRefusesFilteredCharacters) {
  guiApp();
  ZMultiLineEdit edit(nullptr, "name");
  edit.setFilter(QRegExp("[A-Za-z0-9_ ]"), true);
  for (const char *t : {"a", "/", "b", "*", "1"}) {
    QKeyEvent e(QEvent::KeyPress, 0, Qt::NoModifier, QString::fromLatin1(t));
    QApplication::sendEvent(&edit, &e);
  }
  EXPECT_EQ(edit.text(), "ab1");
  edit.setFilter(QRegExp(), false);
  QKeyEvent e(QEvent::KeyPress, 0, Qt::NoModifier, "/");
  QApplication::sendEvent(&edit, &e);
  EXPECT_EQ(edit.text(), "ab1/");
}

TEST(Ezx, IconsComeFromTheSharedPictures) {
  guiApp();
  setVeloraShareDir(QString::fromStdString(velora::test::stageDir() + "/share/velora"));
  RES_ICON_Reader reader;
  QPixmap folder = reader.getIcon("FMMS_Personal_Folder_S.gif", 32, 32);
  QPixmap file = reader.getIcon("FMMS_Personal_File_S.gif", 32, 32);
  ASSERT_FALSE(folder.isNull());
  ASSERT_FALSE(file.isNull());
  EXPECT_EQ(folder.size(), QSize(32, 32));
  EXPECT_NE(folder.toImage(), file.toImage());
  EXPECT_TRUE(reader.getIcon("No_Such_Icon.gif", 32, 32).isNull());
  EXPECT_FALSE(ZSkin::skin()->getPixmap("General_Selecte_Box_Selected.g").isNull());
  EXPECT_FALSE(ZSkin::skin()->getPixmap("CST_Menu").isNull());
  setVeloraShareDir(QString());
}

TEST(Ezx, GbkCodecDecodesTheProgramsLiterals) {
  ASSERT_NE(gbkCodec, nullptr);
  EXPECT_EQ(fromGbk("\xD6\xD8\xB8\xB4"), QString::fromUtf8("重复"));
  EXPECT_EQ(fromGbk("Windows Media Player 10"), "Windows Media Player 10");
}
