// The decode thread: one per song, started by mp4_play and joined by mp4_stop. It decodes either
// an MP4 track sample by sample or a raw AAC (ADTS/ADIF) stream through a refilled buffer, and
// writes the PCM to the engine's output at the pace the output buffer allows.
#include "m4ainput.h"
#include "pacing.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <glib.h>
#include <neaacdec.h>
#include <pthread.h>

#include <xmms/configfile.h>
#include <xmms/titlestring.h>
#include <xmms/util.h>

namespace {

OutputPlugin *output() { return mp4_ip.output; }

// The pace of writes and the final drain, shared with the engine's own inputs (decode thread
// only).
velora::input::Pacer pacer;

void pace_stream(unsigned long rate, int channels) { pacer.start(int(rate), channels); }

// Waits until the output can take `bytes` without blocking, then begins the write (the caller
// ends it). False when playback was stopped or (with `seekable`) a seek arrived meanwhile: the
// frame in hand is then dropped, as the seek makes it stale.
bool wait_for_room(int bytes, bool seekable) {
  for (;;) {
    unsigned ticket = m4a_wake_ticket();
    if (!playing || (seekable && seek_to != -1))
      return false;
    std::chrono::microseconds wait{};
    if (pacer.take(size_t(bytes), output()->buffer_free(), true, mp4_paused != 0, wait) > 0) {
      if (m4a_begin_write(seekable))
        return true;
      // Paused since the look at the room: hold the frame until the resume (or a seek, a stop).
      wait = velora::input::Pacer::kPausedNap;
    }
    m4a_nap(ticket, long(wait.count()));
  }
}

// Lets what the output holds be heard before the song is closed. A paused output holds it as
// long as the listener keeps it paused; only a stop cuts it short, and (with `seekable`) a seek
// made in the song's last moments ends the drain so that it is taken: false then.
bool drain(bool seekable) {
  pacer.beginDrain(output());
  for (;;) {
    unsigned ticket = m4a_wake_ticket();
    if (seekable && playing && seek_to != -1)
      return false;
    std::chrono::microseconds wait{};
    if (!playing || !pacer.draining(output(), mp4_paused != 0, wait))
      return true;
    m4a_nap(ticket, long(wait.count()));
  }
}

// Writes one decoded frame when the output has room for it. False when it was dropped for a
// stop or a seek.
bool write_frame(void *pcm, unsigned long samples, bool seekable) {
  if (!wait_for_room(int(samples * 2), seekable))
    return false;
  if (eq_enabled)
    iir_filter(static_cast<short *>(pcm), int(samples * 2));
  output()->write_audio(pcm, int(samples * 2));
  m4a_end_write();
  return true;
}

void play_mp4(FILE *file, char *name) {
  mp4ff_callback_t *cb = getMP4FF_cb(file);
  mp4ff_t *infile = nullptr;
  NeAACDecHandle decoder = nullptr;
  char *title = nullptr;
  int track, num_samples, sample_index = 0;
  unsigned long sample_rate = 0;
  unsigned char channels = 0;
  int frame_length = 1024;
  int64_t trim_from = 0, trim_to = -1; // the music among the decoded frames (-1: to the end)
  int64_t decoded = 0;                 // frames the decoder has given (or held back) so far
  float step;

  stream_kind = MP4_FILE;
  m4a_poke();
  infile = mp4ff_open_read(cb);
  if (!infile) {
    g_print("MP4 - Can't open file\n");
    goto cleanup;
  }
  track = getAACTrack(infile);
  if (track < 0) {
    g_print("Unsupported Audio track type\n");
    goto cleanup;
  }

  {
    decoder = NeAACDecOpen();
    if (!decoder) {
      g_print("MP4: can't open the decoder\n");
      goto cleanup;
    }
    unsigned char *blob = nullptr;
    unsigned int blob_size = 0;
    mp4ff_get_decoder_config(infile, track, &blob, &blob_size);
    // A configuration the decoder refuses leaves the channel count at 0, caught below.
    if (NeAACDecInit2(decoder, blob, blob_size, &sample_rate, &channels) < 0)
      channels = 0;
    if (blob) {
      mp4AudioSpecificConfig config;
      memset(&config, 0, sizeof config);
      // Implicit SBR (and AAC at 24 kHz or less) leaves sbr_present_flag at -1 but still
      // doubles the output: the decoder's rate is then twice the stream's.
      if (NeAACDecAudioSpecificConfig(blob, blob_size, &config) >= 0 &&
          (config.sbr_present_flag == 1 || config.forceUpSampling ||
           (config.samplingFrequency > 0 && sample_rate == 2 * config.samplingFrequency)))
        frame_length = 2048;
      free(blob);
    }
  }
  if (channels == 0 || sample_rate == 0) {
    g_print("Number of Channels not supported\n");
    goto cleanup;
  }

  num_samples = mp4ff_num_samples(infile, track);
  {
    // Gapless: the encoder's delay and padding, as the container states them, in frames of the
    // decoder's output (beyond what the player was first built to do).
    // Key "gapless" of group "m4ainput" (default TRUE) turns it off: every decoded frame plays.
    int gapless = 1;
    ConfigFile *cfg = xmms_cfg_open_default_file();
    if (cfg) {
      xmms_cfg_read_boolean(cfg, "m4ainput", "gapless", &gapless);
      xmms_cfg_free(cfg);
    }
    uint64_t skip = 0, length = 0;
    int kind = gapless ? mp4ff_get_gapless(infile, track, &skip, &length) : 0;
    int32_t scale = mp4ff_time_scale(infile, track);
    if (kind == 1 && scale > 0) {
      skip = skip * sample_rate / uint64_t(scale);
      length = length * sample_rate / uint64_t(scale);
    }
    if (kind && skip < (uint64_t(1) << 32) && length < (uint64_t(1) << 40)) {
      trim_from = int64_t(skip);
      trim_to = length ? int64_t(skip + length) : -1;
    }
  }
  {
    // Single precision, with frame length - 1 as the factor: the lengths and seek positions the
    // engine already shows for such files.
    float frame_term = float(frame_length - 1.0);
    float length_ms = float(num_samples) * frame_term * float(1.0 / double(sample_rate)) * 1000.0f;
    step = float(1.0 / (frame_length - 1.0));
    title = getMP4title(infile, name);

    if (!output()->open_audio(FMT_S16_NE, int(sample_rate), channels)) {
      g_print("MP4: Output Error\n");
      goto cleanup;
    }
    output()->flush(0);
    pace_stream(sample_rate, channels);
    iir_set_stream(int(sample_rate), channels);
    if (mp4_ip.set_info)
      mp4_ip.set_info(title, int(length_ms), -1, int(sample_rate / 1000), channels);
    g_print("MP4 - %d channels @ %ld Hz\n", channels, long(sample_rate));
  }

  while (playing) {
    int seek = seek_to;
    if (seek != -1) {
      float index = float(seek) * float(sample_rate) * step;
      sample_index = index > 0 ? int(index) : 0;
      decoded = int64_t(sample_index) * frame_length;
      output()->flush(seek * 1000);
      // A newer request that came in meanwhile stays for the next pass.
      seek_to.compare_exchange_strong(seek, -1);
      pacer.restart();
      m4a_poke(); // mp4_seek waits for the request to be taken
    }

    unsigned char *sample = nullptr;
    unsigned int sample_size = 0;
    int got = mp4ff_read_sample(infile, track, sample_index, &sample, &sample_size);
    ++sample_index;
    if (got == 0 || !sample) {
      free(sample);
      g_print("MP4: read error\n");
      goto cleanup;
    }
    NeAACDecFrameInfo frame;
    memset(&frame, 0, sizeof frame);
    void *pcm = NeAACDecDecode(decoder, &frame, sample, sample_size);
    free(sample);
    if (frame.error) {
      g_print("MP4: %s\n", NeAACDecGetErrorMessage(frame.error));
      goto cleanup;
    }

    // A frame dropped for a seek or a stop: both are taken at the top of the loop. A write the
    // output held (a pause that came too late to keep it out) is followed by the same look, so
    // a seek made meanwhile is taken whatever let the write go, even after the last frame.
    // The decoder holds back its first frame (the encoder's priming): it counts all the same.
    int64_t frames = frame.samples > 0 ? int64_t(frame.samples / channels) : frame_length;
    int64_t from = std::max<int64_t>(0, trim_from - decoded);
    int64_t to = trim_to < 0 ? frames : std::min<int64_t>(frames, trim_to - decoded);
    decoded += frames;
    if (pcm && frame.samples > 0 && to > from &&
        !write_frame(static_cast<short *>(pcm) + from * channels,
                     static_cast<unsigned long>((to - from) * channels), true))
      continue;
    bool music_over = trim_to >= 0 && decoded >= trim_to;
    if ((sample_index >= num_samples || music_over) && drain(true))
      goto cleanup; // played out or stopped; a seek made during the drain goes round again
  }

cleanup:
  output()->close_audio();
  free(title);
  if (decoder)
    NeAACDecClose(decoder);
  if (infile)
    mp4ff_close(infile);
  freeMP4FF_cb(cb);
  playing = 0;
  fclose(file);
}

// A title from the file name alone: raw streams carry no tags we read.
char *raw_title(const char *name) {
  TitleInput input;
  memset(&input, 0, sizeof input);
  input.__size = sizeof(TitleInput);
  input.__version = XMMS_TITLEINPUT_VERSION;
  const char *slash = strrchr(name, '/');
  char *base = g_strdup(slash ? slash + 1 : name);
  // The extension is the base name's: a dot in a folder name is not one.
  const char *dot = strrchr(base, '.');
  input.file_name = base;
  input.file_ext = dot ? dot + 1 : nullptr;
  input.file_path = const_cast<char *>(name);
  char *title = xmms_get_titlestring(xmms_get_gentitle_format(), &input);
  if (!title)
    title = strdup(base);
  g_free(base);
  return title;
}

NeAACDecHandle open_decoder(bool old_adts) {
  NeAACDecHandle decoder = NeAACDecOpen();
  if (decoder) {
    NeAACDecConfigurationPtr config = NeAACDecGetCurrentConfiguration(decoder);
    config->useOldADTSFormat = old_adts ? 1 : 0;
    NeAACDecSetConfiguration(decoder, config);
  }
  return decoder;
}

void play_raw_aac(const char *name) {
  stream_kind = RAW_AAC_FILE;
  m4a_poke(); // a seek waiting for this stream is refused at once
  FILE *file = fopen(name, "rb");
  if (!file) {
    g_print("AAC: can't find file %s\n", name);
    playing = 0;
    return;
  }
  NeAACDecHandle decoder = open_decoder(false);
  if (!decoder) {
    g_print("AAC: Open Decoder Error\n");
    fclose(file);
    playing = 0;
    return;
  }
  bool old_adts = false;
  auto *buffer = static_cast<unsigned char *>(g_try_malloc(AAC_BUFFER_SIZE));
  if (!buffer) {
    g_print("AAC: error g_malloc\n");
    fclose(file);
    NeAACDecClose(decoder);
    playing = 0;
    return;
  }
  long valid = long(fread(buffer, 1, AAC_BUFFER_SIZE, file));
  if (valid <= 0) {
    g_print("AAC: Error reading file\n");
    g_free(buffer);
    fclose(file);
    NeAACDecClose(decoder);
    playing = 0;
    return;
  }
  char *title = raw_title(name);
  long consumed = 0;
  unsigned long sample_rate = 0;
  unsigned char channels = 0;

  if (valid >= 10 && memcmp(buffer, "ID3", 3) == 0) {
    // Pass over the tag by seeking: it may be longer than the whole buffer.
    long tag = 10 + ((long(buffer[6]) << 21) | (long(buffer[7]) << 14) | (long(buffer[8]) << 7) |
                     long(buffer[9]));
    valid = 0;
    if (fseek(file, tag, SEEK_SET) == 0)
      valid = long(fread(buffer, 1, AAC_BUFFER_SIZE, file));
  }

  consumed = NeAACDecInit(decoder, buffer, (unsigned long)valid, &sample_rate, &channels);
  if (consumed < 0 || consumed > valid) {
    g_print("AAC: Stream header not recognised\n");
    goto done;
  }
  if (!output()->open_audio(FMT_S16_NE, int(sample_rate), channels)) {
    g_print("AAC: Output Error\n");
    output()->close_audio();
    goto done;
  }
  pace_stream(sample_rate, channels);
  iir_set_stream(int(sample_rate), channels);
  if (mp4_ip.set_info)
    mp4_ip.set_info(title, -1, -1, int(sample_rate), channels);
  output()->flush(0);

  while (playing && valid > 0) {
    if (consumed > 0) {
      long remaining = valid - consumed;
      memmove(buffer, buffer + consumed, size_t(remaining));
      valid =
          remaining + long(fread(buffer + remaining, 1, size_t(AAC_BUFFER_SIZE - remaining), file));
      consumed = 0;
      if (valid == 0) // clean end of the stream: nothing left to hand the decoder
        break;
    }
    NeAACDecFrameInfo frame;
    memset(&frame, 0, sizeof frame);
    void *pcm = NeAACDecDecode(decoder, &frame, buffer, (unsigned long)valid);
    if (frame.error) {
      if (old_adts) {
        g_print("FAAD2 Warning %s\n", NeAACDecGetErrorMessage(frame.error));
        valid = 0;
      } else {
        // Some encoders wrote the ADTS header of the older drafts; try the stream that way.
        NeAACDecClose(decoder);
        decoder = open_decoder(true);
        old_adts = true;
        if (!decoder) {
          g_print("AAC: Open Decoder Error\n");
          break;
        }
        frame.samples = 0;
        frame.bytesconsumed = 0;
        unsigned long rate = 0;
        unsigned char nch = 0;
        // The output is open at the first header's rate and channels; a stream that reads
        // differently the older way cannot be played on it, and FAAD2 faults when asked to
        // decode with a decoder whose set-up failed.
        long header = NeAACDecInit(decoder, buffer, (unsigned long)valid, &rate, &nch);
        if (header < 0 || rate != sample_rate || nch != channels) {
          g_print("AAC: Stream header not recognised\n");
          break;
        }
        pcm = nullptr;
      }
    } else if (frame.bytesconsumed == 0 && frame.samples == 0) {
      // No error and no progress: the same call would give the same answer forever.
      g_print("AAC: error sample decoding\n");
      break;
    }
    consumed += long(frame.bytesconsumed);
    if (consumed > valid)
      consumed = valid;
    if (frame.samples == 0 && !pcm) {
      g_print("AAC: error sample decoding\n");
    } else if (pcm && frame.samples > 0) {
      write_frame(pcm, frame.samples, false);
    }
  }

  drain(false);
  output()->close_audio();

done:
  playing = 0;
  g_free(buffer);
  if (decoder)
    NeAACDecClose(decoder);
  free(title);
  fclose(file);
  seek_to = -1;
}

} // namespace

void *mp4_decode_thread(void *arg) {
  char *name = static_cast<char *>(arg);
  // seek_to was cleared by mp4_play: a seek made since is this song's and is kept.
  // `playing` was set by mp4_play before this thread existed; setting it again here would undo a
  // stop that came in between and leave mp4_stop joining a whole song.
  FILE *file = fopen(name, "rb");
  if (!file) {
    g_print("MP4!AAC - Can't open file\n");
    g_free(name);
    playing = 0;
    m4a_poke();
    return nullptr;
  }
  int type = mp4_get_file_type(file);
  fseek(file, 0, SEEK_SET);
  if (type == MP4_FILE) {
    play_mp4(file, name);
  } else {
    fclose(file);
    play_raw_aac(name);
  }
  g_free(name);
  m4a_poke(); // playing is 0 now: a waiting seek or stop returns
  return nullptr;
}
