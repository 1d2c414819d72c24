/* The engine's INI configuration file, ~/.xmms/config: "[group]" headers and "key=value"
 * lines, the same text the front-end's own settings store reads and writes. */
#ifndef XMMS_CONFIGFILE_H
#define XMMS_CONFIGFILE_H

#ifdef __cplusplus
extern "C" {
#endif

typedef struct ConfigFile ConfigFile;

ConfigFile *xmms_cfg_new(void);
/* Null when the file cannot be read. */
ConfigFile *xmms_cfg_open_file(const char *filename);
/* Never null: a missing or unreadable ~/.xmms/config gives an empty configuration. */
ConfigFile *xmms_cfg_open_default_file(void);
/* Both write atomically (temporary file + rename); non-zero on success. */
int xmms_cfg_write_file(ConfigFile *cfg, const char *filename);
int xmms_cfg_write_default_file(ConfigFile *cfg);
void xmms_cfg_free(ConfigFile *cfg);

/* Non-zero when the key exists (and, for numbers, parses); *value is left alone otherwise.
 * read_string hands out a malloc'd copy. */
int xmms_cfg_read_string(ConfigFile *cfg, const char *section, const char *key, char **value);
int xmms_cfg_read_int(ConfigFile *cfg, const char *section, const char *key, int *value);
int xmms_cfg_read_boolean(ConfigFile *cfg, const char *section, const char *key, int *value);
int xmms_cfg_read_float(ConfigFile *cfg, const char *section, const char *key, float *value);

void xmms_cfg_write_string(ConfigFile *cfg, const char *section, const char *key,
                           const char *value);
void xmms_cfg_write_int(ConfigFile *cfg, const char *section, const char *key, int value);
void xmms_cfg_write_boolean(ConfigFile *cfg, const char *section, const char *key, int value);
void xmms_cfg_write_float(ConfigFile *cfg, const char *section, const char *key, float value);
void xmms_cfg_remove_key(ConfigFile *cfg, const char *section, const char *key);

/* The path of ~/.xmms/config (malloc'd). */
char *xmms_cfg_default_path(void);

#ifdef __cplusplus
}
#endif

#endif
