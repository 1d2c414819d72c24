// Playback speed and ReplayGain: two engine settings the main menu, the speed keys and the
// desktop control change. The engine keeps both across starts; the window only shows them.
#include "mainface.h"

#include "gbkcodec.h"
#include "xmmsPlayer.h"

#include <QCoreApplication>
#include <QtMath>
#include <cmath>

namespace {

constexpr double kSpeedMin = 0.5, kSpeedMax = 2.0;
constexpr int kStepsPerUnit = 20; // 0.05 a step
// Menu item ids. Speeds are offered by hundredths (50 .. 200); the two relative items stand
// below every speed.
constexpr int kSlowerItem = 1, kFasterItem = 2;
constexpr int kSpeedChoices[] = {50, 75, 90, 100, 125, 150, 200};
// ReplayGain items are the engine's mode numbers plus this.
constexpr int kModeItemBase = 10;
const char *const kModeNames[] = {
    QT_TRANSLATE_NOOP("velora", "Off"), QT_TRANSLATE_NOOP("velora", "Track"),
    QT_TRANSLATE_NOOP("velora", "Album"), QT_TRANSLATE_NOOP("velora", "Auto")};

// Whole steps of 0.05 within the range: what the engine will play.
double speedStep(double speed) {
  if (!std::isfinite(speed))
    return 1.0;
  speed = qBound(kSpeedMin, speed, kSpeedMax);
  return std::round(speed * kStepsPerUnit) / kStepsPerUnit;
}

} // namespace

QString MainFace::speedNotice(double speed) {
  return QCoreApplication::translate("velora", "Speed ") +
         QString::number(speedStep(speed), 'f', 2) + QChar(0x00D7);
}

void MainFace::buildSoundMenus() {
  speedMenu = new QPopupMenu(mainMenu);
  speedMenu->setCheckable(true);
  for (int hundredths : kSpeedChoices)
    speedMenu->insertItem(QString::number(hundredths / 100.0, 'f', 2) + QChar(0x00D7), hundredths);
  speedMenu->insertSeparator();
  speedMenu->insertItem(QCoreApplication::translate("velora", "Slower"), kSlowerItem);
  speedMenu->insertItem(QCoreApplication::translate("velora", "Faster"), kFasterItem);
  connect(speedMenu, &QPopupMenu::activated, this, [this](int id) {
    if (id == kSlowerItem || id == kFasterItem)
      stepSpeed(id == kSlowerItem ? -1 : 1);
    else
      changeSpeed(id / 100.0);
  });

  replayGainMenu = new QPopupMenu(mainMenu);
  replayGainMenu->setCheckable(true);
  for (int mode = 0; mode < 4; ++mode)
    replayGainMenu->insertItem(QCoreApplication::translate("velora", kModeNames[mode]),
                               kModeItemBase + mode);
  connect(replayGainMenu, &QPopupMenu::activated, this,
          [this](int id) { changeReplayGainMode(id - kModeItemBase); });

  // The engine may have changed either setting meanwhile (another client, a restart).
  connect(speedMenu, &QMenu::aboutToShow, this, &MainFace::refreshSoundMenus);
  connect(replayGainMenu, &QMenu::aboutToShow, this, &MainFace::refreshSoundMenus);

  mainMenu->insertItem(QCoreApplication::translate("velora", "Speed   "), speedMenu);
  mainMenu->insertItem(QCoreApplication::translate("velora", "ReplayGain"), replayGainMenu);
  refreshSoundMenus();
}

void MainFace::refreshSoundMenus() {
  if (controller) {
    const float speed = controller->speed();
    if (speed > 0)
      playbackSpeed = speedStep(speed);
  }
  const int mode = controller ? controller->replayGainMode() : -1;
  if (speedMenu)
    for (int hundredths : kSpeedChoices)
      speedMenu->setItemChecked(hundredths, qRound(playbackSpeed * 100) == hundredths);
  if (replayGainMenu)
    for (int m = 0; m < 4; ++m)
      replayGainMenu->setItemChecked(kModeItemBase + m, m == mode);
}

void MainFace::changeSpeed(double speed) {
  playbackSpeed = speedStep(speed);
  if (controller)
    controller->setSpeed(static_cast<float>(playbackSpeed));
  noticeText = speedNotice(playbackSpeed);
  noticeTicks = 10;
  wakeTitle();
  if (speedMenu)
    for (int hundredths : kSpeedChoices)
      speedMenu->setItemChecked(hundredths, qRound(playbackSpeed * 100) == hundredths);
}

void MainFace::stepSpeed(int steps) {
  // From what the engine plays now, so a change made elsewhere is the starting point.
  if (controller) {
    const float now = controller->speed();
    if (now > 0)
      playbackSpeed = speedStep(now);
  }
  changeSpeed(playbackSpeed + static_cast<double>(steps) / kStepsPerUnit);
}

void MainFace::changeReplayGainMode(int mode) {
  if (mode < 0 || mode > 3)
    return;
  if (controller)
    controller->setReplayGainMode(mode);
  noticeText = QCoreApplication::translate("velora", "ReplayGain ") +
               QCoreApplication::translate("velora", kModeNames[mode]);
  noticeTicks = 10;
  wakeTitle();
  if (replayGainMenu)
    for (int m = 0; m < 4; ++m)
      replayGainMenu->setItemChecked(kModeItemBase + m, m == mode);
}
