// Menus and dialogs in the user's language. This program runs three times: with
// LANG=zh_CN.UTF-8, zh_TW.UTF-8 and C; the shipped translations must follow, English staying
// the source text.
#include "core/firststart.h"
#include "core/translations.h"
#include "guiapp.h"
#include "mainface/mainface.h"
#include "qpopupmenu.h"
#include "testenv.h"
#include "xmmsPlayer.h"
#include "zapplication.h"

#include <QAction>
#include <QCoreApplication>
#include <QPointer>
#include <QRegularExpression>
#include <gtest/gtest.h>

#include <map>

using namespace velora::test;

namespace {

QStringList menuTexts(const QPopupMenu *menu) {
  QStringList texts;
  for (const QAction *action : menu->QMenu::actions())
    if (!action->isSeparator())
      texts << action->text();
  return texts;
}

} // namespace

TEST(Language, TheMainMenuAndDialogTextsFollowTheLocale) {
  guiApp();
  const QString lang = QLocale::system().name();
  const std::map<QString, QStringList> expected = {
      {"zh_CN", {"壁纸", "关于", "退出"}},
      {"zh_TW", {"桌布", "關於", "結束"}},
  };
  const auto wanted = expected.find(lang);
  const QString dir = QString::fromStdString(stageDir() + "/share/velora/translations");
  // English needs no translation; Chinese ones are found for both scripts.
  EXPECT_EQ(installTranslations(QLocale::system(), dir), wanted != expected.end())
      << lang.toStdString();

  TempHome home;
  firststart::seedHome(QString::fromStdString(home.home()),
                       QString::fromStdString(stageDir() + "/share/velora"));
  XMMSPlayer player; // no engine: the window works with empty answers
  QPointer<MainFace> window = new MainFace(nullptr, nullptr);
  const QStringList texts = menuTexts(window->mainMenu);
  ASSERT_FALSE(texts.isEmpty());
  if (wanted == expected.end()) {
    for (const char *english : {"Wallpaper", "About   ", "Exit    "})
      EXPECT_TRUE(texts.contains(english)) << english << " in " << texts.join('|').toStdString();
  } else {
    for (const QString &text : wanted->second)
      EXPECT_TRUE(texts.contains(text))
          << text.toStdString() << " in " << texts.join('|').toStdString();
    // Every entry of the main menu is translated: none is left in Latin letters only
    // (sizes like "2x" aside).
    for (const QString &text : texts)
      EXPECT_TRUE(text.contains(QRegularExpression("[\\x{4e00}-\\x{9fff}]")) ||
                  !text.contains(QRegularExpression("[A-Za-z]{3}")))
          << text.toStdString();
  }
  // A dialog's texts go the same way.
  const QString ok = QCoreApplication::translate("velora", "Ok  ");
  EXPECT_EQ(ok, lang == "zh_CN" || lang == "zh_TW"
                    ? QString::fromUtf8(lang == "zh_CN" ? "确定" : "確定")
                    : QStringLiteral("Ok  "));
  // The notice for a run of broken files keeps the name and the count in every language.
  const QString skipped =
      QCoreApplication::translate("velora", "Cannot play %1 and %n more", nullptr, 7).arg("x.mp3");
  EXPECT_TRUE(skipped.contains("x.mp3") && skipped.contains('7')) << skipped.toStdString();
  EXPECT_EQ(skipped.contains(QRegularExpression("[\\x{4e00}-\\x{9fff}]")), wanted != expected.end())
      << skipped.toStdString();
  delete window.data();
}
