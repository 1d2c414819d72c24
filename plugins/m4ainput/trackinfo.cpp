// Looking into a file without playing it: the audio track of an MP4 container, the playlist
// title built from its tags, and two probes for raw ADTS streams.
#include "m4ainput.h"

#include <cstdlib>
#include <cstring>
#include <glib.h>
#include <neaacdec.h>

#include <xmms/titlestring.h>

extern "C" {

const char *mp4AudioNames[] = {"MPEG-1 Audio Layers 1,2 or 3",
                               "MPEG-2 low biterate (MPEG-1 extension) - MP3",
                               "MPEG-2 AAC Main Profile",
                               "MPEG-2 AAC Low Complexity profile",
                               "MPEG-2 AAC SSR profile",
                               "MPEG-4 audio (MPEG-4 AAC)",
                               nullptr};

const char *mpeg4AudioNames[] = {"!!!!MPEG-4 Audio track Invalid !!!!!!!",
                                 "MPEG-4 AAC Main profile",
                                 "MPEG-4 AAC Low Complexity profile",
                                 "MPEG-4 AAC SSR profile",
                                 "MPEG-4 AAC Long Term Prediction profile",
                                 "MPEG-4 AAC Scalable",
                                 "MPEG-4 CELP",
                                 "MPEG-4 HVXC",
                                 "MPEG-4 Text To Speech",
                                 "MPEG-4 Main Synthetic profile",
                                 "MPEG-4 Wavetable Synthesis profile",
                                 "MPEG-4 MIDI Profile",
                                 "MPEG-4 Algorithmic Synthesis and Audio FX profile"};

// A video track (MPEG-4 Part 2) carries a decoder configuration too, so a configuration alone
// does not make a track playable: it has to parse as an AAC audio configuration.
int getAACTrack(mp4ff_t *infile) {
  int tracks = mp4ff_total_tracks(infile);
  g_print("total-tracks: %d\n", tracks);
  if (tracks < 1)
    return -1;
  for (int t = 0; t < tracks; ++t) {
    g_print("testing-track: %d\n", t);
    unsigned char *blob = nullptr;
    unsigned int size = 0;
    mp4ff_get_decoder_config(infile, t, &blob, &size);
    if (!blob)
      continue;
    mp4AudioSpecificConfig config;
    memset(&config, 0, sizeof config);
    bool audio = NeAACDecAudioSpecificConfig(blob, size, &config) >= 0;
    free(blob);
    if (audio)
      return t;
  }
  return -1;
}

char *getMP4title(mp4ff_t *infile, const char *filename) {
  auto *input = static_cast<TitleInput *>(g_malloc0(sizeof(TitleInput)));
  input->__size = sizeof(TitleInput);
  input->__version = XMMS_TITLEINPUT_VERSION;

  mp4ff_meta_get_title(infile, &input->track_name);
  mp4ff_meta_get_artist(infile, &input->performer);
  mp4ff_meta_get_album(infile, &input->album_name);
  char *text = nullptr;
  if (mp4ff_meta_get_track(infile, &text)) {
    input->track_number = atoi(text);
    free(text);
  }
  text = nullptr;
  if (mp4ff_meta_get_date(infile, &text)) {
    input->year = atoi(text);
    free(text);
  }
  mp4ff_meta_get_genre(infile, &input->genre);
  mp4ff_meta_get_comment(infile, &input->comment);

  const char *path = filename ? filename : "";
  const char *slash = strrchr(path, '/');
  const char *base = slash ? slash + 1 : path;
  input->file_name = g_strdup(base);
  // The extension comes from the base name, so a dot in a folder name is not taken for one.
  const char *dot = strrchr(base, '.');
  input->file_ext = g_strdup(dot ? dot + 1 : "");
  input->file_path = slash ? g_strdup_printf("%.*s/", int(slash - path), path) : g_strdup("./");

  char *title = xmms_get_titlestring(xmms_get_gentitle_format(), input);

  // Tag texts come from the reader (malloc), the file texts from GLib.
  free(input->track_name);
  free(input->performer);
  free(input->album_name);
  free(input->genre);
  free(input->comment);
  g_free(input->file_name);
  g_free(const_cast<char *>(input->file_ext));
  g_free(input->file_path);
  g_free(input);
  return title;
}

namespace {

bool isAdtsSync(const unsigned char *header) {
  return header[0] == 0xFF && (header[1] & 0xF6) == 0xF0;
}

} // namespace

int getAacInfo(FILE *file) {
  long position = ftell(file);
  unsigned char header[8];
  int result = -1;
  if (fread(header, 1, 8, file) == 8) {
    if (isAdtsSync(header))
      result = (header[1] & 0x08) ? 1 : 0;
    else
      g_print("Bad header\n");
  }
  fseek(file, position, SEEK_SET);
  return result;
}

void checkADTSForSeeking(FILE *file, int32_t **table, int32_t *count) {
  long start = ftell(file);
  int32_t *entries = nullptr;
  int32_t capacity = 0, used = 0;
  int phase = 0;
  *table = nullptr;
  *count = 0;
  for (long frames = 0;; ++frames) {
    long position = ftell(file);
    unsigned char header[8];
    if (fread(header, 1, 8, file) != 8 || memcmp(header, "ID3", 3) == 0)
      break;
    if (!isAdtsSync(header)) {
      g_print("error : Bad 1st header, file may be corrupt !\n");
      break;
    }
    if (frames == 0) {
      entries = static_cast<int32_t *>(malloc(60 * sizeof(int32_t)));
      if (!entries) {
        g_print("malloc error\n");
        fseek(file, start, SEEK_SET);
        return;
      }
      capacity = 60;
    }
    if (phase == 0 || phase == 43) {
      if (used == capacity) {
        auto *grown =
            static_cast<int32_t *>(realloc(entries, size_t(capacity + 60) * sizeof(int32_t)));
        if (!grown) {
          g_print("malloc error\n");
          break;
        }
        entries = grown;
        capacity += 60;
      }
      entries[used++] = int32_t(position);
    }
    phase = phase == 43 ? 1 : phase + 1;
    int length = ((header[3] & 3) << 11) | (header[4] << 3) | (header[5] >> 5);
    // A header is 7 bytes; a shorter frame length would step back onto the same frame forever.
    if (length < 7 || fseek(file, length - 8, SEEK_CUR) != 0)
      break;
  }
  *table = entries;
  *count = used;
  fseek(file, start, SEEK_SET);
}

} // extern "C"
