// Writes the file kinds the engine's input plug-ins play, as C++ for the front-end's playable
// list, at build time: each plug-in names its extensions and MIME types beside its record, so
// the front-end keeps no second list by hand.
//   kindsgen <output file> <plug-in library>...
#include <xmms/plugin.h>

#include <algorithm>
#include <cstdio>
#include <dlfcn.h>
#include <sstream>
#include <string>
#include <vector>

namespace {

void addWords(const char *text, std::vector<std::string> &into) {
  std::istringstream words(text ? text : "");
  for (std::string w; words >> w;) {
    bool known = false;
    for (const std::string &have : into)
      known = known || have == w;
    if (!known)
      into.push_back(w);
  }
}

std::string quoted(const std::vector<std::string> &words) {
  std::string out;
  for (const std::string &w : words) {
    out += "\"";
    for (char c : w)
      if (c != '"' && c != '\\' && static_cast<unsigned char>(c) >= 0x20)
        out += c;
    out += "\", ";
  }
  return out;
}

} // namespace

int main(int argc, char **argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: kindsgen <output file> <plug-in library>...\n");
    return 2;
  }
  // Plug-ins in the engine's order, so the most specific kinds come first.
  struct Found {
    int priority;
    std::string name;
    const char *extensions, *mimeTypes;
  };
  std::vector<Found> found;
  for (int i = 2; i < argc; ++i) {
    void *h = dlopen(argv[i], RTLD_LAZY | RTLD_LOCAL);
    if (!h) {
      std::fprintf(stderr, "kindsgen: cannot load %s: %s\n", argv[i], dlerror());
      return 1;
    }
    auto ext = reinterpret_cast<VeloraInputTextFunc>(dlsym(h, VELORA_INPUT_EXTENSIONS_SYMBOL));
    auto mime = reinterpret_cast<VeloraInputTextFunc>(dlsym(h, VELORA_INPUT_MIME_TYPES_SYMBOL));
    auto prio = reinterpret_cast<VeloraInputPriorityFunc>(dlsym(h, VELORA_INPUT_PRIORITY_SYMBOL));
    // The libraries stay loaded: the texts they returned live in them.
    found.push_back({prio ? prio() : 0, argv[i], ext ? ext() : nullptr, mime ? mime() : nullptr});
  }
  std::stable_sort(found.begin(), found.end(),
                   [](const Found &a, const Found &b) { return a.priority > b.priority; });
  std::vector<std::string> extensions, mimeTypes;
  for (const Found &f : found) {
    addWords(f.extensions, extensions);
    addWords(f.mimeTypes, mimeTypes);
  }
  std::string text = "// Made by kindsgen from the engine's input plug-ins; not edited by hand.\n";
  text += "static const char *const kPluginExtensions[] = {" + quoted(extensions) + "nullptr};\n";
  text += "static const char *const kPluginMimeTypes[] = {" + quoted(mimeTypes) + "nullptr};\n";
  std::string temp = std::string(argv[1]) + ".tmp";
  FILE *out = std::fopen(temp.c_str(), "w");
  bool ok = out && std::fwrite(text.data(), 1, text.size(), out) == text.size();
  if (out)
    ok = std::fclose(out) == 0 && ok;
  if (!ok || std::rename(temp.c_str(), argv[1]) != 0) {
    std::fprintf(stderr, "kindsgen: cannot write %s\n", argv[1]);
    std::remove(temp.c_str());
    return 1;
  }
  return 0;
}
