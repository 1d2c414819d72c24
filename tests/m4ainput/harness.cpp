#include "harness.h"

#include "testenv.h"

#include <gtest/gtest.h>
#include <neaacdec.h>

#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace m4a {

const Plugin &plugin() {
  static Plugin p = [] {
    Plugin loaded;
    std::string path = velora::test::stageDir() + "/lib/xmms/Input/libm4ainput.so";
    loaded.handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!loaded.handle) {
      ADD_FAILURE() << "dlopen " << path << ": " << dlerror();
      return loaded;
    }
    auto get = reinterpret_cast<GetInputPluginFunc>(dlsym(loaded.handle, "get_iplugin_info"));
    if (!get) {
      ADD_FAILURE() << "no get_iplugin_info";
      return loaded;
    }
    loaded.ip = get();
    // What the engine does after loading: fill its own slots, then init.
    loaded.ip->output = recordingOutput();
    loaded.ip->set_info = [](char *title, int length, int rate, int freq, int nch) {
      SetInfo info;
      info.hasTitle = title != nullptr;
      info.title = title ? title : "";
      info.length = length;
      info.rate = rate;
      info.freq = freq;
      info.channels = nch;
      std::lock_guard<std::mutex> g(recorder().lock);
      recorder().infos.push_back(info);
    };
    loaded.ip->init();
    return loaded;
  }();
  return p;
}

Recorder &recorder() {
  static Recorder *r = new Recorder;
  return *r;
}

void Recorder::reset() {
  std::lock_guard<std::mutex> g(lock);
  events.clear();
  pcm.clear();
  infos.clear();
  openResult = 1;
  freeBytes = 1 << 20;
  blockAfterWrites = -1;
  writes = 0;
  bufferFreeCalls = 0;
  closes = 0;
  soundCard = false;
  cardPaused = false;
  cardOpen = false;
  pauseAtWrite = -1;
  onWrite = nullptr;
}

std::vector<Event> Recorder::eventsOf(Event::Kind kind) {
  std::lock_guard<std::mutex> g(lock);
  std::vector<Event> found;
  for (const Event &e : events)
    if (e.kind == kind)
      found.push_back(e);
  return found;
}

Pcm Recorder::pcmCopy() {
  std::lock_guard<std::mutex> g(lock);
  return pcm;
}

namespace {

void record(Event::Kind kind, int a = 0, int b = 0, int c = 0) {
  Recorder &r = recorder();
  std::lock_guard<std::mutex> g(r.lock);
  r.events.push_back(Event{kind, a, b, c, r.pcm.size()});
}

OutputPlugin makeOutput() {
  OutputPlugin o{};
  o.description = const_cast<char *>("recording output");
  o.open_audio = [](AFormat fmt, int rate, int nch) {
    record(Event::Open, int(fmt), rate, nch);
    {
      std::lock_guard<std::mutex> g(recorder().lock);
      recorder().cardOpen = true;
      recorder().cardPaused = false;
    }
    return recorder().openResult.load();
  };
  o.write_audio = [](void *ptr, int length) {
    Recorder &r = recorder();
    if (r.onWrite)
      r.onWrite(r.writes + 1);
    {
      std::unique_lock<std::mutex> g(r.lock);
      if (r.soundCard) {
        r.cardChanged.wait(g, [&] { return !r.cardPaused || !r.cardOpen; });
        if (!r.cardOpen)
          return; // a closed card takes nothing
      }
      r.events.push_back(Event{Event::Write, length, 0, 0, r.pcm.size()});
      auto *s = static_cast<int16_t *>(ptr);
      r.pcm.insert(r.pcm.end(), s, s + length / 2);
    }
    if (++r.writes == r.pauseAtWrite) {
      std::lock_guard<std::mutex> g(r.lock);
      r.cardPaused = true;
    }
  };
  o.close_audio = [] {
    ++recorder().closes;
    record(Event::Close);
    std::lock_guard<std::mutex> g(recorder().lock);
    recorder().cardOpen = false;
    recorder().cardChanged.notify_all();
  };
  o.flush = [](int time) { record(Event::Flush, time); };
  o.pause = [](short paused) {
    record(Event::Pause, paused);
    std::lock_guard<std::mutex> g(recorder().lock);
    recorder().cardPaused = paused != 0;
    recorder().cardChanged.notify_all();
  };
  o.buffer_free = [] {
    Recorder &r = recorder();
    ++r.bufferFreeCalls;
    if (r.soundCard && r.cardPaused)
      return 0;
    int block = r.blockAfterWrites;
    if (block >= 0 && r.writes >= block)
      return 0;
    return r.freeBytes.load();
  };
  o.buffer_playing = [] {
    Recorder &r = recorder();
    return r.soundCard && r.cardPaused && r.cardOpen ? 1 : 0;
  };
  o.output_time = [] { return 4321; };
  o.written_time = [] { return 0; };
  return o;
}

} // namespace

