// What the desktop is told about a song: its tags as TagLib reads them from the file, with the
// file name standing in for a missing title.
#pragma once

#include <QString>

struct TrackInfo {
  QString path; // the file, as the engine's playlist names it (decoded from UTF-8)
  QString title, artist, album;

  // Reads the tags of path; a file without tags (or no readable file) keeps only the title.
  static TrackInfo read(const QString &path);
};
