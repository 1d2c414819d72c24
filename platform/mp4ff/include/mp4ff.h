/* A small reader for MP4/M4A containers: tracks, their AAC decoder configuration, their samples
 * and the iTunes-style tag list. Everything read from the file is checked against the file's size
 * and the enclosing box before it is used, so damaged files are refused instead of trusted. */
#ifndef MP4FF_H
#define MP4FF_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* The caller's file. read returns the count of bytes read (short at the end of the file); seek
 * positions the file at an absolute offset. write and truncate are not used by a reader. */
typedef struct mp4ff_callback_t {
  uint32_t (*read)(void *user_data, void *buffer, uint32_t length);
  uint32_t (*write)(void *user_data, void *buffer, uint32_t length);
  uint32_t (*seek)(void *user_data, uint64_t position);
  uint32_t (*truncate)(void *user_data);
  void *user_data;
} mp4ff_callback_t;

typedef struct mp4ff mp4ff_t;

/* Null when the file is not a readable MP4 container. The callback record must outlive the
 * handle. The meta-only variant skips the per-sample tables (tags, tracks, durations and decoder
 * configurations are still there); mp4ff_read_sample then always fails. */
mp4ff_t *mp4ff_open_read(mp4ff_callback_t *f);
mp4ff_t *mp4ff_open_read_metaonly(mp4ff_callback_t *f);
void mp4ff_close(mp4ff_t *f);

int32_t mp4ff_total_tracks(const mp4ff_t *f);

/* 0 and a malloc'd copy of the track's decoder-specific configuration (release with free()), or
 * -1 with *buffer = NULL and *size = 0 when the track has none. */
int32_t mp4ff_get_decoder_config(const mp4ff_t *f, int track, unsigned char **buffer,
                                 unsigned int *size);

/* Samples that the tables place in the file (0 for a bad track). */
int32_t mp4ff_num_samples(const mp4ff_t *f, int track);

/* Reads sample number `sample` (from 0) into a malloc'd buffer (release with free()). Returns
 * its size in bytes, or 0 with *buffer = NULL when the sample does not exist or cannot be read. */
int32_t mp4ff_read_sample(mp4ff_t *f, int track, int sample, unsigned char **buffer,
                          unsigned int *bytes);

/* Length of the track in time-scale units (0 when unknown, -1 for a bad track). */
int64_t mp4ff_get_track_duration(const mp4ff_t *f, int track);
/* Time-scale units per second of the track (the raw 32-bit field; -1 for a bad track). */
int32_t mp4ff_time_scale(const mp4ff_t *f, int track);

/* Gapless playback: the samples that the encoder put before the music (*skip) and how many
 * belong to it (*length, 0 when only the start is known). 1: from the track's edit list, in the
 * track's time scale; 2: from an iTunSMPB tag, in samples the decoder gives out; 0 with both 0
 * when the file says nothing. */
int mp4ff_get_gapless(const mp4ff_t *f, int track, uint64_t *skip, uint64_t *length);

/* From the audio sample entry; 0 when the track has none. */
uint32_t mp4ff_get_sample_rate(const mp4ff_t *f, int track);
uint32_t mp4ff_get_channel_count(const mp4ff_t *f, int track);

/* Tags: 1 and a malloc'd UTF-8 copy (release with free()), or 0 with *value = NULL.
 * The track tag reads "3" or "3/12"; the genre gives the text genre, or the name of a numbered
 * one. */
int mp4ff_meta_get_title(const mp4ff_t *f, char **value);
int mp4ff_meta_get_artist(const mp4ff_t *f, char **value);
int mp4ff_meta_get_album(const mp4ff_t *f, char **value);
int mp4ff_meta_get_track(const mp4ff_t *f, char **value);
int mp4ff_meta_get_date(const mp4ff_t *f, char **value);
int mp4ff_meta_get_genre(const mp4ff_t *f, char **value);
int mp4ff_meta_get_comment(const mp4ff_t *f, char **value);

#ifdef __cplusplus
}
#endif

#endif