OutputPlugin *recordingOutput() {
  static OutputPlugin o = makeOutput();
  return &o;
}

bool playToEnd(const std::string &path, int timeoutMs) {
  InputPlugin *ip = plugin().ip;
  ip->play_file(const_cast<char *>(path.c_str()));
  bool ended = velora::test::waitUntil([&] { return ip->get_time() == -1; }, timeoutMs);
  ip->stop();
  return ended;
}

Mp4File::Mp4File(const std::string &path, bool metaOnly) {
  file = fopen(path.c_str(), "rb");
  if (!file)
    return;
  cb.read = [](void *user, void *buffer, uint32_t length) {
    return uint32_t(fread(buffer, 1, length, static_cast<FILE *>(user)));
  };
  cb.seek = [](void *user, uint64_t position) {
    return uint32_t(fseeko(static_cast<FILE *>(user), off_t(position), SEEK_SET));
  };
  cb.user_data = file;
  mp4 = metaOnly ? mp4ff_open_read_metaonly(&cb) : mp4ff_open_read(&cb);
}

Mp4File::~Mp4File() {
  mp4ff_close(mp4);
  if (file)
    fclose(file);
}

Pcm referenceMp4(const std::string &path, int track, std::vector<size_t> *frameStarts,
                 const std::vector<int> *order) {
  Pcm pcm;
  Mp4File in(path);
  if (!in.mp4) {
    ADD_FAILURE() << "reference: cannot open " << path;
    return pcm;
  }
  unsigned char *blob = nullptr;
  unsigned int size = 0;
  mp4ff_get_decoder_config(in.mp4, track, &blob, &size);
  NeAACDecHandle dec = NeAACDecOpen();
  unsigned long rate = 0;
  unsigned char channels = 0;
  EXPECT_GE(NeAACDecInit2(dec, blob, size, &rate, &channels), 0);
  free(blob);
  std::vector<int> all;
  if (!order) {
    for (int i = 0; i < mp4ff_num_samples(in.mp4, track); ++i)
      all.push_back(i);
    order = &all;
  }
  for (int i : *order) {
    unsigned char *data = nullptr;
    unsigned int bytes = 0;
    if (!mp4ff_read_sample(in.mp4, track, i, &data, &bytes))
      break;
    NeAACDecFrameInfo frame;
    memset(&frame, 0, sizeof frame);
    auto *out = static_cast<int16_t *>(NeAACDecDecode(dec, &frame, data, bytes));
    free(data);
    if (frame.error)
      break;
    if (out && frame.samples > 0) {
      if (frameStarts)
        frameStarts->push_back(pcm.size());
      pcm.insert(pcm.end(), out, out + frame.samples);
    }
  }
  NeAACDecClose(dec);
  return pcm;
}

Pcm referenceAdts(const std::string &path) {
  std::string bytes = velora::test::readFile(path);
  std::vector<unsigned char> buf(bytes.begin(), bytes.end());
  size_t at = 0;
  if (buf.size() >= 10 && memcmp(buf.data(), "ID3", 3) == 0)
    at = 10 + ((size_t(buf[6]) << 21) | (size_t(buf[7]) << 14) | (size_t(buf[8]) << 7) | buf[9]);
  Pcm pcm;
  NeAACDecHandle dec = NeAACDecOpen();
  unsigned long rate = 0;
  unsigned char channels = 0;
  long skip = NeAACDecInit(dec, buf.data() + at, buf.size() - at, &rate, &channels);
  EXPECT_GE(skip, 0);
  at += size_t(skip);
  while (at < buf.size()) {
    NeAACDecFrameInfo frame;
    memset(&frame, 0, sizeof frame);
    auto *out =
        static_cast<int16_t *>(NeAACDecDecode(dec, &frame, buf.data() + at, buf.size() - at));
    if (frame.error || frame.bytesconsumed == 0)
      break;
    at += frame.bytesconsumed;
    if (out)
      pcm.insert(pcm.end(), out, out + frame.samples);
  }
  NeAACDecClose(dec);
  return pcm;
}

StdoutCapture::StdoutCapture() {
  char tmpl[] = "/tmp/m4a-stdout-XXXXXX";
  int fd = mkstemp(tmpl);
  path_ = tmpl;
  fflush(stdout);
  saved_ = dup(1);
  dup2(fd, 1);
  close(fd);
}

StdoutCapture::~StdoutCapture() {
  fflush(stdout);
  dup2(saved_, 1);
  close(saved_);
  unlink(path_.c_str());
}

std::string StdoutCapture::text() {
  fflush(stdout);
  return velora::test::readFile(path_);
}

} // namespace m4a
