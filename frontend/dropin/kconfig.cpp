#include "kconfig.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QSet>

#include "atomicfile.h"

KConfigBackend::~KConfigBackend() = default;

const QString KConfigFileBackend::defaultGroup = QStringLiteral("<default>");

KConfigFileBackend::KConfigFileBackend(const QString &name) : fileName(name) {}

void KConfigFileBackend::parse() {
  groups.clear();
  hasCurrent = false;
  unreadable = false;
  if (fileName.isEmpty())
    return;
  const QStringList files{fileName};
  for (const QString &f : files) {
    qDebug().noquote() << QStringLiteral("parsing %1").arg(f);
    readFile(f);
  }
}

void KConfigFileBackend::readFile(const QString &path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    // A missing file is a first start; one that is there but cannot be opened (permissions,
    // a folder in its place) holds settings we must not replace with what little we know.
    const QFileInfo info(path);
    unreadable = info.exists();
    return;
  }
  while (!file.atEnd()) {
    const QByteArray bytes = file.readLine();
    if (file.error() != QFileDevice::NoError) {
      unreadable = true;
      return;
    }
    const QString line = QString::fromLatin1(bytes).trimmed();
    if (line.startsWith(QLatin1Char('#')))
      continue;
    if (line.startsWith(QLatin1Char('['))) {
      const int close = line.indexOf(QLatin1Char(']'));
      if (close < 0)
        continue;
      currentGroup = line.mid(1, close - 1);
      groups[currentGroup]; // inserts when missing
      hasCurrent = true;
      continue;
    }
    const int eq = line.indexOf(QLatin1Char('='));
    if (eq < 0)
      continue;
    if (!hasCurrent) {
      currentGroup = defaultGroup;
      hasCurrent = true;
    }
    // An "=" at the end gives an empty, not a null, value.
    QString value = line.mid(eq + 1);
    if (value.isNull())
      value = QLatin1String("");
    groups[currentGroup].insert(line.left(eq), value);
  }
}

void KConfigFileBackend::sync() {
  if (fileName.isEmpty())
    return;
  const QString path =
      fileName.startsWith(QLatin1Char('/')) ? fileName : QDir::homePath() + "/" + fileName;
  // Said once per file: a store is opened for every command.
  static QMutex mutex;
  static QSet<QString> unreadableReported, unwritableReported;
  if (unreadable) {
    // Writing now would replace every key of the file with the few this store holds.
    QMutexLocker lock(&mutex);
    if (!unreadableReported.contains(path)) {
      unreadableReported.insert(path);
      qWarning("velora: cannot read %s; it is left as it is and changes to it are not saved",
               qPrintable(path));
    }
    return;
  }
  qDebug().noquote() << QStringLiteral("writing to %1").arg(path);
  QByteArray text;
  for (auto g = groups.cbegin(); g != groups.cend(); ++g) {
    if (g.value().isEmpty())
      continue;
    text += '[' + g.key().toLatin1() + "]\n";
    for (auto e = g.value().cbegin(); e != g.value().cend(); ++e)
      text += e.key().toLatin1() + '=' + e.value().toLatin1() + '\n';
  }
  // First start: the settings folder may not exist yet.
  const QByteArray encoded = QFile::encodeName(path);
  const int slash = encoded.lastIndexOf('/');
  if (slash > 0)
    xmms::makeFolder(encoded.left(slash).toStdString());
  // On failure the old file stays whole and memory keeps the values; said once until a write
  // to the file works again.
  const bool written = xmms::writeFileAtomically(encoded.toStdString(), text.toStdString());
  QMutexLocker lock(&mutex);
  if (written)
    unwritableReported.remove(path);
  else if (!unwritableReported.contains(path)) {
    unwritableReported.insert(path);
    qWarning("velora: cannot write %s; the file is left as it was", qPrintable(path));
  }
}

QString KConfigFileBackend::group() const { return hasCurrent ? currentGroup : QString(); }

void KConfigFileBackend::setGroup(const QString &name) {
  currentGroup = name.isEmpty() ? defaultGroup : name;
  groups[currentGroup];
  hasCurrent = true;
}

QStringList KConfigFileBackend::groupList() const { return groups.keys(); }

bool KConfigFileBackend::hasGroup(const QString &name) const { return groups.contains(name); }

bool KConfigFileBackend::hasKey(const QString &key) const {
  return hasCurrent && groups.value(currentGroup).contains(key);
}

QMap<QString, QString> KConfigFileBackend::entryMap(const QString &group) { return groups[group]; }

bool KConfigFileBackend::lookupEntry(const QString &key, QString &value) const {
  if (!hasCurrent)
    return false;
  const auto g = groups.constFind(currentGroup);
  if (g == groups.cend())
    return false;
  const auto e = g->constFind(key);
  if (e == g->cend())
    return false;
  value = e.value();
  return true;
}

void KConfigFileBackend::writeEntry(const QString &key, const QString &value) {
  if (!hasCurrent) {
    qDebug() << "writeEntry without previous setGroup!";
    return;
  }
  groups[currentGroup].insert(key, value);
}

void KConfigFileBackend::deleteGroup(const QString &name) {
  if (hasCurrent && currentGroup == name)
    hasCurrent = false;
  groups.remove(name);
}

KConfig::KConfig(const QString &fileName, bool ro)
    : backend(new KConfigFileBackend(fileName)), readOnly(ro) {
  backend->parse();
}

KConfig::~KConfig() {
  if (!readOnly)
    backend->sync();
  delete backend;
}

void KConfig::writeEntry(const QString &key, const QString &value) {
  backend->writeEntry(key, value);
}

void KConfig::writeEntry(const QString &key, const char *value) {
  backend->writeEntry(key, QString::fromLatin1(value));
}

void KConfig::writeEntry(const QString &key, int value) {
  backend->writeEntry(key, QString::number(value));
}

void KConfig::writeEntry(const QString &key, bool value) {
  backend->writeEntry(key, value ? QStringLiteral("true") : QStringLiteral("false"));
}

QString KConfig::readEntry(const QString &key, const QString &defaultValue) const {
  QString value;
  return backend->lookupEntry(key, value) ? value : defaultValue;
}

int KConfig::readNumEntry(const QString &key, int defaultValue) const {
  const QString value = readEntry(key);
  if (value.isEmpty())
    return defaultValue;
  bool ok = false;
  const int n = value.trimmed().toInt(&ok, 10);
  return ok ? n : 0;
}

bool KConfig::readBoolEntry(const QString &key, bool defaultValue) const {
  const QString value = readEntry(key).toLower();
  if (value.isEmpty())
    return defaultValue;
  if (value == QLatin1String("true") || value == QLatin1String("on"))
    return true;
  if (value == QLatin1String("false") || value == QLatin1String("off"))
    return false;
  return value.trimmed().toInt(nullptr, 10) != 0;
}

QStringList KConfig::readListEntry(const QString &key, QChar separator) const {
  const QString value = readEntry(key);
  if (value.isEmpty())
    return {};
  return value.split(separator, Qt::SkipEmptyParts);
}
