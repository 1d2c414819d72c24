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

// The input plug-ins call C function pointers, so the forwarding state lives at file scope.
PluginEvents *g_events = nullptr;
OutputPlugin *g_chosen = nullptr;
OutputPlugin *g_null = nullptr;
std::string g_chosenName;
const char *(*g_chosenError)(void) = nullptr;
std::atomic<OutputPlugin *> g_current{nullptr};
std::atomic<bool> g_open{false};
std::atomic<int> g_volume{100};
std::mutex g_warnMutex;
bool g_warned = false;
OutputPlugin g_record;

OutputPlugin *current() { return g_current.load(); }

int outOpen(AFormat fmt, int rate, int nch) {
  if (g_open.exchange(false))
    if (OutputPlugin *o = current())
      o->close_audio();
  int v = g_volume.load();
  if (g_chosen) {
    if (g_chosen->set_volume)
      g_chosen->set_volume(v, v);
    if (g_chosen->open_audio(fmt, rate, nch)) {
      g_current = g_chosen;
      g_open = true;
      std::lock_guard<std::mutex> lk(g_warnMutex);
      g_warned = false;
      return 1;
    }
  }
  if (!g_null || g_null == g_chosen)
    return 0;
  {
    std::lock_guard<std::mutex> lk(g_warnMutex);
    if (!g_warned && g_chosen) {
      const char *why = g_chosenError ? g_chosenError() : nullptr;
      std::fprintf(stderr,
                   "xmms: cannot open the audio output %s%s%s; playing to the null output\n",
                   g_chosenName.c_str(), why && *why ? ": " : "", why ? why : "");
      g_warned = true;
    }
  }
  if (g_null->set_volume)
    g_null->set_volume(v, v);
  if (!g_null->open_audio(fmt, rate, nch))
    return 0;
  g_current = g_null;
  g_open = true;
  return 1;
}

std::atomic<uint64_t> g_written{0};

void outWrite(void *ptr, int length) {
  if (g_open && ptr && length > 0) {
    g_written += static_cast<uint64_t>(length);
    current()->write_audio(ptr, length);
  }
}

void outputIdle() {
  if (g_events)
    g_events->onOutputIdle();
}

void outClose() {
  if (g_open.exchange(false))
    current()->close_audio();
  outputIdle();
}

void outFlush(int time) {
  if (g_open)
    current()->flush(time);
}

void outPause(short paused) {
  if (g_open)
    current()->pause(paused);
}

int outBufferFree() { return g_open ? current()->buffer_free() : 0; }
// Whether the output still held audio at the last answer: its change to empty is the moment a
// plug-in's final drain ends, said once rather than at every empty answer.
std::atomic<bool> g_held{false};

int outBufferPlaying() {
  int held = g_open ? current()->buffer_playing() : 0;
  if (g_held.exchange(held != 0) && !held)
    outputIdle();
  return held;
}
int outOutputTime() { return g_open ? current()->output_time() : 0; }
int outWrittenTime() {
  OutputPlugin *o = current();
  return g_open && o->written_time ? o->written_time() : 0;
}

void outGetVolume(int *l, int *r) {
  if (l)
    *l = g_volume;
  if (r)
    *r = g_volume;
}

void outSetVolume(int l, int r) {
  int v = std::clamp(std::max(l, r), 0, 100);
  g_volume = v;
  for (OutputPlugin *o : {g_chosen, g_null})
    if (o && o->set_volume)
      o->set_volume(v, v);
}

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

PluginHost::PluginHost(PluginEvents *events) : events_(events) {
  g_events = events;
  std::memset(&g_record, 0, sizeof g_record);
  g_record.description = const_cast<char *>("xmms engine output");
  g_record.get_volume = outGetVolume;
  g_record.set_volume = outSetVolume;
  g_record.open_audio = outOpen;
  g_record.write_audio = outWrite;
  g_record.close_audio = outClose;
  g_record.flush = outFlush;
  g_record.pause = outPause;
  g_record.buffer_free = outBufferFree;
  g_record.buffer_playing = outBufferPlaying;
  g_record.output_time = outOutputTime;
  g_record.written_time = outWrittenTime;
}

// Plug-in threads left behind by a call that never returned may still run their code, so the
// libraries stay mapped until the process ends.
PluginHost::~PluginHost() { g_events = nullptr; }

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
    ip->output = &g_record;
    if (ip->init)
      ip->init();
    auto entry = std::make_unique<InputEntry>();
    entry->ip = ip;
    entry->path = path;
    entry->name = name;
    inputs_.push_back(std::move(entry));
  }
}

void PluginHost::loadOutputs(const std::string &dir, const std::string &chosen) {
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
    if (isChosen) {
      g_chosen = op;
      g_chosenName = name;
      g_chosenError = reinterpret_cast<const char *(*)(void)>(dlsym(h, "velora_output_error"));
    }
    if (isNull)
      g_null = op;
  }
  if (!g_chosen)
    std::fprintf(stderr, "xmms: audio output %s not found in %s; playing to the null output\n",
                 chosen.c_str(), dir.c_str());
  if (!g_chosen && !g_null)
    std::fprintf(stderr, "xmms: no output plug-in in %s; nothing can be played\n", dir.c_str());
  g_current = g_chosen ? g_chosen : g_null;
}

InputEntry *PluginHost::inputFor(const std::string &file) {
  for (auto &e : inputs_) {
    if (e->wedged || !e->ip->is_our_file || !e->ip->play_file)
      continue;
    if (e->ip->is_our_file(const_cast<char *>(file.c_str())))
      return e.get();
  }
  return nullptr;
}

uint64_t PluginHost::bytesWritten() const { return g_written.load(); }

bool PluginHost::outputOpen() const { return g_open; }

int PluginHost::outputTime() const { return outOutputTime(); }

void PluginHost::closeOutputIfOpen() { outClose(); }

void PluginHost::setVolume(int percent) { outSetVolume(percent, percent); }

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
