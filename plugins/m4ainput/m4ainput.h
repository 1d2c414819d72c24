// The MP4/AAC input plug-in: what its files share, and what the library exports beside
// get_iplugin_info (the helpers and tables other modules and the tests look up by name).
#pragma once

#include <atomic>
#include <cstdint>
#include <cstdio>

#include <mp4ff.h>
#include <xmms/plugin.h>

#define M4A_EXPORT __attribute__((visibility("default")))

enum { MP4_FILE = 1, RAW_AAC_FILE = 2 };

// Size of the raw AAC input buffer.
constexpr int AAC_BUFFER_SIZE = 49152;

extern "C" {

M4A_EXPORT extern InputPlugin mp4_ip;
M4A_EXPORT InputPlugin *get_iplugin_info(void);

// Name tables (null-terminated / indexed by MPEG-4 audio object type).
M4A_EXPORT extern const char *mp4AudioNames[];
M4A_EXPORT extern const char *mpeg4AudioNames[];

// Track choice, titles and raw ADTS probes.
M4A_EXPORT int getAACTrack(mp4ff_t *infile);
M4A_EXPORT char *getMP4title(mp4ff_t *infile, const char *filename);
M4A_EXPORT int getAacInfo(FILE *file);
M4A_EXPORT void checkADTSForSeeking(FILE *file, int32_t **table, int32_t *count);

// The equalizer and the state it exports.
M4A_EXPORT void init_iir(int on, float preamp, float *bands);
M4A_EXPORT void iir_filter(short *pcm, int length);
// The stream the decode thread is about to filter: the coefficients follow its rate and each of
// its channels keeps its own history.
M4A_EXPORT void iir_set_stream(int rate, int channels);
M4A_EXPORT extern int out[2];
M4A_EXPORT extern int scaledpcm[2];
M4A_EXPORT extern short *data;
M4A_EXPORT extern int halflength;

} // extern "C"

// State shared by the engine's calling threads and the decode thread. Atomics so the polls
// between the threads are well defined; the protocol is the plain flag hand-over.
extern std::atomic<int> playing;
extern std::atomic<int> seek_to;
extern std::atomic<int> eq_enabled;
// The engine's last pause request (set by mp4_pause).
extern std::atomic<int> mp4_paused;
// What the running decode thread found: 0 while it has not decided yet, else MP4_FILE or
// RAW_AAC_FILE. Seeks are only honoured on MP4 files.
extern std::atomic<int> stream_kind;

// The engine's threads and the decode thread wake each other instead of polling: every change
// of playing, seek_to or the pause state is followed by m4a_poke(). A waiter takes a ticket
// before it looks at the flags, then naps until a poke newer than the ticket or `us` passed.
void m4a_poke();
unsigned m4a_wake_ticket();
void m4a_nap(unsigned ticket, long us);
// Waits on the engine's side until `done` holds (checked under the wake lock), or `ms` passed.
bool m4a_wait_until(bool (*done)(), int ms);
// The decode thread brackets each write_audio with these. A write is begun only while playing,
// not paused and (for a seekable stream) with no seek pending; mp4_pause lets a write under way
// finish before it pauses the output, so a paused output never holds the thread inside a write.
bool m4a_begin_write(bool seekable);
void m4a_end_write();

int mp4_get_file_type(FILE *file);
// A fresh reader binding for `file`; free with freeMP4FF_cb.
mp4ff_callback_t *getMP4FF_cb(FILE *file);
void freeMP4FF_cb(mp4ff_callback_t *cb);
void *mp4_decode_thread(void *name);
void create_mp4_info_dialog(const char *filename, mp4ff_t *infile, int track);
