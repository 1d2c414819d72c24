// ~/.xmms/config access for the engine and its plug-ins. Groups and keys keep the order of the
// file; a rewrite goes to a temporary file that replaces the old one only once it is complete.
#include "xmms/configfile.h"
#include "atomicfile.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <strings.h>
#include <utility>
#include <vector>

struct ConfigFile {
  struct Section {
    std::string name;
    std::vector<std::pair<std::string, std::string>> lines;
  };
  std::vector<Section> sections;

  Section *find(const char *name) {
    for (auto &s : sections)
      if (s.name == name)
        return &s;
    return nullptr;
  }
  Section &get(const char *name) {
    if (Section *s = find(name))
      return *s;
    sections.push_back({name, {}});
    return sections.back();
  }
  const std::string *value(const char *section, const char *key) {
    if (!section || !key)
      return nullptr;
    Section *s = find(section);
    if (!s)
      return nullptr;
    for (auto &l : s->lines)
      if (l.first == key)
        return &l.second;
    return nullptr;
  }
};

namespace {

std::string trim(const std::string &s) {
  const char *ws = " \t\r\n\v\f";
  size_t b = s.find_first_not_of(ws);
  if (b == std::string::npos)
    return {};
  size_t e = s.find_last_not_of(ws);
  return s.substr(b, e - b + 1);
}

// Same line rules as the front-end's settings store, so each reads what the other wrote.
void parseInto(ConfigFile &cfg, std::istream &in) {
  std::string raw;
  ConfigFile::Section *current = nullptr;
  while (std::getline(in, raw)) {
    std::string line = trim(raw);
    if (line.empty() || line[0] == '#')
      continue;
    if (line[0] == '[') {
      size_t close = line.find(']');
      if (close == std::string::npos)
        continue;
      current = &cfg.get(line.substr(1, close - 1).c_str());
      continue;
    }
    size_t eq = line.find('=');
    if (eq == std::string::npos)
      continue;
    if (!current)
      current = &cfg.get("<default>");
    std::string key = line.substr(0, eq), value = line.substr(eq + 1);
    bool found = false;
    for (auto &l : current->lines)
      if (l.first == key) {
        l.second = value;
        found = true;
      }
    if (!found)
      current->lines.emplace_back(key, value);
  }
}

char *dup(const std::string &s) {
  char *out = static_cast<char *>(std::malloc(s.size() + 1));
  if (out)
    std::memcpy(out, s.c_str(), s.size() + 1);
  return out;
}

} // namespace

