// Playlist files as the player and its engine read them: UTF-8 text, one path per line, lines
// trimmed, lines of 5 characters or fewer and "#" lines skipped. Written files hold one path and
// a line feed per entry and replace the old file in one step (temporary file + rename).
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

namespace m3u {

QStringList parse(const QByteArray &text);
// Nothing when the file cannot be opened.
std::optional<QStringList> read(const QString &path);
// Entries holding a line feed are left out (with a warning): no line could hold them.
QByteArray format(const QStringList &entries);
// Writes bytes to path through a temporary file in the same folder; the old file stays whole
// when anything fails. Returns false on failure.
bool writeAtomically(const QString &path, const QByteArray &bytes);
inline bool write(const QString &path, const QStringList &entries) {
  return writeAtomically(path, format(entries));
}

} // namespace m3u
