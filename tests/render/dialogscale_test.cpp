// Dialogs and pop-up menus at the main window's scale: with a "Size" of 1x, 2x and 3x every
// dialog, its text and every menu grow with the picture, every caption still fits its box, and
// the colours are the ones the skin names (a copy of the shipped default skin whose dialog
// colours are changed here, so a palette that ignored the skin would show). The style's own
// lengths grow too (button paddings, menu margins, check marks, sub-menu arrows, tool tips), and
// at 1x the style draws exactly what the toolkit's style draws.
#include "dialogs/colordialog.h"
#include "dialogs/eqwidget.h"
#include "dialogs/filebrowser.h"
#include "dialogs/inputdialog.h"
#include "dialogs/playlist.h"
#include "dialogs/viewdialog.h"
#include "dialogs/xreadmewidget.h"
#include "guiapp.h"
#include "mainface/mainface.h"
#include "scalestyle.h"
#include "sharedir.h"
#include "testenv.h"
#include "uiscale.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <QStyleFactory>
#include <QTest>
#include <QTimer>
#include <QToolTip>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <functional>
#include <memory>

using namespace velora::test;

namespace {

const QColor kBackground(0x2a, 0x1b, 0x3c), kText(0xf0, 0xe0, 0xa0), kButton(0x3b, 0x44, 0x22);

// The shipped default skin copied into the home, with dialog colours of its own.
bool installRecolouredSkin(TempHome &home) {
  const QString share = QString::fromStdString(stageDir()) + "/share/velora";
  const QDir from(share + "/skins/default");
  if (!QFileInfo::exists(from.filePath("skins.conf")))
    return false;
  setVeloraShareDir(share);
  const QString to = QString::fromStdString(home.path("skins/default"));
  QDir().mkpath(to);
  for (const QString &name : from.entryList(QDir::Files))
    QFile::copy(from.filePath(name), to + "/" + name);
  QFile conf(to + "/skins.conf");
  if (!conf.open(QIODevice::ReadOnly))
    return false;
  QString text = QString::fromUtf8(conf.readAll());
  conf.close();
  text.replace(QRegularExpression("ui_background=[^\n]*"), "ui_background=" + kBackground.name());
  text.replace(QRegularExpression("ui_text=[^\n]*"), "ui_text=" + kText.name());
  text.replace(QRegularExpression("ui_button=[^\n]*"), "ui_button=" + kButton.name());
  writeFile(home.path("skins/default/skins.conf"), text.toStdString());
  return true;
}

QString withoutMnemonic(QString s) { return s.remove(QLatin1Char('&')); }

// Every caption of the dialog fits the box that shows it; `what` names the dialog in failures.
void expectTextFits(QWidget *dialog, const char *what) {
  for (QLabel *l : dialog->findChildren<QLabel *>()) {
    if (!l->isVisible() || l->text().isEmpty())
      continue;
    if (l->wordWrap() || l->textFormat() == Qt::RichText ||
        (l->textFormat() == Qt::AutoText && Qt::mightBeRichText(l->text()))) {
      // Wrapped or rich text: what it needs at its width fits its height.
      EXPECT_LE(l->heightForWidth(l->width()), l->height() + 1)
          << what << ": " << l->text().toStdString();
      continue;
    }
    const QFontMetrics fm(l->font());
    EXPECT_LE(fm.horizontalAdvance(withoutMnemonic(l->text())), l->contentsRect().width())
        << what << ": " << l->text().toStdString();
    EXPECT_LE(fm.height(), l->contentsRect().height()) << what << ": " << l->text().toStdString();
  }
  for (QAbstractButton *b : dialog->findChildren<QAbstractButton *>()) {
    if (!b->isVisible() || b->text().trimmed().isEmpty())
      continue;
    const QFontMetrics fm(b->font());
    EXPECT_LE(fm.horizontalAdvance(withoutMnemonic(b->text()).trimmed()), b->width() - 4)
        << what << ": " << b->text().toStdString();
    EXPECT_LE(fm.height(), b->height()) << what << ": " << b->text().toStdString();
  }
  for (QLineEdit *e : dialog->findChildren<QLineEdit *>()) {
    if (!e->isVisible())
      continue;
    const QFontMetrics fm(e->font());
    EXPECT_LE(fm.height(), e->height()) << what;
    // The number fields hold their largest value.
    if (e->maxLength() <= 5) {
      EXPECT_LE(fm.horizontalAdvance(QStringLiteral("255")), e->width()) << what;
    }
  }
}

void expectSkinColours(QWidget *dialog, const char *what) {
  EXPECT_EQ(dialog->palette().color(QPalette::Window), kBackground) << what;
  EXPECT_EQ(dialog->palette().color(QPalette::WindowText), kText) << what;
  EXPECT_EQ(dialog->palette().color(QPalette::Button), kButton) << what;
}

// What one dialog measured at one scale: its size, the pixel height of its font and the least
// room any captioned button leaves around its caption (across or up and down).
struct Measure {
  QSize size;
  int fontHeight = 0;
  int buttonRoom = 0;
};

int buttonRoom(QWidget *dialog) {
  int room = INT_MAX;
  for (QAbstractButton *b : dialog->findChildren<QAbstractButton *>()) {
    if (!b->isVisible() || b->text().trimmed().isEmpty())
      continue;
    const QFontMetrics fm(b->font());
    room = std::min({room, b->width() - fm.horizontalAdvance(withoutMnemonic(b->text()).trimmed()),
                     b->height() - fm.height()});
  }
  return room == INT_MAX ? 0 : room;
}

int tallestButton(QWidget *dialog) {
  int h = 0;
  for (QAbstractButton *b : dialog->findChildren<QAbstractButton *>())
    h = std::max(h, b->height());
  return h;
}

// The box around the pixels of `area` whose grey differs from `background`'s by more than 60.
QRect inkBox(const QImage &shot, const QRect &area, QRgb background) {
  QRect box;
  for (int y = area.top(); y <= area.bottom(); ++y)
    for (int x = area.left(); x <= area.right(); ++x)
      if (std::abs(qGray(shot.pixel(x, y)) - qGray(background)) > 60)
        box |= QRect(x, y, 1, 1);
  return box;
}

// The height of what is drawn in the right quarter of the entry `a` of the menu: its sub-menu
// arrow (the entries' texts are shorter than three quarters of the rows).
int arrowHeight(QMenu *menu, QAction *a) {
  const QImage shot = menu->grab().toImage();
  const qreal dpr = shot.devicePixelRatio();
  const QRect row = menu->actionGeometry(a);
  const QRect area(qRound((row.left() + row.width() * 3 / 4) * dpr), qRound(row.top() * dpr),
                   qRound(row.width() / 4 * dpr) - 2, qRound(row.height() * dpr));
  return inkBox(shot, area, shot.pixel(area.right(), area.top() + 1)).height();
}

// The down arrow of a vertical scroll bar, in the bar's pixels: what is drawn in its lower
// square, against the button's colour near the square's lower edge.
QRect downArrow(QScrollBar *bar) {
  const QImage shot = bar->grab().toImage();
  const int side = bar->width();
  const QRect square(0, bar->height() - side, side, side);
  return inkBox(shot, square.adjusted(2, 2, -2, -2),
                shot.pixel(square.center().x(), square.bottom() - side / 6));
}

Measure look(QWidget *dialog, const char *what) {
  dialog->show();
  spinUntil([&] { return dialog->isVisible(); });
  QApplication::processEvents();
  expectTextFits(dialog, what);
  expectSkinColours(dialog, what);
  Measure m{dialog->size(), QFontMetrics(dialog->font()).height(), buttonRoom(dialog)};
  dialog->hide();
  return m;
}

// Within a pixel per unit of scale of `base` times `scale` (sizes are rounded at each step).
void expectScaled(int measured, int base, double scale, const char *what, const char *which) {
  EXPECT_NEAR(measured, base * scale, 0.1 * base * scale + 3) << what << " " << which;
}

// A window shown at the size its settings ask for; the tests drive its timers themselves.
std::unique_ptr<MainFace> shownWindow() {
  guiApp();
  windowMode = VerticalMode;
  auto w = std::make_unique<MainFace>(nullptr, nullptr);
  w->titleTimer->stop();
  w->checkTimer->stop();
  w->resizeForMode(VerticalMode);
  w->show();
  return w;
}

} // namespace

