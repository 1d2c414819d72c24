#include "translations.h"

#include "sharedir.h"

#include <QCoreApplication>
#include <QTranslator>

bool installTranslations(const QLocale &locale, const QString &dir) {
  // Owned by the application, which keeps it for the rest of the process.
  auto *translator = new QTranslator(QCoreApplication::instance());
  // Tries velora_zh_Hant_TW, velora_zh_TW, velora_zh_Hant, ... for each of the locale's
  // languages in turn, so Hong Kong gets the Traditional and Singapore the Simplified one.
  if (!translator->load(locale, QStringLiteral("velora"), QStringLiteral("_"), dir)) {
    delete translator;
    return false;
  }
  QCoreApplication::installTranslator(translator);
  return true;
}

QString translationsDir() { return veloraShareDir() + "/translations"; }