extern "C" {

ConfigFile *xmms_cfg_new(void) { return new ConfigFile; }

ConfigFile *xmms_cfg_open_file(const char *filename) {
  if (!filename)
    return nullptr;
  std::ifstream in(filename, std::ios::binary);
  if (!in)
    return nullptr;
  auto *cfg = new ConfigFile;
  parseInto(*cfg, in);
  return cfg;
}

char *xmms_cfg_default_path(void) {
  const char *home = std::getenv("HOME");
  return dup(std::string(home ? home : "") + "/.xmms/config");
}

ConfigFile *xmms_cfg_open_default_file(void) {
  char *path = xmms_cfg_default_path();
  ConfigFile *cfg = xmms_cfg_open_file(path);
  std::free(path);
  return cfg ? cfg : new ConfigFile;
}

int xmms_cfg_write_file(ConfigFile *cfg, const char *filename) {
  if (!cfg || !filename)
    return 0;
  std::string text;
  for (auto &s : cfg->sections) {
    if (s.lines.empty())
      continue;
    text += "[" + s.name + "]\n";
    for (auto &l : s.lines)
      text += l.first + "=" + l.second + "\n";
  }
  return xmms::writeFileAtomically(filename, text) ? 1 : 0;
}

int xmms_cfg_write_default_file(ConfigFile *cfg) {
  char *path = xmms_cfg_default_path();
  std::string dir(path);
  dir.resize(dir.rfind('/'));
  xmms::makeFolder(dir);
  int ok = xmms_cfg_write_file(cfg, path);
  std::free(path);
  return ok;
}

void xmms_cfg_free(ConfigFile *cfg) { delete cfg; }

int xmms_cfg_read_string(ConfigFile *cfg, const char *section, const char *key, char **value) {
  const std::string *v = cfg ? cfg->value(section, key) : nullptr;
  if (!v || !value)
    return 0;
  *value = dup(*v);
  return *value != nullptr;
}

int xmms_cfg_read_int(ConfigFile *cfg, const char *section, const char *key, int *value) {
  const std::string *v = cfg ? cfg->value(section, key) : nullptr;
  if (!v || !value)
    return 0;
  char *end = nullptr;
  long n = std::strtol(v->c_str(), &end, 10);
  if (end == v->c_str())
    return 0;
  *value = static_cast<int>(n);
  return 1;
}

int xmms_cfg_read_boolean(ConfigFile *cfg, const char *section, const char *key, int *value) {
  const std::string *v = cfg ? cfg->value(section, key) : nullptr;
  if (!v || !value || v->empty())
    return 0;
  const char *s = v->c_str();
  // The engine writes TRUE/FALSE and the front-end true/false into the same file.
  if (!strcasecmp(s, "true") || !strcasecmp(s, "on"))
    *value = 1;
  else if (!strcasecmp(s, "false") || !strcasecmp(s, "off"))
    *value = 0;
  else
    *value = std::atoi(s) != 0;
  return 1;
}

int xmms_cfg_read_float(ConfigFile *cfg, const char *section, const char *key, float *value) {
  const std::string *v = cfg ? cfg->value(section, key) : nullptr;
  if (!v || !value)
    return 0;
  // Written with a '.' whatever the locale, so parse by hand rather than with strtof.
  const char *p = v->c_str();
  double sign = 1, result = 0, scale = 1;
  bool digits = false;
  while (*p == ' ')
    ++p;
  if (*p == '-' || *p == '+')
    sign = (*p++ == '-') ? -1 : 1;
  for (; *p >= '0' && *p <= '9'; ++p, digits = true)
    result = result * 10 + (*p - '0');
  if (*p == '.')
    for (++p; *p >= '0' && *p <= '9'; ++p, digits = true)
      result += (*p - '0') * (scale /= 10);
  if (!digits)
    return 0;
  *value = static_cast<float>(sign * result);
  return 1;
}

void xmms_cfg_write_string(ConfigFile *cfg, const char *section, const char *key,
                           const char *value) {
  if (!cfg || !section || !key)
    return;
  // A line break in a value would split it into two lines on the next read.
  std::string v = value ? value : "";
  for (char &c : v)
    if (c == '\n' || c == '\r')
      c = ' ';
  auto &s = cfg->get(section);
  for (auto &l : s.lines)
    if (l.first == key) {
      l.second = v;
      return;
    }
  s.lines.emplace_back(key, v);
}

void xmms_cfg_write_int(ConfigFile *cfg, const char *section, const char *key, int value) {
  xmms_cfg_write_string(cfg, section, key, std::to_string(value).c_str());
}

void xmms_cfg_write_boolean(ConfigFile *cfg, const char *section, const char *key, int value) {
  xmms_cfg_write_string(cfg, section, key, value ? "TRUE" : "FALSE");
}

void xmms_cfg_write_float(ConfigFile *cfg, const char *section, const char *key, float value) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.6f", static_cast<double>(value));
  for (char *c = buf; *c; ++c)
    if (*c == ',')
      *c = '.';
  xmms_cfg_write_string(cfg, section, key, buf);
}

void xmms_cfg_remove_key(ConfigFile *cfg, const char *section, const char *key) {
  if (!cfg || !section || !key)
    return;
  if (auto *s = cfg->find(section))
    std::erase_if(s->lines, [key](auto &l) { return l.first == key; });
}

} // extern "C"
