#include "eqwidget.h"

#include "gbkcodec.h"
#include "kconfig.h"
#include "uiscale.h"
#include "util_pushbutton.h"
#include "xmmsPlayer.h"

#include <QCoreApplication>
#include <QDir>
#include <QHeaderView>
#include <QPushButton>
#include <QStyle>
#include <QTreeWidget>

#include <algorithm>
#include <cmath>

const char *const eqWidget::keys[11] = {"Preamp", "Band0", "Band1", "Band2", "Band3", "Band4",
                                        "Band5",  "Band6", "Band7", "Band8", "Band9"};

PresetItem::PresetItem(QTreeWidget *view, const QString &name,
                       const std::array<float, 11> &presetValues)
    : QTreeWidgetItem(view, QStringList{name}), values(presetValues) {}

eqWidget::eqWidget(QWidget *parent) : QDialog(parent) {
  setObjectName("eqWidget");
  setWindowTitle(QCoreApplication::translate("velora", "Presets"));
  // The phone's 16-point font was 16 pixels high; the same size in pixels keeps the names
  // inside the list's width on any screen.
  setFont(uiFont(font(), 16));

  list = new QTreeWidget(this);
  list->setObjectName("presetListView");
  list->setGeometry(0, uiPx(2), uiPx(200), uiPx(180));
  list->setColumnCount(1);
  list->setHeaderLabels({QCoreApplication::translate("velora", "Load Preset")});
  list->header()->hide();
  list->setRootIsDecorated(false);
  list->setColumnWidth(0, uiPx(200) - style()->pixelMetric(QStyle::PM_ScrollBarExtent));
  list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

  // The phone's buttons are 18 pixels high with a 12-pixel caption, a stylus's target. On a
  // larger picture (a "Size" above 1x, a phone shell's fitted window) they are pressed with a
  // finger, and grow into the 12 free pixels below them: from 3x on they are as tall as every
  // other dialog's buttons.
  const qreal grow = std::clamp((uiScale() - 1) / 2, 0.0, 1.0);
  const int phoneHeight = 18;
  const int height = qRound(phoneHeight + (UTIL_PushButton::defaultHeight - phoneHeight) * grow);
  const int top = qRound(190 - 2 * grow); // two pixels of the dialog's edge kept below
  const QFont small = uiFont(font(), qRound(12 + 2 * grow));
  auto button = [&](const char *caption, int x) {
    auto *b = new QPushButton(QCoreApplication::translate("velora", caption), this);
    b->setFont(small);
    b->setGeometry(uiPx(x), uiPx(top), uiPx(50), uiPx(height));
    return b;
  };
  closeBtn = button(QT_TRANSLATE_NOOP("velora", "Close"), 0);
  okBtn = button(QT_TRANSLATE_NOOP("velora", "Ok  "), 75);
  actBtn = button(QT_TRANSLATE_NOOP("velora", "Act "), 150);
  okBtn->setDefault(true);
  connect(closeBtn, &QPushButton::clicked, this, &QDialog::close);
  connect(okBtn, &QPushButton::clicked, this, &eqWidget::returned);
  connect(actBtn, &QPushButton::clicked, this, &eqWidget::savePreset);

  home = QDir::homePath();
  controller = XMMSPlayer::instance;
  reload();
}

QString eqWidget::userPresetName() { return fromGbk("My preset"); }

void eqWidget::addPresets(const QString &file) {
  KConfig presets(file, true);
  QStringList groups = presets.groupList();
  groups.removeAll(
      QCoreApplication::translate("velora", "Presets")); // an index of the file, not a preset
  for (const QString &group : groups) {
    presets.setGroup(group);
    std::array<float, 11> values{};
    for (int i = 0; i < 11; ++i) {
      bool ok = false;
      const float v = presets.readEntry(keys[i]).trimmed().toFloat(&ok);
      values[i] = ok && std::isfinite(v) ? v : 0.0f;
    }
    // Group names are stored as UTF-8 bytes.
    new PresetItem(list, QString::fromUtf8(group.toLatin1()), values);
  }
}

void eqWidget::reload() {
  list->clear();
  addPresets(home + "/.xmms/default.preset");
  addPresets(home + "/.xmms/user.preset");
}

void eqWidget::setPreset(QTreeWidgetItem *item) {
  auto *preset = dynamic_cast<PresetItem *>(item);
  if (!preset || !controller)
    return;
  controller->setEqualizer(preset->values.data());
}

void eqWidget::setPreset() {
  setPreset(list->currentItem());
  update();
}

void eqWidget::savePreset() {
  if (!controller)
    return;
  KConfig presets(home + "/.xmms/user.preset");
  presets.setGroup(QString::fromLatin1(userPresetName().toUtf8()));
  // Whole decibels, truncated toward zero.
  presets.writeEntry(keys[0], static_cast<int>(controller->preamp()));
  for (int band = 0; band < 10; ++band)
    presets.writeEntry(keys[band + 1], static_cast<int>(controller->band(band)));
  presets.sync();
}

void eqWidget::returned() {
  setPreset(list->currentItem());
  emit equalizerChange();
  accept();
  deleteLater();
}
