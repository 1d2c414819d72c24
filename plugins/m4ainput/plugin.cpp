// The plug-in record and the entries the engine calls from its own threads.
#include "m4ainput.h"

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <glib.h>
#include <mutex>
#include <pthread.h>
#include <strings.h>

std::atomic<int> playing{0};
std::atomic<int> seek_to{-1};
std::atomic<int> eq_enabled{0};
std::atomic<int> mp4_paused{0};
std::atomic<int> stream_kind{0};

namespace {

std::mutex wake_lock;
std::condition_variable wake_cv;
unsigned wakes = 0;
bool writing = false; // the decode thread is inside write_audio (under wake_lock)

} // namespace

void m4a_poke() {
  {
    std::lock_guard<std::mutex> guard(wake_lock);
    ++wakes;
  }
  wake_cv.notify_all();
}

unsigned m4a_wake_ticket() {
  std::lock_guard<std::mutex> guard(wake_lock);
  return wakes;
}

void m4a_nap(unsigned ticket, long us) {
  std::unique_lock<std::mutex> guard(wake_lock);
  wake_cv.wait_for(guard, std::chrono::microseconds(us), [&] { return wakes != ticket; });
}

bool m4a_wait_until(bool (*done)(), int ms) {
  std::unique_lock<std::mutex> guard(wake_lock);
  return wake_cv.wait_for(guard, std::chrono::milliseconds(ms), done);
}

bool m4a_begin_write(bool seekable) {
  std::lock_guard<std::mutex> guard(wake_lock);
  if (!playing || mp4_paused || (seekable && seek_to != -1))
    return false;
  writing = true;
  return true;
}

void m4a_end_write() {
  {
    std::lock_guard<std::mutex> guard(wake_lock);
    writing = false;
  }
  wake_cv.notify_all();
}

namespace {

pthread_t decode_thread_id;
bool decode_thread_started = false;

// A thread that ended by itself (end of song, error) is still waiting to be joined; do it before
// the next song so finished threads never pile up.
void reap_finished_thread() {
  if (decode_thread_started) {
    pthread_join(decode_thread_id, nullptr);
    decode_thread_started = false;
  }
}

void mp4_init(void) {
  seek_to = -1;
  decode_thread_started = false;
}

void mp4_about(void) {}
void mp4_cleanup(void) {}

int mp4_is_our_file(char *name) {
  if (!name)
    return 0;
  const char *ext = strrchr(name, '.');
  if (!ext)
    return 0;
  return strncasecmp(ext, ".mp4", 4) == 0 || strncasecmp(ext, ".m4a", 4) == 0 ||
         strncasecmp(ext, ".aac", 4) == 0;
}

void mp4_play(char *name) {
  // The engine stops a song before it plays the next; should it not, end the old thread here
  // rather than run two against one output.
  if (decode_thread_started) {
    playing = 0;
    m4a_poke();
  }
  reap_finished_thread();
  playing = 1;
  mp4_paused = 0;
  stream_kind = 0;
  // A seek of the previous song must not land in this one; a seek made from here on, even before
  // the thread runs, is kept for it.
  seek_to = -1;
  char *copy = g_strdup(name ? name : "");
  if (pthread_create(&decode_thread_id, nullptr, mp4_decode_thread, copy) != 0) {
    g_print("MP4!AAC - Can't start the decode thread\n");
    g_free(copy);
    playing = 0;
    return;
  }
  decode_thread_started = true;
}

void mp4_stop(void) {
  if (!playing) {
    reap_finished_thread();
    return;
  }
  playing = 0;
  m4a_poke();
  // Closing first releases a thread blocked inside write_audio on a paused output; the output
  // drops what it holds, which is what a stop means.
  if (mp4_ip.output)
    mp4_ip.output->close_audio();
  reap_finished_thread();
  if (mp4_ip.output)
    mp4_ip.output->close_audio();
}

void mp4_pause(short paused) {
  if (paused) {
    // No new write from here on. A write already under way when the tap came is let finish
    // before the output pauses: a paused sound card would hold it, the frame in hand with it,
    // and a seek made while paused could not be taken until the resume. A write that does not
    // finish (an output that blocks for a reason of its own) does not hold the engine: the
    // output is paused after a second whatever happens.
    mp4_paused = 1;
    m4a_wait_until([] { return !writing; }, 1000);
    if (mp4_ip.output)
      mp4_ip.output->pause(1);
  } else {
    if (mp4_ip.output)
      mp4_ip.output->pause(0);
    mp4_paused = 0;
  }
  m4a_poke(); // a decode thread waiting for room or for the resume looks again
}

void mp4_seek(int seconds) {
  seek_to = seconds;
  m4a_poke();
  // The decode thread takes the request at its next frame or inside its output wait. Should it
  // be slow to (a thread still opening its file), the request stays pending and the engine is
  // not held: it gets its answer within a second in every state. Raw AAC streams are not
  // seekable: the answer comes at once instead of after a wait for a thread that will never
  // take the request.
  m4a_wait_until([] { return !playing || seek_to == -1 || stream_kind == RAW_AAC_FILE; }, 1000);
  if (stream_kind == RAW_AAC_FILE)
    seek_to = -1;
  if (!playing)
    seek_to = -1;
}

void mp4_set_eq(int on, float preamp, float *bands) {
  eq_enabled = on;
  init_iir(on, preamp, bands);
}

int mp4_get_time(void) {
  if (!playing)
    return -1;
  return mp4_ip.output ? mp4_ip.output->output_time() : 0;
}

void mp4_get_song_info(char *name, char **title, int *length) {
  *length = -1;
  *title = nullptr;
  FILE *file = name ? fopen(name, "rb") : nullptr;
  if (!file)
    return;
  int type = mp4_get_file_type(file);
  fseek(file, 0, SEEK_SET);
  if (type == MP4_FILE) {
    mp4ff_callback_t *cb = getMP4FF_cb(file);
    mp4ff_t *infile = mp4ff_open_read_metaonly(cb);
    if (infile) {
      int track = getAACTrack(infile);
      if (track >= 0) {
        *title = getMP4title(infile, name);
        double duration = double(mp4ff_get_track_duration(infile, track));
        int32_t raw = mp4ff_time_scale(infile, track);
        double scale = raw < 0 ? double(raw) + 4294967296.0 : double(raw);
        // A time scale of 0 would make the length infinite: leave it unknown instead.
        if (scale > 0 && duration >= 0) {
          double ms = duration * 1000.0 * (1.0 / scale);
          *length = ms < 2147483647.0 ? int(unsigned(ms)) : -1;
        }
      }
      mp4ff_close(infile);
    }
    freeMP4FF_cb(cb);
  }
  fclose(file);
}

void mp4_file_info_box(char *name) {
  FILE *file = name ? fopen(name, "rb") : nullptr;
  if (!file)
    return;
  int type = mp4_get_file_type(file);
  fseek(file, 0, SEEK_SET);
  if (type == MP4_FILE) {
    mp4ff_callback_t *cb = getMP4FF_cb(file);
    mp4ff_t *infile = mp4ff_open_read_metaonly(cb);
    if (infile) {
      int track = getAACTrack(infile);
      if (track >= 0)
        create_mp4_info_dialog(name, infile, track);
      mp4ff_close(infile);
    }
    freeMP4FF_cb(cb);
  }
  fclose(file);
}

// The reader remembers where the file stands: the decoder asks for each sample at the place the
// previous one ended, and a seek there would cost a system call per frame for nothing.
struct Reader {
  FILE *file;
  uint64_t position;
  bool known;
};

uint32_t read_callback(void *user_data, void *buffer, uint32_t length) {
  auto *r = static_cast<Reader *>(user_data);
  size_t got = fread(buffer, 1, length, r->file);
  r->position += got;
  return uint32_t(got);
}

uint32_t seek_callback(void *user_data, uint64_t position) {
  auto *r = static_cast<Reader *>(user_data);
  if (r->known && r->position == position)
    return 0;
  int result = fseeko(r->file, off_t(position), SEEK_SET);
  r->known = result == 0;
  r->position = position;
  return uint32_t(result);
}

} // namespace

