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

/* Optional exports of an input plug-in, looked up by name with dlsym; a plug-in without them
 * keeps the defaults given here. */

/* int velora_input_priority(void): plug-ins are asked is_our_file from the highest priority
 * down (equal ones by file name). Without the symbol: 0. The engine's format plug-ins answer
 * 100, a catch-all that claims files by probing their content answers below 0. */
#define VELORA_INPUT_PRIORITY_SYMBOL "velora_input_priority"
typedef int (*VeloraInputPriorityFunc)(void);

/* unsigned velora_input_capabilities(void): a set of the flags below. Without the symbol: 0. */
#define VELORA_INPUT_CAPABILITIES_SYMBOL "velora_input_capabilities"
typedef unsigned (*VeloraInputCapabilitiesFunc)(void);
/* Its seeks are relative to where its player reports being and may be refused by the stream:
 * a song resumed after an engine restart starts from 0 rather than at a time. */
#define VELORA_INPUT_RELATIVE_SEEK 1u

/* const char *velora_input_extensions(void): the file-name extensions it plays, lower case,
 * without the dot, separated by blanks ("mp3 mp2 mp1"); these decide which files of a folder
 * count as songs. const char *velora_input_mime_types(void): their MIME types, likewise. */
#define VELORA_INPUT_EXTENSIONS_SYMBOL "velora_input_extensions"
#define VELORA_INPUT_MIME_TYPES_SYMBOL "velora_input_mime_types"
typedef const char *(*VeloraInputTextFunc)(void);

/* Exports the priority, extensions and MIME types of an input plug-in in one line. */
#ifdef __cplusplus
#define VELORA_EXPORT_C extern "C" __attribute__((visibility("default")))
#else
#define VELORA_EXPORT_C __attribute__((visibility("default")))
#endif
#define VELORA_INPUT_INFO(priority, extensions, mimeTypes)                                         \
  VELORA_EXPORT_C int velora_input_priority(void) { return (priority); }                           \
  VELORA_EXPORT_C const char *velora_input_extensions(void) { return (extensions); }               \
  VELORA_EXPORT_C const char *velora_input_mime_types(void) { return (mimeTypes); }

#ifdef __cplusplus
}
#endif

#endif
