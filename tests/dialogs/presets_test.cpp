// The equalizer presets: the preset files as listed, what the engine is sent and what "Act "
// stores, the shipped presets installed on first start, and the main window's sliders after a
// preset; through a real engine.
#include "dialogfixture.h"

#include "core/firststart.h"
#include "dialogs/eqwidget.h"
#include "guiapp.h"
#include "kconfig.h"
#include "sharedir.h"

#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTreeWidget>
#include <xmms/xmmsctrl.h>

#include <cmath>

using namespace velora::test;

namespace {

QStringList names(eqWidget &d) {
  QStringList list;
  for (int i = 0; i < d.listView()->topLevelItemCount(); ++i)
    list << d.listView()->topLevelItem(i)->text(0);
  return list;
}

std::vector<float> engineEq() {
  std::vector<float> v{xmms_remote_get_eq_preamp(0)};
  for (int band = 0; band < 10; ++band)
    v.push_back(xmms_remote_get_eq_band(0, band));
  return v;
}

} // namespace

TEST_F(DialogTest, PresetsListedSentAndStored) {
  startEngine({});
  writeFile(home.path(".xmms/default.preset"),
            "[Presets]\nPreset0=Rock\n"
            "[Rock]\nPreamp=1.5\nBand0=6\nBand1=4\nBand2=-4\nBand3=-6\nBand4=-2\nBand5=3\n"
            "Band6=6\nBand7=8\nBand8=8\n" // no Band9
            "[Pop]\nPreamp=x\nBand0=-1\nBand1=3\nBand2=5\nBand3=6\nBand4=4\nBand5=0\nBand6=-1\n"
            "Band7=-1\nBand8=-1\nBand9=-1.5\n"
            "[\xe6\x91\x87\xe6\xbb\x9a]\nBand0=2\n");
  writeFile(home.path(".xmms/user.preset"), "[Mine]\nBand9=7\n");

  // "Ok  " lets the dialog go, so it lives on the heap.
  QPointer<eqWidget> d = new eqWidget;
  EXPECT_EQ(d->listView()->objectName(), "presetListView");
  EXPECT_TRUE(d->listView()->isHeaderHidden());
  // The index group is not a preset; the user's presets follow the shipped ones; group names
  // are UTF-8.
  EXPECT_EQ(names(*d),
            (QStringList{"Pop", "Rock", QString::fromUtf8("\xe6\x91\x87\xe6\xbb\x9a"), "Mine"}));

  // Highlighting sends nothing; "Ok  " sends the highlighted preset in one piece.
  xmms_remote_set_eq_band(0, 9, 5.0f);
  QSignalSpy changed(d.data(), &eqWidget::equalizerChange);
  d->listView()->setCurrentItem(d->listView()->topLevelItem(1)); // Rock
  EXPECT_FLOAT_EQ(xmms_remote_get_eq_band(0, 9), 5.0f);
  d->okButton()->click();
  EXPECT_EQ(changed.count(), 1);
  EXPECT_EQ(engineEq(), (std::vector<float>{1.5f, 6, 4, -4, -6, -2, 3, 6, 8, 8, 0})); // Band9: 0
  EXPECT_EQ(d->result(), QDialog::Accepted);
  EXPECT_TRUE(spinUntil([&] { return d.isNull(); }));

  // A value that is not a number counts as 0.
  eqWidget pop;
  pop.listView()->setCurrentItem(pop.listView()->topLevelItem(0));
  pop.setPreset();
  EXPECT_EQ(engineEq(), (std::vector<float>{0, -1, 3, 5, 6, 4, 0, -1, -1, -1, -1.5f}));

  // "Ok  " with nothing highlighted still tells the window and closes.
  QPointer<eqWidget> none = new eqWidget;
  none->listView()->setCurrentItem(nullptr);
  QSignalSpy noneChanged(none.data(), &eqWidget::equalizerChange);
  none->show();
  none->okButton()->click();
  EXPECT_EQ(noneChanged.count(), 1);
  EXPECT_TRUE(none->isHidden());
  EXPECT_TRUE(spinUntil([&] { return none.isNull(); }));
  EXPECT_EQ(engineEq()[10], -1.5f); // unchanged

  // "Act " stores the engine's values truncated toward zero, always in the same group.
  const float bands[10] = {-2.5f, 2.5f, -0.9f, 0.9f, 19.9f, -19.9f, 0, 1, -1, 3.7f};
  xmms_remote_set_eq(0, 3.7f, const_cast<float *>(bands));
  eqWidget act;
  act.actButton()->click();
  act.actButton()->click();
  const std::string stored = readFile(home.path(".xmms/user.preset"));
  EXPECT_NE(stored.find("Preamp=3\n"), std::string::npos) << stored;
  EXPECT_NE(stored.find("Band0=-2\n"), std::string::npos) << stored;
  EXPECT_NE(stored.find("Band2=0\n"), std::string::npos) << stored;
  EXPECT_NE(stored.find("Band4=19\n"), std::string::npos) << stored;
  EXPECT_NE(stored.find("Band5=-19\n"), std::string::npos) << stored;
  EXPECT_NE(stored.find("[Mine]"), std::string::npos) << stored; // the user's other preset stays
  {
    KConfig check(QString::fromStdString(home.path(".xmms/user.preset")), true);
    EXPECT_EQ(check.groupList(), (QStringList{"Mine", eqWidget::userPresetName()}));
  }
  // Listed the next time the dialog is made.
  eqWidget again;
  EXPECT_EQ(names(again).last(), eqWidget::userPresetName());
}

