// The INI settings store on arbitrary bytes: every reading call, then a write-back and a
// second read that must give the same groups and values (nothing a user had is lost by a
// store that was only opened and closed).
#include "kconfig.h"
#include "memfile.h"
#include "qtquiet.h"

#include <QDir>
#include <QFile>

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  fuzz::quietQt();
  return 0;
}

namespace {

// Groups that hold at least one key; an empty group carries nothing to keep.
QMap<QString, QMap<QString, QString>> contents(const QString &path) {
  KConfigFileBackend b(path);
  b.parse();
  QMap<QString, QMap<QString, QString>> all;
  for (const QString &g : b.groupList()) {
    auto entries = b.entryMap(g);
    if (!entries.isEmpty())
      all.insert(g, entries);
  }
  return all;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  static fuzz::MemFile file("ini");
  static const QString copy =
      QDir::tempPath() + "/velora-fuzz-kconfig-" + QString::number(getpid()) + ".ini";
  const QString path = QString::fromStdString(file.fill(data, size));

  const auto before = contents(path);
  {
    KConfig conf(path, true);
    for (const QString &g : conf.groupList()) {
      if (g.isEmpty())
        continue; // "[]": an empty name selects the default group, so these keys are only kept
      conf.setGroup(g);
      for (auto it = before.value(g).cbegin(); it != before.value(g).cend(); ++it) {
        FUZZ_CHECK(conf.hasKey(it.key()));
        FUZZ_CHECK(conf.readEntry(it.key()) == it.value());
        (void)conf.readNumEntry(it.key(), 7);
        (void)conf.readBoolEntry(it.key(), true);
        (void)conf.readListEntry(it.key(), QLatin1Char(','));
      }
    }
  }

  QFile::remove(copy);
  FUZZ_CHECK(QFile::copy(path, copy));
  { KConfig conf(copy); } // read and written back untouched
  FUZZ_CHECK(contents(copy) == before);
  QFile::remove(copy);
  return 0;
}
