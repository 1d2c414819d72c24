// The player as a phone shows it: weston's kiosk shell makes its window fill a 720 x 1440 screen
// drawn at scale 2; the picture must fill the screen's width, centred, the margins in the skin's
// background colour, and taps on the screen must reach the controls under them.
#include "kioskhost.h"
#include "logical.h"
#include "playerrun.h"
#include "testenv.h"

#include <gtest/gtest.h>
#include <xmms/xmmsctrl.h>

#include <QColor>
#include <QFile>
#include <QLibraryInfo>
#include <QRect>
#include <QStringList>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>

using namespace velora::test;

namespace {

const QSize kOutput(720, 1440); // a phone's screen in logical pixels
const int kScale = 2;           // device pixels per logical pixel of the screen

std::string skinFile(const std::string &name) {
  return stageDir() + "/share/velora/skins/default/" + name;
}

// The fields of one skins.conf line ("play=48,111,36,36,37,321").
QStringList skinFields(const std::string &key) {
  QFile conf(QString::fromStdString(skinFile("skins.conf")));
  if (!conf.open(QIODevice::ReadOnly))
    return {};
  const QString prefix = QString::fromStdString(key) + "=";
  for (const QString &line : QString::fromUtf8(conf.readAll()).split('\n'))
    if (line.startsWith(prefix))
      return line.mid(prefix.size()).trimmed().split(',');
  return {};
}

struct Element {
  QRect place;   // where the window shows it, logical pixels
  QPoint source; // its normal picture on the skin sheet
};

Element skinElement(const std::string &key) {
  const QStringList f = skinFields(key);
  if (f.size() < 6)
    return {};
  return {QRect(f[0].toInt(), f[1].toInt(), f[2].toInt(), f[3].toInt()),
          QPoint(f[4].toInt(), f[5].toInt())};
}

bool waylandPluginThere() {
  const QString platforms = QLibraryInfo::path(QLibraryInfo::PluginsPath) + "/platforms/";
  return QFile::exists(platforms + "libqwayland-generic.so") ||
         QFile::exists(platforms + "libqwayland.so");
}

// Where the window lays the 240 x 320 picture on the screen: scaled uniformly to the screen's
// width or height, whichever is tighter, centred; in device pixels of the screenshot.
class ScreenMap {
public:
  ScreenMap(QSize output, int scale, QSize logical = QSize(kLogicalWidth, kLogicalHeight))
      : logical_(logical) {
    const double fit = std::min(output.width() / double(logical.width()),
                                output.height() / double(logical.height()));
    perLogical_ = fit * scale;
    origin_ = QPointF((output.width() - logical.width() * fit) / 2 * scale,
                      (output.height() - logical.height() * fit) / 2 * scale);
  }
  QRect toScreen(const QRect &logical) const {
    return QRectF(origin_ + QPointF(logical.topLeft()) * perLogical_,
                  QSizeF(logical.size()) * perLogical_)
        .toRect();
  }
  QRect player() const { return toScreen(QRect(QPoint(0, 0), logical_)); }

private:
  QSize logical_;
  double perLogical_ = 1;
  QPointF origin_;
};

// Mean difference per colour channel (0 to 255) between what the screen shows in `onScreen`,
// brought down to the logical size, and the sheet's picture of that size at `source`.
double difference(const QImage &shot, const QRect &onScreen, const QImage &sheet,
                  const QRect &source) {
  if (shot.isNull() || sheet.isNull() || !shot.rect().contains(onScreen))
    return 255;
  const QImage shown = shot.copy(onScreen)
                           .scaled(source.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                           .convertToFormat(QImage::Format_RGB32);
  const QImage wanted = sheet.copy(source).convertToFormat(QImage::Format_RGB32);
  double sum = 0;
  for (int y = 0; y < source.height(); ++y)
    for (int x = 0; x < source.width(); ++x) {
      const QRgb a = shown.pixel(x, y), b = wanted.pixel(x, y);
      sum += std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) +
             std::abs(qBlue(a) - qBlue(b));
    }
  return sum / (3.0 * source.width() * source.height());
}

// Pixels of the screen outside `shown` (and outside the corner the cursor picture was sent to)
// that are not `background`; *looked counts those compared, *where bounds the wrong ones.
int marginMismatches(const QImage &shot, const QRect &shown, const QColor &background, int *looked,
                     QRect *where = nullptr) {
  const QRect cursorCorner(shot.width() - 96, shot.height() - 96, 96, 96);
  int wrong = 0;
  *looked = 0;
  for (int y = 0; y < shot.height(); y += 5) {
    if (y >= shown.top() - 2 && y <= shown.bottom() + 2)
      continue;
    for (int x = 0; x < shot.width(); x += 5) {
      if (cursorCorner.contains(x, y))
        continue;
      const QColor c = shot.pixelColor(x, y);
      ++*looked;
      if (std::abs(c.red() - background.red()) > 3 ||
          std::abs(c.green() - background.green()) > 3 ||
          std::abs(c.blue() - background.blue()) > 3) {
        ++wrong;
        if (where)
          *where |= QRect(x, y, 1, 1);
      }
    }
  }
  return wrong;
}

// The pictures are drawn from the 3x sheet and smoothed on the way; the same control on the 1x
// sheet differs from it by one or two levels on average, another control by ten and more.
constexpr double kSamePicture = 8;

class KioskShell : public ::testing::Test {
protected:
  void SetUp() override {
    const std::string missing = KioskHost::missingTools();
    if (!missing.empty())
      GTEST_SKIP() << "needs " << missing
                   << " (cmake/packages.sh test installs weston, xvfb and xdotool)";
    if (!waylandPluginThere())
      GTEST_SKIP() << "needs Qt's Wayland platform plug-in (Debian qt6-wayland)";
    // A player already on the session bus would take our start over; this one stands alone.
    unsetenv("DBUS_SESSION_BUS_ADDRESS");
    home = std::make_unique<TempHome>();
    useNullOutput(*home);
    sheet = QImage(QString::fromStdString(skinFile("skins.png")));
    ASSERT_FALSE(sheet.isNull()) << "the default skin's sheet is missing: "
                                 << skinFile("skins.png");
  }
  void TearDown() override {
    if (player)
      endPlayer(*player, *home);
    player.reset();
    host.reset();
    home.reset();
  }

