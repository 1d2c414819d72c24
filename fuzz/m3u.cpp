// The front-end's playlist reader on arbitrary bytes. Entries are trimmed lines longer than five
// characters that are not comments; writing them back and reading again gives the same list;
// and the engine, which reads the same file, finds the same number of entries in the same
// places, because the panel's line n is the engine's position n.
#include "m3u.h"
#include "memfile.h"
#include "playlist.h"
#include "qtquiet.h"

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  fuzz::quietQt();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  static fuzz::MemFile file("m3u");
  const QByteArray bytes =
      QByteArray::fromRawData(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
  const QStringList entries = m3u::parse(bytes);
  for (const QString &e : entries) {
    FUZZ_CHECK(e.size() > 5);
    FUZZ_CHECK(!e.startsWith(QLatin1Char('#')));
    FUZZ_CHECK(!e.contains(QLatin1Char('\n')));
    FUZZ_CHECK(e == e.trimmed());
  }
  std::optional<QStringList> read = m3u::read(QString::fromStdString(file.fill(data, size)));
  FUZZ_CHECK(read && *read == entries);
  FUZZ_CHECK(m3u::parse(m3u::format(entries)) == entries);

  const auto engineEntries = engine::parsePlaylist(std::string(bytes.constData(), size));
  FUZZ_CHECK(engineEntries.size() == static_cast<size_t>(entries.size()));
  for (size_t i = 0; i < engineEntries.size(); ++i) {
    // Decoded behind one character, so a byte-order mark inside the entry is kept as it was.
    const QString engineEntry = QString::fromUtf8("/" + engineEntries[i]).mid(1);
    FUZZ_CHECK(engineEntry == entries[static_cast<qsizetype>(i)]);
  }
  return 0;
}
