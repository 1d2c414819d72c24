// Small INI settings store: "[group]" headers and "key=value" lines. A store is opened for one
// piece of work; unless it is read-only it rewrites its whole file when destroyed.
//
// Text is byte-preserving: every byte of the file is one character (Latin-1), so names that
// callers store as UTF-8 bytes come back byte for byte.
#pragma once

#include <QMap>
#include <QString>
#include <QStringList>

class KConfigBackend {
public:
  virtual ~KConfigBackend();
  virtual void parse() = 0;
  virtual void sync() = 0;
  virtual QString group() const = 0;
  virtual void setGroup(const QString &name) = 0;
  virtual QStringList groupList() const = 0;
  virtual bool hasGroup(const QString &name) const = 0;
  virtual bool hasKey(const QString &key) const = 0;
  virtual QMap<QString, QString> entryMap(const QString &group) = 0;
  virtual bool lookupEntry(const QString &key, QString &value) const = 0;
  virtual void writeEntry(const QString &key, const QString &value) = 0;
  virtual void deleteGroup(const QString &name) = 0;
};

class KConfigFileBackend : public KConfigBackend {
public:
  explicit KConfigFileBackend(const QString &fileName);
  void parse() override;
  // Writes to a temporary file in the same folder and renames it over the old one; when that
  // fails the old file is untouched and the values stay in memory. A file that exists but could
  // not be read is never written (see isUnreadable).
  void sync() override;
  QString group() const override;
  void setGroup(const QString &name) override;
  QStringList groupList() const override;
  bool hasGroup(const QString &name) const override;
  bool hasKey(const QString &key) const override;
  QMap<QString, QString> entryMap(const QString &group) override;
  bool lookupEntry(const QString &key, QString &value) const override;
  void writeEntry(const QString &key, const QString &value) override;
  void deleteGroup(const QString &name) override;

  static const QString defaultGroup; // "<default>"

  // The file exists but could not be read (permissions, a read error) at the last parse.
  bool isUnreadable() const { return unreadable; }

private:
  void readFile(const QString &path);

  bool unreadable = false;
  QString fileName;
  // QString's ordering compares 16-bit code units, so "Band9" sorts before "Preamp".
  QMap<QString, QMap<QString, QString>> groups;
  QString currentGroup; // meaningful only when hasCurrent
  bool hasCurrent = false;
};

class KConfig {
public:
  explicit KConfig(const QString &fileName, bool readOnly = false);
  ~KConfig();
  KConfig(const KConfig &) = delete;
  KConfig &operator=(const KConfig &) = delete;

  KConfigBackend *backEnd() const { return backend; }
  bool isReadOnly() const { return readOnly; }

  void setGroup(const QString &name) { backend->setGroup(name); }
  QString group() const { return backend->group(); }
  bool hasKey(const QString &key) const { return backend->hasKey(key); }
  bool hasGroup(const QString &name) const { return backend->hasGroup(name); }
  QStringList groupList() const { return backend->groupList(); }
  QMap<QString, QString> entryMap(const QString &group) { return backend->entryMap(group); }
  void deleteGroup(const QString &name) { backend->deleteGroup(name); }
  void sync() { backend->sync(); }

  void writeEntry(const QString &key, const QString &value);
  void writeEntry(const QString &key, const char *value);
  void writeEntry(const QString &key, int value);
  void writeEntry(const QString &key, bool value);

  QString readEntry(const QString &key, const QString &defaultValue = QString()) const;
  int readNumEntry(const QString &key, int defaultValue = 0) const;
  bool readBoolEntry(const QString &key, bool defaultValue = false) const;
  QStringList readListEntry(const QString &key, QChar separator) const;

private:
  KConfigBackend *backend;
  bool readOnly;
};
