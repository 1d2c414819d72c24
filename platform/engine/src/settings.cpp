#include "settings.h"

#include <xmms/configfile.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace engine {

namespace {

constexpr const char *kGroup = "xmms";

std::string bandKey(int i) { return "equalizer_band" + std::to_string(i); }

void readBool(ConfigFile *cfg, const char *key, bool &out) {
  int v;
  if (xmms_cfg_read_boolean(cfg, kGroup, key, &v))
    out = v != 0;
}

void readFloat(ConfigFile *cfg, const char *key, float &out) {
  float v;
  if (xmms_cfg_read_float(cfg, kGroup, key, &v))
    out = clampEq(v);
}

std::string readString(ConfigFile *cfg, const char *key) {
  char *v = nullptr;
  std::string out;
  if (xmms_cfg_read_string(cfg, kGroup, key, &v) && v)
    out = v;
  std::free(v);
  return out;
}

// "a.so,b.so" or "a.so b.so" or "a.so;b.so": any of these separators is accepted.
std::vector<std::string> splitList(const std::string &text) {
  std::vector<std::string> out;
  std::string cur;
  for (char c : text + ",") {
    if (c == ',' || c == ';' || c == ' ' || c == '\t') {
      if (!cur.empty())
        out.push_back(cur);
      cur.clear();
    } else {
      cur += c;
    }
  }
  return out;
}

} // namespace

float clampEq(float v) {
  if (std::isnan(v))
    return 0.0f;
  return v < kEqMin ? kEqMin : (v > kEqMax ? kEqMax : v);
}

float normalizeSpeed(float v) {
  if (!std::isfinite(v))
    return 1.0f;
  v = std::clamp(v, kSpeedMin, kSpeedMax);
  // Whole steps of 1/20, so 0.75 stays exactly what the user chose and 1.0 is exactly 1.
  return std::round(v / kSpeedStep) / 20.0f;
}

bool parseReplayGainMode(const std::string &text, ReplayGainMode &out) {
  std::string t;
  for (char c : text)
    if (!std::isspace(static_cast<unsigned char>(c)))
      t += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  for (ReplayGainMode m :
       {ReplayGainMode::Off, ReplayGainMode::Track, ReplayGainMode::Album, ReplayGainMode::Auto})
    if (t == replayGainModeName(m)) {
      out = m;
      return true;
    }
  return false;
}

const char *replayGainModeName(ReplayGainMode m) {
  switch (m) {
  case ReplayGainMode::Off:
    return "off";
  case ReplayGainMode::Track:
    return "track";
  case ReplayGainMode::Album:
    return "album";
  case ReplayGainMode::Auto:
    break;
  }
  return "auto";
}

Settings loadSettings() {
  Settings s;
  ConfigFile *cfg = xmms_cfg_open_default_file();
  readBool(cfg, "shuffle", s.shuffle);
  readBool(cfg, "repeat", s.repeat);
  readBool(cfg, "equalizer_active", s.eqActive);
  readBool(cfg, "equalizer_iso_spaced", s.eqIsoSpaced);
  readFloat(cfg, "equalizer_preamp", s.eqPreamp);
  for (int i = 0; i < 10; ++i)
    readFloat(cfg, bandKey(i).c_str(), s.eqBands[i]);
  std::string out = readString(cfg, "output_plugin");
  if (!out.empty())
    s.outputPlugin = out;
  s.disabledInputs = splitList(readString(cfg, "disabled_iplugins"));
  int pos;
  if (xmms_cfg_read_int(cfg, kGroup, "playlist_position", &pos) && pos >= 0)
    s.playlistPosition = pos;
  s.playlistPositionFile = readString(cfg, "playlist_position_file");
  int ms;
  if (xmms_cfg_read_int(cfg, kGroup, "playlist_position_time", &ms) && ms > 0)
    s.playlistPositionTime = ms;
  float speed;
  if (xmms_cfg_read_float(cfg, kGroup, "playback_speed", &speed))
    s.playbackSpeed = normalizeSpeed(speed);
  std::string mode = readString(cfg, "replaygain_mode");
  if (!mode.empty() && !parseReplayGainMode(mode, s.replayGainMode))
    std::fprintf(stderr,
                 "xmms: replaygain_mode \"%s\" is not off, track, album or auto; using auto\n",
                 mode.c_str());
  float preamp;
  if (xmms_cfg_read_float(cfg, kGroup, "replaygain_preamp", &preamp))
    s.replayGainPreampDb = clampEq(preamp);
  readBool(cfg, "replaygain_clip", s.replayGainClip);
  xmms_cfg_free(cfg);
  return s;
}

bool saveSettings(const Settings &s) {
  // A file that exists but cannot be read must not be replaced by one holding only our keys.
  char *path = xmms_cfg_default_path();
  ConfigFile *cfg = xmms_cfg_open_file(path);
  bool exists = ::access(path, F_OK) == 0;
  std::free(path);
  if (!cfg && exists) {
    std::fprintf(stderr, "xmms: cannot read ~/.xmms/config; settings not saved\n");
    return false;
  }
  if (!cfg)
    cfg = xmms_cfg_new();
  xmms_cfg_write_boolean(cfg, kGroup, "shuffle", s.shuffle);
  xmms_cfg_write_boolean(cfg, kGroup, "repeat", s.repeat);
  xmms_cfg_write_boolean(cfg, kGroup, "equalizer_active", s.eqActive);
  xmms_cfg_write_float(cfg, kGroup, "equalizer_preamp", s.eqPreamp);
  for (int i = 0; i < 10; ++i)
    xmms_cfg_write_float(cfg, kGroup, bandKey(i).c_str(), s.eqBands[i]);
  xmms_cfg_write_int(cfg, kGroup, "playlist_position", s.playlistPosition);
  xmms_cfg_write_string(cfg, kGroup, "playlist_position_file", s.playlistPositionFile.c_str());
  xmms_cfg_write_int(cfg, kGroup, "playlist_position_time", s.playlistPositionTime);
  xmms_cfg_write_float(cfg, kGroup, "playback_speed", s.playbackSpeed);
  xmms_cfg_write_string(cfg, kGroup, "replaygain_mode", replayGainModeName(s.replayGainMode));
  bool ok = xmms_cfg_write_default_file(cfg) != 0;
  xmms_cfg_free(cfg);
  if (!ok)
    std::fprintf(stderr, "xmms: cannot save the settings to ~/.xmms/config\n");
  return ok;
}

} // namespace engine
