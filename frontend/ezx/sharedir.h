// Where the program's own pictures live: <folder of the running binary>/../share/velora, so an
// installed tree can be moved. Tests point it at the staged tree.
#pragma once

#include <QString>

QString veloraShareDir();
void setVeloraShareDir(const QString &dir); // empty restores the default
