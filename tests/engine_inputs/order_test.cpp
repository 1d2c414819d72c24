// The engine's plug-in host over the staged input plug-ins: they are asked in the order their
// priorities say, whatever their file names, so the format plug-ins keep their files, the MP4
// plug-in comes before the external player, and the catch-all comes last; the external player
// says by a capability that its seeks are relative.
#include "harness.h"
#include "media.h"
#include "pluginhost.h"
#include "testenv.h"

#include <gtest/gtest.h>

using velora::test::fixture;
using velora::test::TempHome;
using velora::test::writeFile;

namespace {

struct NoEvents : engine::PluginEvents {
  void onSetInfo(const char *, int, int, int, int) override {}
};

TEST(InputOrder, PrioritiesDecideWhoPlaysAFileAndCapabilitiesReplaceNames) {
  NoEvents events;
  engine::PluginHost host(&events);
  host.loadInputs(velora::test::stageDir() + "/lib/xmms/Input", {});
  const auto &inputs = host.inputs();
  ASSERT_GE(inputs.size(), 5u);
  auto indexOf = [&](const std::string &name) {
    for (size_t i = 0; i < inputs.size(); ++i)
      if (inputs[i]->name == name)
        return static_cast<int>(i);
    return -1;
  };
  for (size_t i = 1; i < inputs.size(); ++i)
    EXPECT_GE(inputs[i - 1]->priority, inputs[i]->priority) << inputs[i]->name;
  // "libffmpeginput" sorts before "libflacinput" by name; its priority puts it after every
  // plug-in of a format, before only the Vorbis and Opus plug-ins that stand in for it when it
  // is missing.
  const int ffmpeg = indexOf("libffmpeginput.so"), opus = indexOf("libopusinput.so");
  if (ffmpeg >= 0) {
    EXPECT_LT(inputs[ffmpeg]->priority, 0);
    for (size_t i = static_cast<size_t>(ffmpeg) + 1; i < inputs.size(); ++i)
      EXPECT_TRUE(inputs[i]->name == "libopusinput.so" || inputs[i]->name == "libvorbisinput.so")
          << inputs[i]->name;
    if (opus >= 0) {
      EXPECT_GT(opus, ffmpeg);
    }
  }
  const int m4a = indexOf("libm4ainput.so"), slave = indexOf("libslaveinput.so");
  if (m4a >= 0 && slave >= 0) {
    EXPECT_LT(m4a, slave);
    EXPECT_EQ(inputs[slave]->capabilities & VELORA_INPUT_RELATIVE_SEEK, VELORA_INPUT_RELATIVE_SEEK);
    EXPECT_EQ(inputs[m4a]->capabilities, 0u);
  }
  for (const char *format : {"libwavinput.so", "libmpg123input.so", "libflacinput.so"})
    EXPECT_LT(indexOf(format), ffmpeg < 0 ? 1000 : ffmpeg) << format;

  // Who plays what: each format's own plug-in for its files, the MP4 plug-in for .m4a, the
  // catch-all for what the WAV plug-in leaves (A-law).
  TempHome home;
  auto chosen = [&](const std::string &file) {
    engine::InputEntry *e = host.inputFor(file);
    return e ? e->name : std::string("none");
  };
  EXPECT_EQ(chosen(fixture("inputs/chirp.flac")), "libflacinput.so");
  EXPECT_EQ(chosen(fixture("inputs/chirp.mp3")), "libmpg123input.so");
  EXPECT_EQ(chosen(fixture("inputs/chirp.ogg")),
            ffmpeg >= 0 ? "libffmpeginput.so" : "libvorbisinput.so");
  if (opus >= 0) {
    EXPECT_EQ(chosen(fixture("inputs/chirp.opus")),
              ffmpeg >= 0 ? "libffmpeginput.so" : "libopusinput.so");
  }
  std::string wav = home.path("tone.wav");
  writeFile(wav, velora::test::toneWav(0.5));
  EXPECT_EQ(chosen(wav), "libwavinput.so");
  if (m4a >= 0) {
    EXPECT_EQ(chosen(home.path("any.m4a")), "libm4ainput.so");
  }
  if (ffmpeg >= 0) {
    std::string alaw = home.path("alaw.wav");
    ASSERT_TRUE(
        inputs_test::ffmpegMakes({"-f", "lavfi", "-i", "sine=d=0.5", "-c:a", "pcm_alaw"}, alaw));
    EXPECT_EQ(chosen(alaw), "libffmpeginput.so");
  }
  std::string text = home.path("notes.txt");
  writeFile(text, "no song here\n");
  EXPECT_EQ(chosen(text), "none");
  host.cleanup(5000);
}

} // namespace
