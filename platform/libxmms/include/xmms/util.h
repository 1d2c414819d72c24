#ifndef XMMS_UTIL_H
#define XMMS_UTIL_H

#ifdef __cplusplus
extern "C" {
#endif

/* Sleeps the calling thread for usec microseconds, resuming after signals. */
void xmms_usleep(int usec);

#ifdef __cplusplus
}
#endif

#endif