  // Screenshots until `shows` holds for one, at most timeoutMs; the last one taken.
  template <class F> QImage shotWhen(F shows, int timeoutMs) {
    QImage shot;
    waitUntil(
        [&] {
          shot = host->screenshot();
          return shows(shot);
        },
        timeoutMs);
    return shot;
  }

  std::unique_ptr<TempHome> home;
  std::unique_ptr<KioskHost> host;
  std::unique_ptr<Child> player;
  QImage sheet;
};

TEST_F(KioskShell, PlayerFillsTheScreenWidthAndTapsReachItsControls) {
  host = std::make_unique<KioskHost>(home->root(), kOutput, kScale);
  std::string why;
  ASSERT_TRUE(host->start(&why)) << why;
  player =
      std::make_unique<Child>(std::vector<std::string>{stageDir() + "/bin/velora"}, home->root(),
                              std::vector<std::string>{"WAYLAND_DISPLAY=" + host->waylandDisplay(),
                                                       "QT_QPA_PLATFORM=wayland", "DISPLAY"});
  // The cursor picture goes to the screen's lower right corner, out of the way of the checks.
  const QSize screen = kOutput * kScale;
  ASSERT_TRUE(host->movePointer(QPoint(screen.width() - 1, screen.height() - 1)));

  const ScreenMap map(kOutput, kScale);
  const Element prev = skinElement("prev"), play = skinElement("play"), stop = skinElement("stop"),
                next = skinElement("next"), exitWin = skinElement("exit_win"),
                mini = skinElement("mini_win");
  ASSERT_FALSE(prev.place.isEmpty() || play.place.isEmpty() || exitWin.place.isEmpty())
      << "skins.conf lacks the transport controls";
  auto shows = [&](const QImage &shot, const Element &e, int sourceShift = 0) {
    return difference(shot, map.toScreen(e.place), sheet,
                      QRect(e.source + QPoint(sourceShift, 0), e.place.size())) < kSamePicture;
  };

  // Under load the engine, the window and the compositor take their time: the picture is
  // awaited, not assumed after a fixed pause.
  const QColor background(skinFields("ui_background").value(0).trimmed());
  ASSERT_TRUE(background.isValid()) << "skins.conf names no ui_background";
  const QRect shown = map.player();
  QImage shot = shotWhen([&](const QImage &s) { return shows(s, prev) && shows(s, next); }, 120000);
  ASSERT_FALSE(shot.isNull()) << "no screenshot; weston said:\n" << host->westonLog();
  EXPECT_EQ(shot.size(), screen) << "the screenshot is not the whole screen";
  {
    SCOPED_TRACE("the controls at the left and right edges are where the width-filling picture "
                 "puts them");
    EXPECT_TRUE(shows(shot, prev))
        << "prev: "
        << difference(shot, map.toScreen(prev.place), sheet, QRect(prev.source, prev.place.size()));
    for (const Element *e : {&play, &stop, &next, &exitWin, &mini})
      EXPECT_TRUE(shows(shot, *e))
          << "at " << e->place.x() << "," << e->place.y() << ": "
          << difference(shot, map.toScreen(e->place), sheet, QRect(e->source, e->place.size()));
    // The comparison tells controls apart: where prev is, the play picture is not.
    EXPECT_GT(
        difference(shot, map.toScreen(prev.place), sheet, QRect(play.source, play.place.size())),
        kSamePicture);
    EXPECT_EQ(shown.left(), 0);
    EXPECT_EQ(shown.right(), screen.width() - 1);
  }
  {
    SCOPED_TRACE("the margins above and below the picture are the skin's background colour");
    ASSERT_GT(shown.top(), 0) << "a portrait phone screen leaves margins above and below";
    // The pointer enters weston's window again at each look, so that weston, which may have
    // missed the first move, learns where it is and the cursor picture leaves the margins.
    int looked = 0, wrong = 0;
    QRect where;
    shot = shotWhen(
        [&](const QImage &s) {
          where = QRect();
          wrong = marginMismatches(s, shown, background, &looked, &where);
          if (wrong == 0)
            return true;
          host->movePointer(QPoint(screen.width() - 1, screen.height() - 1));
          return false;
        },
        60000);
    // A cursor picture that never left the margins means weston takes no input from this X
    // server: the screen was checked, the taps cannot be.
    if (wrong > 0 && where.width() <= 80 && where.height() <= 80)
      GTEST_SKIP() << "weston's cursor stays at " << where.x() << "," << where.y()
                   << " whatever the X pointer does; taps cannot be checked here.\n"
                   << host->pointerReport();
    EXPECT_GT(looked, 1000);
    EXPECT_EQ(wrong, 0) << "of " << looked << " margin pixels, within " << where.x() << ","
                        << where.y() << " " << where.width() << "x" << where.height();
  }
  {
    SCOPED_TRACE("a tap on Play, at its place on the enlarged picture, plays and shows Pause");
    ASSERT_TRUE(host->tap(map.toScreen(play.place).center()));
    // A tap the compositor dropped under load is tapped again, but only while the screen still
    // shows the Play picture: a second tap on a playing song would pause it.
    for (int again = 0;
         again < 3 && !waitUntil([] { return xmms_remote_is_playing(0) != 0; }, 15000); ++again) {
      if (shows(host->screenshot(), play) && xmms_remote_is_playing(0) == 0) {
        ASSERT_TRUE(host->tap(map.toScreen(play.place).center()));
      }
    }
    EXPECT_TRUE(waitUntil([] { return xmms_remote_is_playing(0) != 0; }, 15000))
        << "the engine does not play after the tap\n"
        << host->pointerReport();
    // While playing, the play control shows the picture beside its normal one.
    shot = shotWhen([&](const QImage &s) { return shows(s, play, play.place.width()); }, 60000);
    const QRect at = map.toScreen(play.place);
    const double toPause = difference(
        shot, at, sheet, QRect(play.source + QPoint(play.place.width(), 0), play.place.size()));
    const double toPlay = difference(shot, at, sheet, QRect(play.source, play.place.size()));
    // The two pictures differ only in the glyph, so the nearer one is what is shown.
    EXPECT_LT(toPause, kSamePicture);
    EXPECT_LT(toPause * 2, toPlay) << "pause " << toPause << ", play " << toPlay;
  }
  {
    SCOPED_TRACE("the folder dialog stays whole on the screen, the player's margins around it");
    const Element open = skinElement("OP_BTN");
    ASSERT_FALSE(open.place.isEmpty());
    ASSERT_TRUE(host->tap(map.toScreen(open.place).center()));
    // The dialog covers the transport controls once it is there.
    shot = shotWhen([&](const QImage &s) { return !s.isNull() && !shows(s, prev); }, 60000);
    ASSERT_FALSE(shows(shot, prev)) << "no dialog came";
    int looked = 0;
    EXPECT_EQ(marginMismatches(shot, shown, background, &looked), 0)
        << "of " << looked << " margin pixels: the dialog was stretched over the screen";
    ASSERT_TRUE(host->key("Escape"));
    shot = shotWhen([&](const QImage &s) { return shows(s, prev) && shows(s, next); }, 60000);
    ASSERT_TRUE(shows(shot, prev)) << "the dialog did not go";
  }
  {
    SCOPED_TRACE("the mini strip fills the width as well, centred, margins in the background");
    ASSERT_TRUE(host->tap(map.toScreen(mini.place).center()));
    const ScreenMap strip(kOutput, kScale, QSize(kLogicalWidth, kMiniLyricsHeight));
    const QImage stripSheet(QString::fromStdString(skinFile("mini_main.png")));
    ASSERT_FALSE(stripSheet.isNull());
    // The strip's own picture where no control or time is drawn over it: its left end and the
    // dotted stretches either side of the time.
    const QRect bare[] = {QRect(0, 0, 4, kMiniHeight), QRect(68, 0, 14, kMiniHeight),
                          QRect(150, 0, 28, kMiniHeight)};
    auto stripShown = [&](const QImage &s) {
      for (const QRect &r : bare)
        if (difference(s, strip.toScreen(r), stripSheet, r) >= kSamePicture)
          return false;
      return true;
    };
    shot = shotWhen(stripShown, 60000);
    for (const QRect &r : bare)
      EXPECT_LT(difference(shot, strip.toScreen(r), stripSheet, r), kSamePicture)
          << "strip at " << r.x();
    int looked = 0;
    EXPECT_EQ(marginMismatches(shot, strip.player(), background, &looked), 0)
        << "of " << looked << " margin pixels";

    // Its restore button (drawn at 200, 0) brings the whole picture back, filling the width.
    ASSERT_TRUE(host->tap(strip.toScreen(QRect(200, 0, 20, 18)).center()));
    shot = shotWhen([&](const QImage &s) { return shows(s, prev) && shows(s, next); }, 60000);
    EXPECT_TRUE(shows(shot, prev) && shows(shot, next) && shows(shot, exitWin));
    EXPECT_EQ(marginMismatches(shot, shown, background, &looked), 0);
  }
  {
    SCOPED_TRACE("a tap on the close control ends the player and its engine");
    ASSERT_TRUE(host->tap(map.toScreen(exitWin.place).center()));
    EXPECT_EQ(player->wait(60000), 0) << player->err();
    EXPECT_TRUE(waitUntil([] { return xmms_remote_is_running(0) == 0; }, 30000))
        << "the engine outlived the player";
  }
}

} // namespace
