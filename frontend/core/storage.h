// Where songs live. The phone kept them on its memory card and its internal storage; on other
// machines those folders rarely exist, so each root can be named in the settings and falls back
// to the user's Music folder (the home folder when there is no Music folder either).
#pragma once

#include <QString>

namespace storage {

// The memory card: "storage_card" of group "pelskin", default "/mmc/mmca1".
QString cardRoot(const QString &home);
// The internal storage: "storage_internal" of group "pelskin", default "/diska".
QString internalRoot(const QString &home);
// home + "/Music" when it is a folder, otherwise home.
QString musicFolder(const QString &home);

} // namespace storage
