// The engine's playlist file, ~/.xmms/xmms.m3u. The front-end reads the same file with the same
// line rules, so that engine position n is the front-end's entry n; the engine never writes it.
#pragma once

#include <string>
#include <vector>

namespace engine {

// Parses playlist text: lines split at "\n", trimmed of white space (Unicode spaces included,
// as the front-end's text class does), lines of 5 characters or fewer and "#" lines dropped.
// Characters are counted as UTF-16 units of the UTF-8 decoded line, as the front-end counts.
std::vector<std::string> parsePlaylist(const std::string &text);

// A missing or unreadable file gives an empty playlist.
std::vector<std::string> loadPlaylistFile(const std::string &path);

// Where to start: the saved position when that entry is still the same file, otherwise 0.
int resumePosition(const std::vector<std::string> &entries, int savedPosition,
                   const std::string &savedFile);

} // namespace engine
