// Per-song lyrics shifts chosen with the earlier/later keys, kept in ~/.xmms/lyrics_offsets:
// one "offset_ms path" line a song (positive: the lines come earlier). The user's lyrics files
// are never written; this file is replaced atomically.
#pragma once

#include <QString>

namespace lyricsoffsets {
// The remembered shift of a song, 0 when none.
int shiftFor(const QString &home, const QString &songPath);
// Remembers (or, for 0, forgets) a song's shift. False with a diagnostic when it cannot be saved.
bool store(const QString &home, const QString &songPath, int offsetMs);
} // namespace lyricsoffsets
