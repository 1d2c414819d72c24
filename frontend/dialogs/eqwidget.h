// The equalizer presets dialog: lists the presets of ~/.xmms/default.preset (shipped) and
// ~/.xmms/user.preset (the user's own), sends the chosen one to the engine on "Ok  ", and stores
// the engine's current equalizer as the user's preset on "Act ".
#pragma once

#include <QDialog>
#include <QString>
#include <QTreeWidgetItem>

#include <array>

class QPushButton;
class QTreeWidget;
class XMMSPlayer;

// A preset as listed: its name and its eleven values, preamp first, then bands 0 to 9 (dB).
class PresetItem : public QTreeWidgetItem {
public:
  PresetItem(QTreeWidget *view, const QString &name, const std::array<float, 11> &values);
  std::array<float, 11> values;
};

class eqWidget : public QDialog {
  Q_OBJECT
public:
  explicit eqWidget(QWidget *parent = nullptr);

  // The group every "Act " writes, so a new save replaces the previous user preset.
  static QString userPresetName();
  // "Preamp", "Band0" .. "Band9": the keys of a preset group, in value order.
  static const char *const keys[11];

  QTreeWidget *listView() const { return list; }
  QPushButton *closeButton() const { return closeBtn; }
  QPushButton *okButton() const { return okBtn; }
  QPushButton *actButton() const { return actBtn; }

public slots:
  void reload();
  void setPreset(QTreeWidgetItem *item);
  void setPreset();
  void savePreset();
  void returned();

signals:
  void equalizerChange();

private:
  void addPresets(const QString &file);

  QString home;
  QTreeWidget *list;
  QPushButton *closeBtn, *okBtn, *actBtn;
  XMMSPlayer *controller;
};
