/* The plug-in records shared by the xmms engine and its input and output plug-ins.
 * Slot order is part of the ABI: plug-ins built separately fill these records by position. */
#ifndef XMMS_PLUGIN_H
#define XMMS_PLUGIN_H

#ifdef __cplusplus
extern "C" {
#endif

typedef enum {
  FMT_U8,     /* 0 */
  FMT_S8,     /* 1 */
  FMT_U16_LE, /* 2 */
  FMT_U16_BE, /* 3 */
  FMT_U16_NE, /* 4 */
  FMT_S16_LE, /* 5 */
  FMT_S16_BE, /* 6 */
  FMT_S16_NE  /* 7 */
} AFormat;

typedef enum { INPUT_VIS_ANALYZER, INPUT_VIS_SCOPE, INPUT_VIS_VU, INPUT_VIS_OFF } InputVisType;

typedef struct OutputPlugin {
  void *handle;
  char *filename;
  char *description;
  void (*init)(void);
  void (*about)(void);
  void (*configure)(void);
  void (*get_volume)(int *l, int *r);
  void (*set_volume)(int l, int r);
  /* 0 = failure. */
  int (*open_audio)(AFormat fmt, int rate, int nch);
  void (*write_audio)(void *ptr, int length);
  void (*close_audio)(void);
  /* Discard what is buffered and restart the output clock at time (ms). */
  void (*flush)(int time);
  void (*pause)(short paused);
  /* Bytes that write_audio can take now without blocking. */
  int (*buffer_free)(void);
  /* Non-zero while buffered audio is still being played. */
  int (*buffer_playing)(void);
  /* Milliseconds heard by the listener since open (or the last flush). */
  int (*output_time)(void);
  /* Milliseconds written since open (or the last flush). */
  int (*written_time)(void);
} OutputPlugin;

typedef struct InputPlugin {
  void *handle;   /* filled by engine */
  char *filename; /* filled by engine */
  char *description;
  void (*init)(void);
  void (*about)(void);
  void (*configure)(void);
  int (*is_our_file)(char *filename);
  void *(*scan_dir)(char *dirname);
  void (*play_file)(char *filename);
  void (*stop)(void);
  void (*pause)(short paused);
  void (*seek)(int time); /* seconds */
  void (*set_eq)(int on, float preamp, float *bands);
  int (*get_time)(void); /* ms; -1 once the song has ended */
  void (*get_volume)(int *l, int *r);
  void (*set_volume)(int l, int r);
  void (*cleanup)(void);
  InputVisType (*get_vis_type)(void);
  void (*add_vis_pcm)(int time, AFormat fmt, int nch, int length, void *ptr); /* engine */
  void (*set_info)(char *title, int length, int rate, int freq, int nch);     /* engine */
  void (*set_info_text)(char *text);                                          /* engine */
  /* *title is malloc'd (g_malloc compatible) and released by the engine with free(). */
  void (*get_song_info)(char *filename, char **title, int *length);
  void (*file_info_box)(char *filename);
  OutputPlugin *output; /* filled by engine */
} InputPlugin;

/* Every input plug-in exports this; every output plug-in exports get_oplugin_info. */
typedef InputPlugin *(*GetInputPluginFunc)(void);
typedef OutputPlugin *(*GetOutputPluginFunc)(void);

#ifdef __cplusplus
}
#endif

#endif
