// ReplayGain in the output stage: each song plays at the gain its tags ask for, switched at
// the song's first sample (a gapless join included). The engine reads the tags before the song
// starts (prepare) and keeps the settings; the effect only multiplies. A song without gain tags,
// or the mode "off", plays untouched and costs nothing.
#pragma once

#include "effect.h"
#include "replaygain.h"
#include "settings.h"

#include <string>

namespace engine::stage {

class ReplayGainEffect : public Effect {
public:
  using Mode = ReplayGainMode;

  void setSettings(Mode mode, double preampDb, bool clip);
  // The tags of the song about to start and whether a neighbour in the playlist shares its
  // album (what "auto" picks album gain for). Taken over when songChanged names that file.
  void prepare(const std::string &file, const ReplayGainInfo &info, bool albumRun);
  double factor() const { return factor_; }

  void configure(const StreamFormat &format) override { channels_ = format.channels; }
  void songChanged(const std::string &file) override;
  bool active() const override { return factor_ != 1.0; }
  std::optional<double> plainGain() const override { return factor_; }
  void process(const float *in, size_t frames, std::vector<float> &out) override;
  void flush() override {}

private:
  void update();

  Mode mode_ = Mode::Auto;
  double preampDb_ = 0;
  bool clip_ = true;
  int channels_ = 2;
  std::string preparedFile_;
  ReplayGainInfo prepared_, current_;
  bool preparedRun_ = false, currentRun_ = false;
  double factor_ = 1.0;
};

} // namespace engine::stage
