// Menus, dialogs and notices in the user's language. English is the source text; Simplified
// and Traditional Chinese ship beside it as share/velora/translations/velora_<locale>.qm.
#pragma once

#include <QLocale>
#include <QString>

// Installs the translation of locale (the system's: LANG, LC_MESSAGES, LC_ALL) found in dir on
// the application; true when one was found. English needs none.
bool installTranslations(const QLocale &locale, const QString &dir);
// share/velora/translations of the installed tree.
QString translationsDir();
