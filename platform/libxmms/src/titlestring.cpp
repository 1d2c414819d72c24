#include "xmms/titlestring.h"
#include "xmms/configfile.h"

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

namespace {

// Returns the text of field c of the record, empty when the field is unset; false when c does
// not name a field.
bool fieldText(char c, const TitleInput *in, std::string &out) {
  auto str = [&out](const char *s) { out = s ? s : ""; };
  auto num = [&out](int n) { out = n ? std::to_string(n) : ""; };
  switch (c) {
  case 'p':
    str(in->performer);
    break;
  case 'a':
    str(in->album_name);
    break;
  case 't':
    str(in->track_name);
    break;
  case 'n':
    num(in->track_number);
    break;
  case 'y':
    num(in->year);
    break;
  case 'd':
    str(in->date);
    break;
  case 'g':
    str(in->genre);
    break;
  case 'c':
    str(in->comment);
    break;
  case 'f':
    str(in->file_name);
    break;
  case 'e':
    str(in->file_ext);
    break;
  case 'F':
    str(in->file_path);
    break;
  default:
    return false;
  }
  return true;
}

} // namespace

extern "C" {

char *xmms_get_gentitle_format(void) {
  // Read once per process: plug-ins ask for it for every title.
  static std::once_flag once;
  static char *format = nullptr;
  std::call_once(once, [] {
    ConfigFile *cfg = xmms_cfg_open_default_file();
    if (!xmms_cfg_read_string(cfg, "xmms", "gentitle_format", &format) || !format || !*format) {
      std::free(format);
      format = strdup("%p - %t");
    }
    xmms_cfg_free(cfg);
  });
  return format;
}

char *xmms_get_titlestring(const char *fmt, TitleInput *input) {
  if (!fmt || !input || input->__size < static_cast<int>(sizeof(TitleInput)))
    return nullptr;
  // The format alternates literal runs and fields. Literal runs are separators: between two
  // fields with text, the run just before the later one is kept; runs that would join an empty
  // field are dropped, so a missing performer gives "Song" rather than " - Song".
  std::vector<std::string> literals(1), fields;
  for (const char *p = fmt; *p; ++p) {
    std::string value;
    if (*p == '%' && p[1] && fieldText(p[1], input, value)) {
      fields.push_back(value);
      literals.emplace_back();
      ++p;
    } else if (*p == '%' && p[1] == '%') {
      literals.back() += '%';
      ++p;
    } else {
      literals.back() += *p;
    }
  }
  // literals[i] precedes fields[i]; literals[fields.size()] trails the last field.
  std::string title;
  bool any = false;
  size_t lastShown = 0;
  for (size_t i = 0; i < fields.size(); ++i) {
    if (fields[i].empty())
      continue;
    if (any || i == 0)
      title += literals[i];
    title += fields[i];
    any = true;
    lastShown = i;
  }
  if (any && lastShown + 1 == fields.size())
    title += literals.back();
  if (!any)
    return nullptr;
  return strdup(title.c_str());
}

} // extern "C"
