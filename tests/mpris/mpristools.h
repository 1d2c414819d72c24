// Helpers of the desktop-control tests: outside clients run while the event loop keeps serving
// the player's bus object, and small tone files whose loudness the disk writer shows.
#pragma once

#include "guiapp.h"

#include <QProcess>
#include <QString>
#include <QStringList>

#include <taglib/fileref.h>
#include <taglib/tag.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <utility>

// Runs a client program to its end, serving our own bus object meanwhile (the client waits for
// our answers); returns its standard output, trimmed.
inline std::string runClient(const QString &program, const QStringList &args) {
  QProcess p;
  p.start(program, args);
  if (!p.waitForStarted(10000))
    return "<" + program.toStdString() + " did not start>";
  spinUntil([&] { return p.state() == QProcess::NotRunning; }, 30000);
  if (p.state() != QProcess::NotRunning) {
    p.kill();
    p.waitForFinished(2000);
  }
  return QString::fromUtf8(p.readAllStandardOutput()).trimmed().toStdString();
}
inline std::string playerctl(const QStringList &args) { return runClient("playerctl", args); }
inline std::string gdbus(const QStringList &args) { return runClient("gdbus", args); }

// Largest sample of a 16-bit WAV's data, and how many samples it holds.
inline std::pair<int, size_t> peakAndCount(const std::string &wav) {
  const size_t data = wav.find("data");
  if (data == std::string::npos || wav.size() < data + 8)
    return {0, 0};
  uint32_t bytes = 0;
  std::memcpy(&bytes, wav.data() + data + 4, 4);
  const size_t end = std::min(wav.size(), data + 8 + bytes);
  int peak = 0;
  size_t n = 0;
  for (size_t i = data + 8; i + 1 < end; i += 2, ++n) {
    int16_t s;
    std::memcpy(&s, wav.data() + i, 2);
    peak = std::max(peak, std::abs(static_cast<int>(s)));
  }
  return {peak, n};
}

// Tags a file the way a tagging program would.
inline bool tagFile(const std::string &path, const char *title, const char *artist,
                    const char *album) {
  TagLib::FileRef file(path.c_str(), false);
  if (file.isNull() || !file.tag())
    return false;
  file.tag()->setTitle(title);
  file.tag()->setArtist(artist);
  file.tag()->setAlbum(album);
  return file.save();
}
