#include "pluginhost.h"
#include "watchdog.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <dlfcn.h>
#include <mutex>

namespace engine {

namespace {

// The input plug-ins call C function pointers: the engine-side slots reach the host here.
PluginEvents *g_events = nullptr;

void slotSetInfo(char *title, int length, int rate, int freq, int nch) {
  if (g_events)
    g_events->onSetInfo(title, length, rate, freq, nch);
}
void slotSetInfoText(char *) {}
void slotAddVisPcm(int, AFormat, int, int, void *) {}

std::vector<std::string> sharedLibraries(const std::string &dir) {
  std::vector<std::string> names;
  DIR *d = opendir(dir.c_str());
  if (!d)
    return names;
  while (dirent *e = readdir(d)) {
    std::string n = e->d_name;
    if (n.size() > 3 && n.compare(n.size() - 3, 3, ".so") == 0 && n[0] != '.')
      names.push_back(n);
  }
  closedir(d);
  std::sort(names.begin(), names.end());
  return names;
}

void *openLibrary(const std::string &path, const char *kind) {
  void *h = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!h)
    std::fprintf(stderr, "xmms: cannot load %s plug-in %s: %s\n", kind, path.c_str(), dlerror());
  return h;
}

} // namespace

PluginHost::PluginHost(PluginEvents *events) : events_(events), stage_(events) {
  g_events = events;
}

// Plug-in threads left behind by a call that never returned may still run their code, so the
// libraries stay mapped until the process ends.
PluginHost::~PluginHost() {
  g_events = nullptr;
  // The plug-ins stay loaded (a library is never closed under a thread it may have left), but
  // the names given to their records are ours: a host made again would give them new ones.
  for (auto &e : inputs_) {
    std::free(e->ip->filename);
    e->ip->filename = nullptr;
  }
}

void PluginHost::loadInputs(const std::string &dir, const std::vector<std::string> &disabled) {
  for (const std::string &name : sharedLibraries(dir)) {
    if (std::find(disabled.begin(), disabled.end(), name) != disabled.end())
      continue;
    std::string path = dir + "/" + name;
    void *h = openLibrary(path, "input");
    if (!h)
      continue;
    auto info = reinterpret_cast<GetInputPluginFunc>(dlsym(h, "get_iplugin_info"));
    InputPlugin *ip = info ? info() : nullptr;
    if (!ip) {
      std::fprintf(stderr, "xmms: %s is not an input plug-in (no get_iplugin_info record)\n",
                   path.c_str());
      dlclose(h);
      continue;
    }
    handles_.push_back(h);
    ip->handle = h;
    ip->filename = strdup(path.c_str());
    ip->add_vis_pcm = slotAddVisPcm;
    ip->set_info = slotSetInfo;
    ip->set_info_text = slotSetInfoText;
    ip->output = stage_.record();
    if (ip->init)
      ip->init();
    auto entry = std::make_unique<InputEntry>();
    entry->ip = ip;
    entry->path = path;
    entry->name = name;
    if (auto priority =
            reinterpret_cast<VeloraInputPriorityFunc>(dlsym(h, VELORA_INPUT_PRIORITY_SYMBOL)))
      entry->priority = priority();
    if (auto caps = reinterpret_cast<VeloraInputCapabilitiesFunc>(
            dlsym(h, VELORA_INPUT_CAPABILITIES_SYMBOL)))
      entry->capabilities = caps();
    inputs_.push_back(std::move(entry));
  }
  // A catch-all that claims nearly every file must come last whatever its file name.
  std::stable_sort(inputs_.begin(), inputs_.end(),
                   [](const auto &a, const auto &b) { return a->priority > b->priority; });
}

void PluginHost::loadOutputs(const std::string &dir, const std::string &chosen) {
  stage::Device chosenDevice, nullDevice;
  for (const std::string &name : sharedLibraries(dir)) {
    bool isChosen = name == chosen || "lib" + chosen + ".so" == name;
    bool isNull = name == "libnullout.so";
    if (!isChosen && !isNull)
      continue;
    std::string path = dir + "/" + name;
    void *h = openLibrary(path, "output");
    if (!h)
      continue;
    auto info = reinterpret_cast<GetOutputPluginFunc>(dlsym(h, "get_oplugin_info"));
    OutputPlugin *op = info ? info() : nullptr;
    if (!op || !op->open_audio || !op->write_audio || !op->close_audio || !op->flush ||
        !op->pause || !op->buffer_free || !op->buffer_playing || !op->output_time) {
      std::fprintf(stderr, "xmms: %s is not an output plug-in\n", path.c_str());
      dlclose(h);
      continue;
    }
    handles_.push_back(h);
    op->handle = h;
    op->filename = strdup(path.c_str());
    if (op->init)
      op->init();
    stage::Device d;
    d.op = op;
    d.name = name;
    d.lastError = reinterpret_cast<const char *(*)(void)>(dlsym(h, "velora_output_error"));
    d.sessionEnded = reinterpret_cast<void (*)(void)>(dlsym(h, "velora_output_session_end"));
    d.joinsSongs = reinterpret_cast<int (*)(void)>(dlsym(h, "velora_output_joins_songs"));
    if (isChosen)
      chosenDevice = d;
    if (isNull)
      nullDevice = d;
  }
  if (!chosenDevice.op)
    std::fprintf(stderr, "xmms: audio output %s not found in %s; playing to the null output\n",
                 chosen.c_str(), dir.c_str());
  if (!chosenDevice.op && !nullDevice.op)
    std::fprintf(stderr, "xmms: no output plug-in in %s; nothing can be played\n", dir.c_str());
  stage_.setDevices(chosenDevice, nullDevice);
}

InputEntry *PluginHost::inputFor(const std::string &file, const InputEntry *after) {
  bool past = after == nullptr;
  for (auto &e : inputs_) {
    if (!past) {
      past = e.get() == after;
      continue;
    }
    if (e->wedged || !e->ip->is_our_file || !e->ip->play_file)
      continue;
    if (e->ip->is_our_file(const_cast<char *>(file.c_str())))
      return e.get();
  }
  return nullptr;
}

void PluginHost::cleanup(int timeoutMs) {
  for (auto &e : inputs_) {
    if (e->wedged || !e->ip->cleanup)
      continue;
    InputPlugin *ip = e->ip;
    if (!runWithTimeout([ip] { ip->cleanup(); }, timeoutMs)) {
      e->wedged = true;
      std::fprintf(stderr, "xmms: input plug-in %s did not finish its cleanup; leaving it\n",
                   e->name.c_str());
    }
  }
}

} // namespace engine
