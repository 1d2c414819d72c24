#ifndef XMMS_TITLESTRING_H
#define XMMS_TITLESTRING_H

#ifdef __cplusplus
extern "C" {
#endif

/* Fill __size with sizeof(TitleInput) and __version with XMMS_TITLEINPUT_VERSION;
 * xmms_get_titlestring refuses a record whose __size is smaller. */
typedef struct {
  int __size;
  int __version;
  char *performer;
  char *album_name;
  char *track_name;
  int track_number;
  int year;
  char *date;
  char *genre;
  char *comment;
  char *file_name;
  const char *file_ext;
  char *file_path;
} TitleInput;

#define XMMS_TITLEINPUT_SIZE sizeof(TitleInput)
#define XMMS_TITLEINPUT_VERSION 1

/* The "gentitle_format" key of group "xmms", default "%p - %t". Owned by the library. */
char *xmms_get_gentitle_format(void);

/* %p performer, %a album, %t track, %n track number, %y year, %d date, %g genre, %c comment,
 * %f file name, %e extension, %F path, %% a percent sign. Returns a malloc'd title, or null when
 * every field the format names is empty. */
char *xmms_get_titlestring(const char *fmt, TitleInput *input);

#ifdef __cplusplus
}
#endif

#endif
