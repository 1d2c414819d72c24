// The engine's own keys in group "xmms" of ~/.xmms/config. The file is shared with the
// front-end, so a save re-reads it and changes only the keys the engine owns.
#pragma once

#include <array>
#include <string>
#include <vector>

namespace engine {

constexpr float kEqMin = -20.0f, kEqMax = 20.0f;

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
  std::string playlistPositionFile; // the entry that was at playlistPosition
  int playlistPositionTime = 0;     // ms into that entry when the engine quit
};

Settings loadSettings();
// Re-reads the file, writes the engine's own keys into it and replaces it atomically.
bool saveSettings(const Settings &s);

float clampEq(float v);

} // namespace engine