// The engine has no dialog toolkit to offer a plug-in; the file information stays unshown.
void create_mp4_info_dialog(const char *, mp4ff_t *, int) {}

int mp4_get_file_type(FILE *file) {
  unsigned char header[8] = {0};
  fseek(file, 0, SEEK_SET);
  if (fread(header, 1, 8, file) != 8)
    memset(header, 0, sizeof header);
  return memcmp(header + 4, "ftyp", 4) == 0 ? MP4_FILE : RAW_AAC_FILE;
}

mp4ff_callback_t *getMP4FF_cb(FILE *file) {
  auto *cb = static_cast<mp4ff_callback_t *>(g_malloc0(sizeof(mp4ff_callback_t)));
  cb->read = read_callback;
  cb->seek = seek_callback;
  cb->user_data = new Reader{file, 0, false};
  return cb;
}

void freeMP4FF_cb(mp4ff_callback_t *cb) {
  if (cb)
    delete static_cast<Reader *>(cb->user_data);
  g_free(cb);
}

extern "C" {

InputPlugin mp4_ip = {
    nullptr,                                                      // handle
    nullptr,                                                      // filename
    const_cast<char *>("MP4 & MPEG2/4-AAC audio player - 1.2.x"), // description
    mp4_init,
    mp4_about,
    nullptr, // configure
    mp4_is_our_file,
    nullptr, // scan_dir
    mp4_play,
    mp4_stop,
    mp4_pause,
    mp4_seek,
    mp4_set_eq,
    mp4_get_time,
    nullptr, // get_volume
    nullptr, // set_volume
    mp4_cleanup,
    nullptr, // get_vis_type
    nullptr, // add_vis_pcm
    nullptr, // set_info
    nullptr, // set_info_text
    mp4_get_song_info,
    mp4_file_info_box,
    nullptr, // output
};

InputPlugin *get_iplugin_info(void) { return &mp4_ip; }

} // extern "C"

// After the engine's format plug-ins, before the external player that claims the same names.
VELORA_INPUT_INFO(50, "m4a mp4 aac", "audio/mp4 audio/x-m4a audio/aac")
