#include "tags.h"

#include <xmms/titlestring.h>

#include <cstdlib>
#include <cstring>
#include <strings.h>

namespace velora::input {

namespace {

// Length of the valid UTF-8 sequence at s (n bytes available), 0 when it is not one.
size_t utf8Sequence(const unsigned char *s, size_t n) {
  unsigned char c = s[0];
  size_t len;
  if (c < 0x80)
    return 1;
  if (c >= 0xC2 && c <= 0xDF)
    len = 2;
  else if (c >= 0xE0 && c <= 0xEF)
    len = 3;
  else if (c >= 0xF0 && c <= 0xF4)
    len = 4;
  else
    return 0;
  if (len > n)
    return 0;
  for (size_t i = 1; i < len; ++i)
    if ((s[i] & 0xC0) != 0x80)
      return 0;
  // Overlong forms and surrogates.
  if (c == 0xE0 && s[1] < 0xA0)
    return 0;
  if (c == 0xED && s[1] >= 0xA0)
    return 0;
  if (c == 0xF0 && s[1] < 0x90)
    return 0;
  if (c == 0xF4 && s[1] >= 0x90)
    return 0;
  return len;
}

bool validUtf8(const unsigned char *s, size_t n) {
  for (size_t i = 0; i < n;) {
    size_t len = utf8Sequence(s + i, n - i);
    if (!len)
      return false;
    i += len;
  }
  return true;
}

char *dupString(const std::string &s) { return strdup(s.c_str()); }

} // namespace

std::string tagText(const char *data, size_t maxBytes) {
  if (!data)
    return {};
  size_t n = strnlen(data, maxBytes);
  auto *bytes = reinterpret_cast<const unsigned char *>(data);
  std::string out;
  if (validUtf8(bytes, n)) {
    out.assign(data, n);
  } else {
    for (size_t i = 0; i < n; ++i) {
      unsigned char c = bytes[i];
      if (c < 0x80) {
        out += static_cast<char>(c);
      } else {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
      }
    }
  }
  while (!out.empty() &&
         (out.back() == ' ' || out.back() == '\t' || out.back() == '\r' || out.back() == '\n'))
    out.pop_back();
  if (out.size() > kMaxTagBytes) {
    size_t cut = kMaxTagBytes;
    while (cut > 0 && (static_cast<unsigned char>(out[cut]) & 0xC0) == 0x80)
      --cut; // never split a character
    out.resize(cut);
  }
  return out;
}

int leadingNumber(const std::string &text) {
  size_t i = 0;
  while (i < text.size() && text[i] == ' ')
    ++i;
  long value = 0;
  bool any = false;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + (text[i] - '0');
    any = true;
    if (value > 99999999)
      return 0;
  }
  return any ? static_cast<int>(value) : 0;
}

void Tags::addVorbisComment(const char *entry, size_t length) {
  if (!entry || length == 0)
    return;
  const char *eq = static_cast<const char *>(std::memchr(entry, '=', length));
  if (!eq)
    return;
  std::string key(entry, static_cast<size_t>(eq - entry));
  std::string value = tagText(eq + 1, length - static_cast<size_t>(eq + 1 - entry));
  if (value.empty())
    return;
  auto is = [&key](const char *name) { return strcasecmp(key.c_str(), name) == 0; };
  auto setOnce = [&value](std::string &field) {
    if (field.empty())
      field = value;
  };
  if (is("TITLE"))
    setOnce(title);
  else if (is("ARTIST") || (is("PERFORMER") && performer.empty()))
    setOnce(performer);
  else if (is("ALBUM"))
    setOnce(album);
  else if (is("GENRE"))
    setOnce(genre);
  else if (is("COMMENT") || is("DESCRIPTION"))
    setOnce(comment);
  else if (is("DATE") || is("YEAR")) {
    setOnce(date);
    if (!year)
      year = leadingNumber(value);
  } else if (is("TRACKNUMBER")) {
    if (!track)
      track = leadingNumber(value);
  }
}

char *makeTitle(const Tags &tags, const char *path) {
  std::string full = path ? path : "";
  size_t slash = full.rfind('/');
  std::string base = slash == std::string::npos ? full : full.substr(slash + 1);
  std::string dir = slash == std::string::npos ? std::string() : full.substr(0, slash);
  size_t dot = base.rfind('.');
  std::string ext = dot == std::string::npos ? std::string() : base.substr(dot + 1);

  TitleInput in;
  std::memset(&in, 0, sizeof in);
  in.__size = sizeof(TitleInput);
  in.__version = XMMS_TITLEINPUT_VERSION;
  auto field = [](const std::string &s) { return s.empty() ? nullptr : dupString(s); };
  in.performer = field(tags.performer);
  in.album_name = field(tags.album);
  in.track_name = field(tags.title);
  in.track_number = tags.track;
  in.year = tags.year;
  in.date = field(tags.date);
  in.genre = field(tags.genre);
  in.comment = field(tags.comment);
  in.file_name = dupString(base);
  char *extCopy = dupString(ext);
  in.file_ext = extCopy;
  in.file_path = dupString(dir + "/");

  char *title = xmms_get_titlestring(xmms_get_gentitle_format(), &in);

  std::free(in.performer);
  std::free(in.album_name);
  std::free(in.track_name);
  std::free(in.date);
  std::free(in.genre);
  std::free(in.comment);
  std::free(in.file_name);
  std::free(extCopy);
  std::free(in.file_path);

  if (!title || !*title) {
    std::free(title);
    title = dupString(base);
  }
  return title;
}

} // namespace velora::input
