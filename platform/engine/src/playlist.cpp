#include "playlist.h"

#include <fstream>
#include <sstream>

namespace engine {

namespace {

struct CodePoint {
  char32_t value;
  size_t bytes;   // length of its UTF-8 sequence (1 for an invalid byte)
  int utf16Units; // how many UTF-16 units it takes once decoded
};

// Decodes one code point at s[i]; an invalid sequence counts as one replacement character.
CodePoint decodeAt(const std::string &s, size_t i) {
  auto b = static_cast<unsigned char>(s[i]);
  if (b < 0x80)
    return {b, 1, 1};
  int len = (b & 0xe0) == 0xc0 ? 2 : (b & 0xf0) == 0xe0 ? 3 : (b & 0xf8) == 0xf0 ? 4 : 0;
  if (len == 0 || i + len > s.size())
    return {0xfffd, 1, 1};
  char32_t cp = b & (0x7f >> len);
  for (int k = 1; k < len; ++k) {
    auto c = static_cast<unsigned char>(s[i + k]);
    if ((c & 0xc0) != 0x80)
      return {0xfffd, 1, 1};
    cp = (cp << 6) | (c & 0x3f);
  }
  static const char32_t minimum[5] = {0, 0, 0x80, 0x800, 0x10000};
  if (cp < minimum[len] || cp > 0x10ffff || (cp >= 0xd800 && cp <= 0xdfff))
    return {0xfffd, 1, 1};
  return {cp, static_cast<size_t>(len), cp >= 0x10000 ? 2 : 1};
}

bool isSpace(char32_t c) {
  return (c >= 0x09 && c <= 0x0d) || c == 0x20 || c == 0x85 || c == 0xa0 || c == 0x1680 ||
         (c >= 0x2000 && c <= 0x200a) || c == 0x2028 || c == 0x2029 || c == 0x202f || c == 0x205f ||
         c == 0x3000;
}

// Trims the line and returns its length in UTF-16 units.
int trimLine(std::string &line) {
  std::vector<CodePoint> cps;
  for (size_t i = 0; i < line.size();) {
    cps.push_back(decodeAt(line, i));
    i += cps.back().bytes;
  }
  size_t first = 0, last = cps.size();
  while (first < last && isSpace(cps[first].value))
    ++first;
  while (last > first && isSpace(cps[last - 1].value))
    --last;
  size_t begin = 0, length = 0;
  int units = 0;
  for (size_t k = 0; k < cps.size(); ++k) {
    if (k < first)
      begin += cps[k].bytes;
    else if (k < last) {
      length += cps[k].bytes;
      units += cps[k].utf16Units;
    }
  }
  line = line.substr(begin, length);
  return units;
}

} // namespace

std::vector<std::string> parsePlaylist(const std::string &textIn) {
  std::string text = textIn;
  if (text.compare(0, 3, "\xef\xbb\xbf") == 0)
    text.erase(0, 3);
  std::vector<std::string> entries;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    int length = trimLine(line);
    if (length <= 5 || line[0] == '#')
      continue;
    entries.push_back(line);
  }
  return entries;
}

std::vector<std::string> loadPlaylistFile(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  if (!in)
    return {};
  std::stringstream ss;
  ss << in.rdbuf();
  return parsePlaylist(ss.str());
}

int resumePosition(const std::vector<std::string> &entries, int savedPosition,
                   const std::string &savedFile) {
  if (savedPosition >= 0 && savedPosition < static_cast<int>(entries.size()) &&
      !savedFile.empty() && entries[savedPosition] == savedFile)
    return savedPosition;
  return 0;
}

} // namespace engine
