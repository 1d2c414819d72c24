// The MP4/AAC plug-in's own file handling on arbitrary bytes: the type probe, the song-info
// path, the ADTS probes and the whole decode loop (MP4 or raw AAC with its ID3 skip) against a
// silent output that never makes it wait.
#include "m4ainput.h"
#include "memfile.h"

#include <glib.h>

namespace {

int outOpen(AFormat, int, int) { return 1; }
void outNothing() {}
void outWrite(void *, int) {}
void outFlush(int) {}
void outPause(short) {}
int outFree() { return 1 << 20; }
int outZero() { return 0; }

OutputPlugin silentOutput() {
  OutputPlugin o = {};
  o.open_audio = outOpen;
  o.write_audio = outWrite;
  o.close_audio = outNothing;
  o.flush = outFlush;
  o.pause = outPause;
  o.buffer_free = outFree;
  o.buffer_playing = outZero;
  o.output_time = outZero;
  o.written_time = outZero;
  return o;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  static fuzz::MemFile file("aac");
  static OutputPlugin output = silentOutput();
  mp4_ip.output = &output;
  std::string path = file.fill(data, size);

  char *title = nullptr;
  int length = 0;
  mp4_ip.get_song_info(path.data(), &title, &length);
  FUZZ_CHECK(length >= -1);
  free(title);

  FILE *f = fopen(path.c_str(), "rb");
  FUZZ_CHECK(f != nullptr);
  int kind = getAacInfo(f);
  FUZZ_CHECK(kind >= -1 && kind <= 1);
  FUZZ_CHECK(ftell(f) == 0);
  int32_t *table = nullptr, count = 0;
  checkADTSForSeeking(f, &table, &count);
  FUZZ_CHECK(count >= 0 && (count == 0 || table != nullptr));
  for (int32_t i = 1; i < count; ++i)
    FUZZ_CHECK(table[i] > table[i - 1]); // every entry a frame further into the file
  free(table);
  fclose(f);

  // The decode thread's body, run on this thread.
  playing = 1;
  mp4_decode_thread(g_strdup(path.c_str()));
  FUZZ_CHECK(playing == 0);
  return 0;
}
