// ReplayGain: the loudness tags a song carries, and the gain the engine's output stage applies
// for them. Tags are read once per song, with TagLib, from whichever place the format keeps
// them: Vorbis comments (Ogg Vorbis, FLAC, Opus), APE tags, ID3v2 TXXX frames and MP4 freeform
// items "----:com.apple.iTunes:replaygain_*". Opus R128 gains (Q7.8 dB against -23 LUFS) count
// 5 dB more, to stand on ReplayGain's -18 LUFS reference.
#pragma once

#include <optional>
#include <string>

namespace engine {

struct ReplayGainInfo {
  std::optional<double> trackGainDb, trackPeak, albumGainDb, albumPeak;
  std::string album; // the album tag, for the auto mode
  bool any() const { return trackGainDb || albumGainDb; }
};

// Reads the tags of a file; an unreadable file, one without tags or anything but a plain file
// (a FIFO, a device, a URL) gives an empty record.
ReplayGainInfo readReplayGain(const std::string &path);

// "-6.5 dB", "+3.20", " 0.98765 " -> the number; nothing for anything else or out of range.
std::optional<double> parseGainDb(const std::string &text);
std::optional<double> parsePeak(const std::string &text);
// An R128 gain ("-1280" is -5 dB) on ReplayGain's reference.
std::optional<double> parseR128(const std::string &text);

// The linear factor for a song: its album gain when useAlbum (the track gain when it has no
// album gain), else its track gain (else its album gain), plus the preamp; with clip, lowered
// so the tagged peak stays at or under full scale. A song without gain tags plays at 1.0.
double replayGainFactor(const ReplayGainInfo &info, bool useAlbum, double preampDb, bool clip);

} // namespace engine
