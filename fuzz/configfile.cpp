// The engine's reader of ~/.xmms/config on arbitrary bytes: every key read in every type, then
// a write-back that must read back to the same strings.
#include <xmms/configfile.h>

#include "memfile.h"

#include <cstdlib>
#include <string>
#include <vector>

namespace {

// Candidate group and key names taken from the input's own "[...]" and "...=" spans, so the
// reads hit what the file holds.
void names(const std::string &text, std::vector<std::string> &groups,
           std::vector<std::string> &keys) {
  size_t start = 0;
  while (start < text.size() && groups.size() + keys.size() < 64) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos)
      end = text.size();
    std::string line = text.substr(start, end - start);
    size_t close = line.find(']');
    if (!line.empty() && line[0] == '[' && close != std::string::npos)
      groups.push_back(line.substr(1, close - 1));
    size_t eq = line.find('=');
    if (eq != std::string::npos)
      keys.push_back(line.substr(0, eq));
    start = end + 1;
  }
  groups.push_back("xmms");
  keys.push_back("volume");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  static fuzz::MemFile file("cfg");
  static const std::string copy = std::string(getenv("TMPDIR") ? getenv("TMPDIR") : "/tmp") +
                                  "/velora-fuzz-cfg-" + std::to_string(getpid());
  std::string path = file.fill(data, size);
  ConfigFile *cfg = xmms_cfg_open_file(path.c_str());
  FUZZ_CHECK(cfg != nullptr);
  std::vector<std::string> groups, keys;
  names(std::string(reinterpret_cast<const char *>(data), size), groups, keys);
  std::vector<std::string> values;
  for (const auto &g : groups)
    for (const auto &k : keys) {
      char *s = nullptr;
      values.push_back(xmms_cfg_read_string(cfg, g.c_str(), k.c_str(), &s) ? s : "\x01none");
      free(s);
      int i = 0;
      float f = 0;
      (void)xmms_cfg_read_int(cfg, g.c_str(), k.c_str(), &i);
      (void)xmms_cfg_read_boolean(cfg, g.c_str(), k.c_str(), &i);
      (void)xmms_cfg_read_float(cfg, g.c_str(), k.c_str(), &f);
    }
  if (xmms_cfg_write_file(cfg, copy.c_str())) {
    ConfigFile *again = xmms_cfg_open_file(copy.c_str());
    FUZZ_CHECK(again != nullptr);
    size_t n = 0;
    for (const auto &g : groups)
      for (const auto &k : keys) {
        char *s = nullptr;
        std::string v = xmms_cfg_read_string(again, g.c_str(), k.c_str(), &s) ? s : "\x01none";
        free(s);
        FUZZ_CHECK(v == values[n]);
        ++n;
      }
    xmms_cfg_free(again);
    unlink(copy.c_str());
  }
  xmms_cfg_free(cfg);
  return 0;
}
