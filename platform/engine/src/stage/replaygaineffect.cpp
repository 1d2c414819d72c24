#include "replaygaineffect.h"

namespace engine::stage {

void ReplayGainEffect::setSettings(Mode mode, double preampDb, bool clip) {
  mode_ = mode;
  preampDb_ = preampDb;
  clip_ = clip;
  update();
}

void ReplayGainEffect::prepare(const std::string &file, const ReplayGainInfo &info, bool albumRun) {
  preparedFile_ = file;
  prepared_ = info;
  preparedRun_ = albumRun;
}

void ReplayGainEffect::songChanged(const std::string &file) {
  // A song nobody prepared (its tags could not be read in time) plays untouched rather than
  // at the last song's gain.
  if (file == preparedFile_) {
    current_ = prepared_;
    currentRun_ = preparedRun_;
  } else {
    current_ = {};
    currentRun_ = false;
  }
  update();
}

void ReplayGainEffect::update() {
  if (mode_ == Mode::Off) {
    factor_ = 1.0;
    return;
  }
  bool album = mode_ == Mode::Album || (mode_ == Mode::Auto && currentRun_);
  factor_ = replayGainFactor(current_, album, preampDb_, clip_);
}

void ReplayGainEffect::process(const float *in, size_t frames, std::vector<float> &out) {
  const size_t n = frames * static_cast<size_t>(channels_);
  const float f = static_cast<float>(factor_);
  size_t base = out.size();
  out.resize(base + n);
  float *o = out.data() + base;
  for (size_t i = 0; i < n; ++i)
    o[i] = in[i] * f;
}

} // namespace engine::stage