TEST(DialogScale, DialogsAndMenusFollowTheWindowsSizeAndKeepTheSkinsColours) {
  std::map<std::string, Measure> atOne;
  for (const int scale : {1, 2, 3}) {
    SCOPED_TRACE(scale);
    TempHome home;
    if (!installRecolouredSkin(home))
      GTEST_SKIP() << "the default skin is not staged";
    writeFile(home.path(".xmms/pelmar_cfg"), "[pelskin]\nscale=" + std::to_string(scale) + "\n");
    writeFile(home.path("readme"), "A readme line long enough to be wrapped across the field.\n");
    std::string presetFile; // more presets than the list shows: it has a scroll bar
    for (int i = 0; i < 24; ++i)
      presetFile += "[Preset " + std::to_string(i) + "]\nPreamp=1\nBand0=2\n";
    writeFile(home.path(".xmms/default.preset"), presetFile);
    writeFile(home.path("playlist/mine.m3u"),
              home.path("a song with a rather long name.mp3") + "\n");
    auto w = shownWindow();
    ASSERT_TRUE(spinUntil([&] { return w->width() == 240 * scale; }));
    ASSERT_NEAR(uiScale(), scale, 1e-6);

    auto check = [&](const char *what, QWidget *dialog) {
      const Measure m = look(dialog, what);
      if (scale == 1) {
        atOne[what] = m;
        return;
      }
      const Measure &base = atOne[what];
      expectScaled(m.size.width(), base.size.width(), scale, what, "width");
      expectScaled(m.size.height(), base.size.height(), scale, what, "height");
      expectScaled(m.fontHeight, base.fontHeight, scale, what, "font");
      // The buttons' padding grows with their captions: no caption pressed against its edges.
      EXPECT_GE(m.buttonRoom, base.buttonRoom * scale * 0.8 - 2) << what << " button room";
    };

    int editorButtons = 0;
    {
      PlayList editor(w.get(), QString::fromStdString(home.path("playlist/mine.m3u")));
      check("playlist editor", &editor);
      editorButtons = tallestButton(&editor);
    }
    {
      eqWidget presets(w.get());
      presets.resize(uiPx(200), uiPx(220));
      check("presets", &presets);
      // The phone's 18-pixel buttons at 1x; a finger's, as tall as the editor's, at 3x.
      if (scale == 1) {
        EXPECT_EQ(tallestButton(&presets), 18);
      } else if (scale == 3) {
        EXPECT_NEAR(tallestButton(&presets), editorButtons, 2);
      }
      for (QAbstractButton *b : presets.findChildren<QAbstractButton *>())
        EXPECT_LE(b->geometry().bottom(), presets.height() - 1);
      // The list's scroll bar: as much wider, its arrows as much larger, and a press on the
      // arrow that is drawn steps the list.
      presets.show();
      QScrollBar *bar = presets.findChild<QTreeWidget *>()->verticalScrollBar();
      ASSERT_TRUE(spinUntil([&] { return bar->isVisible(); })) << "24 presets fit the list";
      const QRect arrow = downArrow(bar);
      ASSERT_FALSE(arrow.isEmpty());
      bar->setValue(0);
      QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier, arrow.center());
      EXPECT_EQ(bar->value(), bar->singleStep()) << "a press on the drawn arrow";
      presets.hide();
      if (scale == 1) {
        atOne["presets bar"] = Measure{QSize(bar->width(), arrow.height())};
      } else {
        expectScaled(bar->width(), atOne["presets bar"].size.width(), scale, "bar", "width");
        EXPECT_GE(arrow.height(), atOne["presets bar"].size.height() * scale * 0.75) << "arrow";
      }
      // The preset names fit the list's rows.
      auto *list = presets.findChild<QTreeWidget *>();
      ASSERT_NE(list, nullptr);
      if (list->topLevelItemCount() > 0) {
        EXPECT_GE(list->visualItemRect(list->topLevelItem(0)).height(),
                  QFontMetrics(list->font()).height());
      }
    }
    {
      ViewDialog folders(w.get(), "*.mp3", true);
      const std::string longName =
          "An album whose name is far longer than any row of the folder list can hold";
      makeDirs(home.path("music/" + longName));
      ASSERT_TRUE(folders.browser()->setDir(QString::fromStdString(home.path("music"))));
      check("open folder", &folders);
      // The long name is shortened to fit its row (its middle left out), not cut off by the
      // list's edge in the middle of a letter: the ink stops short of the row's end.
      FileBrowser *list = folders.browser();
      const int row = list->count() - 1, width = list->cellWidth();
      QImage cell(width, list->cellHeight(), QImage::Format_RGB32);
      cell.fill(Qt::white);
      QPainter p(&cell);
      p.setFont(list->font());
      p.setPen(Qt::black);
      list->paintCell(&p, row, 0);
      p.end();
      int rightmost = -1;
      for (int y = 0; y < cell.height(); ++y)
        for (int x = 0; x < cell.width(); ++x)
          if (qGray(cell.pixel(x, y)) < 128)
            rightmost = std::max(rightmost, x);
      EXPECT_GT(rightmost, width / 2); // the name is there, and long
      EXPECT_LT(rightmost, width - uiPx(2)) << width;
    }
    {
      InputDialog input(w.get(), "name", true);
      check("input", &input);
    }
    {
      ColorDialog colours(w.get(), "colour", true);
      check("colour chooser", &colours);
    }
    {
      auto *readme = new XreadmeWidget(w.get(), nullptr, false);
      check("readme", readme);
      delete readme;
    }

    // The About box is a message box run by the window itself: looked at while it is up.
    bool aboutSeen = false;
    QTimer::singleShot(0, [&] {
      std::function<void()> poll = [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box) {
          QTimer::singleShot(10, poll);
          return;
        }
        aboutSeen = true;
        expectTextFits(box, "about");
        expectSkinColours(box, "about");
        const int h = QFontMetrics(box->font()).height(), room = buttonRoom(box);
        if (scale == 1) {
          atOne["about font"].fontHeight = h;
          atOne["about font"].buttonRoom = room;
        } else {
          expectScaled(h, atOne["about font"].fontHeight, scale, "about", "font");
          EXPECT_GE(room, atOne["about font"].buttonRoom * scale * 0.8 - 2) << "about buttons";
        }
        box->buttons().first()->click(); // "Ok  ": no readme after it
      };
      poll();
    });
    w->sltAbout();
    EXPECT_TRUE(aboutSeen);

    // Menus: as much larger as the window, every entry's text inside its row; the rows, the
    // margins, the check marks and the sub-menu arrows as much larger as the text.
    for (QPopupMenu *menu : {w->mainMenu, w->fontMenu, w->sizeMenu}) {
      ASSERT_NE(menu, nullptr);
      const std::string what =
          "menu " + menu->title().toStdString() + std::to_string(menu->count());
      menu->ensurePolished();
      const QSize hint = menu->sizeHint();
      const QFontMetrics fm(menu->font());
      menu->popup(QPoint(0, 0));
      spinUntil([&] { return menu->isVisible(); });
      int rowHeight = 0, rowWidth = 0;
      for (QAction *a : static_cast<QMenu *>(menu)->actions()) {
        if (a->isSeparator())
          continue;
        const QRect row = menu->actionGeometry(a);
        EXPECT_LE(fm.horizontalAdvance(withoutMnemonic(a->text()).trimmed()), row.width())
            << what << " " << a->text().toStdString();
        EXPECT_LE(fm.height(), row.height()) << what << " " << a->text().toStdString();
        rowHeight = std::max(rowHeight, row.height());
        rowWidth = std::max(rowWidth, row.width());
      }
      EXPECT_EQ(menu->palette().color(QPalette::Window), kBackground) << what;
      const int indicator = menu->style()->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, menu);
      const int frame = menu->style()->pixelMetric(QStyle::PM_MenuPanelWidth, nullptr, menu);
      const int arrow = menu == w->mainMenu ? arrowHeight(menu, w->sizeMenu->menuAction()) : 0;
      menu->hide();
      const std::string rows = what + " rows", marks = what + " marks";
      if (scale == 1) {
        atOne[what] = Measure{hint, fm.height()};
        atOne[rows] = Measure{QSize(rowWidth, rowHeight)};
        atOne[marks] = Measure{QSize(indicator, frame), arrow};
        continue;
      }
      expectScaled(fm.height(), atOne[what].fontHeight, scale, what.c_str(), "font");
      EXPECT_GT(hint.height(), atOne[what].size.height() * (1 + (scale - 1) * 0.5)) << what;
      EXPECT_GT(hint.width(), atOne[what].size.width()) << what;
      // A row of the 1x menu enlarged: no entry cut short ("Fit...een") for want of width.
      expectScaled(rowHeight, atOne[rows].size.height(), scale, what.c_str(), "row height");
      EXPECT_GE(rowWidth, atOne[rows].size.width() * scale - 2) << what << " row width";
      expectScaled(indicator, atOne[marks].size.width(), scale, what.c_str(), "check mark");
      expectScaled(frame, atOne[marks].size.height(), scale, what.c_str(), "frame");
      if (menu == w->mainMenu) {
        EXPECT_GT(atOne[marks].fontHeight, 2) << "no sub-menu arrow found at 1x";
        EXPECT_GE(arrow, atOne[marks].fontHeight * scale * 0.75) << what << " arrow";
      }
    }

    // A tool tip in the text size of the dialogs around it, its frame as large.
    QToolTip::showText(w->mapToGlobal(QPoint(uiPx(20), uiPx(20))), "A tool tip", w.get());
    QWidget *tip = nullptr;
    spinUntil([&] {
      for (QWidget *t : QApplication::topLevelWidgets())
        if (t->inherits("QTipLabel") && t->isVisible())
          tip = t;
      return tip != nullptr;
    });
    ASSERT_NE(tip, nullptr);
    const Measure tipSeen{tip->size(), QFontMetrics(tip->font()).height()};
    QToolTip::hideText();
    if (scale == 1) {
      atOne["tip"] = tipSeen;
    } else {
      expectScaled(tipSeen.fontHeight, atOne["tip"].fontHeight, scale, "tip", "font");
      expectScaled(tipSeen.size.height(), atOne["tip"].size.height(), scale, "tip", "height");
    }
    w->hide();
  }
  setUiScale(1); // the other tests of this program open dialogs at 1x
}