TEST_F(DialogTest, ShippedPresetsAreInstalledOnceAndThePresetsCommandMovesTheSliders) {
  startEngine({});
  const QString share = QString::fromStdString(stageDir() + "/share/velora");
  firststart::seedHome(QString::fromStdString(home.home()), share);
  openWindow();
  // First start put the shipped presets in place: a dozen or more, every value in range.
  const std::string shipped = home.path(".xmms/default.preset");
  ASSERT_TRUE(fileExists(shipped));
  EXPECT_EQ(readFile(shipped), readFile(stageDir() + "/share/velora/presets/default.preset"));
  {
    eqWidget d;
    const QStringList listed = names(d);
    EXPECT_GE(listed.size(), 12);
    for (const char *name : {"Flat", "Rock", "Pop", "Classical", "Jazz", "Vocal"})
      EXPECT_TRUE(listed.contains(name)) << name;
    KConfig presets(QString::fromStdString(shipped), true);
    for (const QString &group : presets.groupList()) {
      if (group == "Presets")
        continue;
      presets.setGroup(group);
      for (const char *key : eqWidget::keys) {
        bool ok = false;
        const float v = presets.readEntry(key).toFloat(&ok);
        EXPECT_TRUE(ok && std::fabs(v) <= 12) << group.toStdString() << " " << key;
      }
    }
  }
  // A file of the user's own is never replaced.
  writeFile(shipped, "[Only]\nBand0=3.7\nBand1=-3.7\nBand2=20\n");
  w.reset();
  firststart::seedHome(QString::fromStdString(home.home()), share);
  openWindow();
  EXPECT_EQ(readFile(shipped), "[Only]\nBand0=3.7\nBand1=-3.7\nBand2=20\n");

  // Code 10: pick the preset and confirm; the window's sliders follow the engine, truncated.
  eqValues[3] = 9;
  whenModal<eqWidget>([](eqWidget *d) {
    d->listView()->setCurrentItem(d->listView()->topLevelItem(0));
    d->okButton()->click();
  });
  w->buttonClick(10);
  EXPECT_NEAR(xmms_remote_get_eq_band(0, 0), 3.7f, 1e-5);
  EXPECT_EQ(eqValues[0], 3);
  EXPECT_EQ(eqValues[1], -3);
  EXPECT_EQ(eqValues[2], 20);
  EXPECT_EQ(eqValues[3], 0);
  spinUntil([this] { return w->presetsDialog.isNull(); }); // "Ok  " let it go

  // Run twice: each run makes its own dialog; one closed without a choice changes nothing.
  whenModal<eqWidget>([](eqWidget *d) { d->closeButton()->click(); });
  w->buttonClick(10);
  QPointer<eqWidget> first = w->presetsDialog;
  eqValues[0] = 11;
  whenModal<eqWidget>([first](eqWidget *d) {
    EXPECT_NE(d, first.data());
    d->listView()->setCurrentItem(d->listView()->topLevelItem(0));
    d->okButton()->click();
  });
  w->buttonClick(10);
  EXPECT_EQ(eqValues[0], 3);
  EXPECT_TRUE(spinUntil([&] { return first.isNull(); })); // the closed one is freed too
}
