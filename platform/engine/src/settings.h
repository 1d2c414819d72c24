// The engine's own keys in group "xmms" of ~/.xmms/config. The file is shared with the
// front-end, so a save re-reads it and changes only the keys the engine owns.
#pragma once

#include <array>
#include <string>
#include <vector>

namespace engine {

constexpr float kEqMin = -20.0f, kEqMax = 20.0f;
constexpr float kSpeedMin = 0.5f, kSpeedMax = 2.0f, kSpeedStep = 0.05f;

enum class ReplayGainMode { Off = 0, Track = 1, Album = 2, Auto = 3 };

struct Settings {
  // Defaults agree with what the front-end assumes when the keys are missing, so both show the
  // same state on a first run.
  bool shuffle = true;
  bool repeat = false;
  bool eqActive = true;
  float eqPreamp = 0.0f;
  std::array<float, 10> eqBands{};
  bool eqIsoSpaced = true;                    // read only: the input plug-ins read it themselves
  std::string outputPlugin = "libalsaout.so"; // read only
  std::vector<std::string> disabledInputs;    // read only
  int playlistPosition = 0;
  std::string playlistPositionFile;                     // the entry that was at playlistPosition
  int playlistPositionTime = 0;                         // ms into that entry when the engine quit
  float playbackSpeed = 1.0f;                           // "playback_speed"
  ReplayGainMode replayGainMode = ReplayGainMode::Auto; // "replaygain_mode"
  float replayGainPreampDb = 0.0f;                      // "replaygain_preamp", read only
  bool replayGainClip = true;                           // "replaygain_clip", read only
};

Settings loadSettings();
// Re-reads the file, writes the engine's own keys into it and replaces it atomically.
bool saveSettings(const Settings &s);

float clampEq(float v);
// The nearest speed step within 0.5..2.0; 1.0 for a value that is not a number.
float normalizeSpeed(float v);
// "off", "track", "album", "auto" (any case); nullopt-like false for anything else.
bool parseReplayGainMode(const std::string &text, ReplayGainMode &out);
const char *replayGainModeName(ReplayGainMode m);

} // namespace engine