// The menus are built once, when the window starts at 1x: a shell that fits the window to a
// larger screen afterwards, or a "Size" of 3x chosen later, must still open them as large as the
// picture, not at the size they were built with.
TEST(DialogScale, MenusBuiltAtStartFollowALaterScale) {
  TempHome home;
  if (!installRecolouredSkin(home))
    GTEST_SKIP() << "the default skin is not staged";
  writeFile(home.path(".xmms/pelmar_cfg"), "[pelskin]\nscale=1\n");
  auto w = shownWindow();
  ASSERT_TRUE(spinUntil([&] { return w->width() == 240; }));
  ASSERT_NEAR(uiScale(), 1, 1e-6);

  struct Look {
    int font = 0, row = 0, width = 0;
  };
  // The menu as it opens: its font and the height and width of its first entry's row.
  auto open = [&](QPopupMenu *menu) {
    menu->popup(QPoint(0, 0));
    EXPECT_TRUE(spinUntil([&] { return menu->isVisible(); }));
    Look l;
    l.font = QFontMetrics(menu->font()).height();
    for (QAction *a : static_cast<QMenu *>(menu)->actions()) {
      if (a->isSeparator())
        continue;
      const QRect row = menu->actionGeometry(a);
      l.row = row.height();
      l.width = row.width();
      break;
    }
    menu->hide();
    spinUntil([&] { return !menu->isVisible(); });
    return l;
  };
  const std::vector<QPopupMenu *> menus = {w->mainMenu, w->fontMenu, w->sizeMenu};
  std::vector<Look> atOne;
  for (QPopupMenu *menu : menus)
    atOne.push_back(open(menu));

  auto expectGrown = [&](double scale, const char *how) {
    for (size_t i = 0; i < menus.size(); ++i) {
      const Look l = open(menus[i]);
      const std::string what = std::string(how) + " menu " + std::to_string(i);
      expectScaled(l.font, atOne[i].font, scale, what.c_str(), "font");
      // The row's padding is the style's and does not grow, so its height grows somewhat less.
      EXPECT_GT(l.row, atOne[i].row * (1 + (scale - 1) * 0.5)) << what;
      EXPECT_GT(l.width, atOne[i].width) << what;
    }
  };

  // A shell hands the window three times the picture's size.
  w->resize(240 * 3, 320 * 3);
  ASSERT_TRUE(spinUntil([&] { return std::abs(uiScale() - 3) < 1e-6; }));
  expectGrown(3, "fitted");

  // Back to 1x, then "Size" 2x from the menu.
  w->resize(240, 320);
  ASSERT_TRUE(spinUntil([&] { return std::abs(uiScale() - 1) < 1e-6; }));
  for (size_t i = 0; i < menus.size(); ++i)
    EXPECT_EQ(open(menus[i]).font, atOne[i].font) << "menu " << i << " back at 1x";
  w->chooseSize(2);
  ASSERT_TRUE(spinUntil([&] { return std::abs(uiScale() - 2) < 1e-6; }));
  expectGrown(2, "size 2x");
  w->hide();
  setUiScale(1);
}

