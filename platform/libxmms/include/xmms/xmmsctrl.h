/* Remote control of a running xmms engine. Every call names the session first; with no engine
 * listening, every call returns its empty result (0, false, null) at once. Strings and arrays
 * returned belong to the caller and are released with free(). */
#ifndef XMMS_XMMSCTRL_H
#define XMMS_XMMSCTRL_H

#ifdef __cplusplus
extern "C" {
#endif

int xmms_remote_get_version(int session);
void xmms_remote_quit(int session);
int xmms_remote_is_running(int session);

void xmms_remote_play(int session);
void xmms_remote_pause(int session);
void xmms_remote_stop(int session);
void xmms_remote_play_pause(int session);
int xmms_remote_is_playing(int session);
int xmms_remote_is_paused(int session);

void xmms_remote_playlist_prev(int session);
void xmms_remote_playlist_next(int session);
int xmms_remote_get_playlist_pos(int session);
void xmms_remote_set_playlist_pos(int session, int pos);
int xmms_remote_get_playlist_length(int session);
char *xmms_remote_get_playlist_file(int session, int pos);
char *xmms_remote_get_playlist_title(int session, int pos);
int xmms_remote_get_playlist_time(int session, int pos);

int xmms_remote_get_output_time(int session);
void xmms_remote_jump_to_time(int session, int pos);
void xmms_remote_get_info(int session, int *rate, int *freq, int *nch);
/* A status poll's questions in one round trip (this engine's addition): is_playing, is_paused,
 * get_playlist_pos, get_output_time, get_playlist_time of that position and get_info, all of
 * the same moment. Returns 1 when answered; otherwise 0 with every field 0 (no engine, or an
 * engine without this call: ask one by one then). */
typedef struct {
  int playing, paused, pos, output_time, song_length, rate, freq, nch;
} xmms_remote_status;
int xmms_remote_get_status(int session, xmms_remote_status *status);

/* Playback speed with the pitch kept (this engine's addition): 0.5 to 2.0, rounded to the
 * nearest 0.05. Times the engine reports stay song time whatever the speed. get_speed answers 0
 * with no engine. */
void xmms_remote_set_speed(int session, float speed);
float xmms_remote_get_speed(int session);
/* ReplayGain (this engine's addition): 0 off, 1 track, 2 album, 3 auto. get answers -1 with no
 * engine or an engine without ReplayGain. */
void xmms_remote_set_replaygain_mode(int session, int mode);
int xmms_remote_get_replaygain_mode(int session);

/* The sound device lost while playing (this engine's addition): how many times since the engine
 * started its chosen output stopped taking audio and was left for the null output (the songs
 * go on, silently). *reason, when reason is not null, receives what was said the last time
 * (free() it), or null. 0 with no engine or an engine without this call. */
int xmms_remote_get_output_lost(int session, char **reason);

/* Songs that could not be played (this engine's addition): how many playlist entries since the
 * engine started ended without a sample heard (a broken, empty or non-audio file; the playlist
 * goes on past them). *file, when file is not null, receives the path of the last one (free()
 * it), or null. 0 with no engine or an engine without this call. */
int xmms_remote_get_unplayable(int session, char **file);

int xmms_remote_get_main_volume(int session);
void xmms_remote_set_main_volume(int session, int v);

void xmms_remote_toggle_repeat(int session);
void xmms_remote_toggle_shuffle(int session);
int xmms_remote_is_repeat(int session);
int xmms_remote_is_shuffle(int session);

int xmms_remote_is_eq_active(int session);
void xmms_remote_toggle_eq_active(int session);
/* *bands receives a malloc'd array of 10 floats (null with no engine). */
void xmms_remote_get_eq(int session, float *preamp, float **bands);
float xmms_remote_get_eq_preamp(int session);
float xmms_remote_get_eq_band(int session, int band);
void xmms_remote_set_eq(int session, float preamp, float *bands);
void xmms_remote_set_eq_preamp(int session, float preamp);
void xmms_remote_set_eq_band(int session, int band, float value);

#ifdef __cplusplus
}
#endif

#endif