// At 1x the scaling style is the toolkit's style, pixel for pixel: the menus (entries, check
// marks, sub-menu arrows, separators, frame) and the scroll bars look exactly as they did before
// any scaling, also after the window was at 3x and back.
TEST(DialogScale, AtOneTheMenusAreTheToolkitsOwn) {
  TempHome home;
  if (!installRecolouredSkin(home))
    GTEST_SKIP() << "the default skin is not staged";
  writeFile(home.path(".xmms/pelmar_cfg"), "[pelskin]\nscale=3\n");
  auto w = shownWindow();
  ASSERT_TRUE(spinUntil([&] { return std::abs(uiScale() - 3) < 1e-6; }));
  auto *scaling = dynamic_cast<ScaleStyle *>(QApplication::style());
  ASSERT_NE(scaling, nullptr) << "a scale of 3 puts the scaling style in place";
  w->chooseSize(1);
  ASSERT_TRUE(spinUntil([&] { return std::abs(uiScale() - 1) < 1e-6; }));

  std::unique_ptr<QStyle> plain(QStyleFactory::create(scaling->baseStyle()->name()));
  ASSERT_NE(plain, nullptr);
  auto shot = [](QPopupMenu *menu) {
    menu->popup(QPoint(0, 0));
    EXPECT_TRUE(spinUntil([&] { return menu->isVisible(); }));
    QImage image = menu->grab().toImage();
    menu->hide();
    spinUntil([&] { return !menu->isVisible(); });
    return image;
  };
  for (QPopupMenu *menu : {w->mainMenu, w->fontMenu, w->sizeMenu}) {
    const QImage scaled = shot(menu);
    menu->setStyle(plain.get());
    const QImage own = shot(menu);
    menu->setStyle(nullptr);
    ASSERT_FALSE(own.isNull());
    EXPECT_EQ(scaled.size(), own.size()) << menu->title().toStdString();
    EXPECT_TRUE(scaled == own) << menu->title().toStdString();
  }
  // A scroll bar as the lists show it.
  QScrollBar bar(Qt::Vertical);
  bar.setRange(0, 100);
  bar.resize(bar.sizeHint().width(), 200);
  const QImage scaled = bar.grab().toImage();
  bar.setStyle(plain.get());
  bar.resize(bar.sizeHint().width(), 200);
  const QImage own = bar.grab().toImage();
  EXPECT_TRUE(scaled == own) << "scroll bar";
  w->hide();
}
