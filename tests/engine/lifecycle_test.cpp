// Start, end and restart of the engine process, and its share of ~/.xmms/config.
#include "enginetest.h"

#include <protocol.h>

#include <gtest/gtest.h>
#include <xmms/configfile.h>
#include <xmms/xmmsctrl.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <thread>

using namespace enginetest;
using velora::test::fileExists;
using velora::test::readFile;
using velora::test::TempHome;
using velora::test::waitUntil;

namespace {
std::string cfgString(const char *group, const char *key) {
  ConfigFile *cfg = xmms_cfg_open_default_file();
  char *v = nullptr;
  xmms_cfg_read_string(cfg, group, key, &v);
  xmms_cfg_free(cfg);
  std::string out = v ? v : "<missing>";
  std::free(v);
  return out;
}
} // namespace

TEST(EngineLifecycle, QuitAndSignalsRemoveSocketAndPidFile) {
  TempHome home;
  std::string sock = xmms::proto::socketPath(0), pid = xmms::proto::pidPath(0);
  {
    EngineRun engine;
    ASSERT_TRUE(engine.start());
    EXPECT_TRUE(fileExists(sock));
    ASSERT_TRUE(fileExists(pid));
    EXPECT_EQ(std::atoi(readFile(pid).c_str()), engine.pid());
    EXPECT_EQ(engine.quit(), 0);
    EXPECT_FALSE(fileExists(sock));
    EXPECT_FALSE(fileExists(pid));
  }
  for (int sig : {SIGTERM, SIGINT}) {
    EngineRun engine;
    ASSERT_TRUE(engine.start());
    kill(engine.pid(), sig);
    EXPECT_EQ(engine.wait(), 0) << sig;
    EXPECT_FALSE(fileExists(sock)) << sig;
    EXPECT_FALSE(fileExists(pid)) << sig;
  }
}

TEST(EngineLifecycle, SecondStartLeavesQuietlyAndKilledEngineIsReplaced) {
  TempHome home;
  writePlaylist(home, {"/m/one-60000ms.tst"});
  EngineRun first;
  ASSERT_TRUE(first.start());
  EngineRun second;
  EXPECT_TRUE(second.start()); // the first one answers
  EXPECT_EQ(second.wait(3000), 0);
  EXPECT_EQ(second.errors(), "");
  EXPECT_TRUE(first.alive());
  EXPECT_EQ(std::atoi(readFile(xmms::proto::pidPath(0)).c_str()), first.pid());

  // Killed without a chance to clean up: socket and pid file stay behind, the next start
  // recognises them as stale.
  first.kill9();
  EXPECT_TRUE(fileExists(xmms::proto::socketPath(0)));
  EXPECT_EQ(xmms_remote_get_version(0), 0);
  EngineRun third;
  ASSERT_TRUE(third.start());
  EXPECT_EQ(xmms_remote_get_playlist_length(0), 1);
  EXPECT_EQ(std::atoi(readFile(xmms::proto::pidPath(0)).c_str()), third.pid());
  EXPECT_EQ(third.quit(), 0);
}

TEST(EngineLifecycle, ConfigSavesKeepOtherKeys) {
  TempHome home;
  writeConfig(home, "[Winskin]\nVolume=45\nMaximumVolume=65\n[OSS]\nezx_bass_booster=true\n"
                    "[xmms]\nshuffle=FALSE\nrepeat=FALSE\nequalizer_active=FALSE\n"
                    "output_plugin=libnullout.so\ndisabled_iplugins=libnothing.so\n"
                    "some_foreign_key=kept\n");
  writePlaylist(home, {"/m/a-60000ms.tst", "/m/b-60000ms.tst"});
  EngineRun engine;
  ASSERT_TRUE(engine.start());
  EXPECT_FALSE(xmms_remote_is_shuffle(0));
  xmms_remote_toggle_repeat(0);
  EXPECT_TRUE(waitUntil([] { return cfgString("xmms", "repeat") == "TRUE"; }));
  EXPECT_EQ(cfgString("Winskin", "Volume"), "45");

  // The front-end changes its own keys while the engine runs.
  ConfigFile *cfg = xmms_cfg_open_default_file();
  xmms_cfg_write_int(cfg, "Winskin", "Volume", 70);
  xmms_cfg_write_boolean(cfg, "OSS", "ezx_audio_3d", 1);
  ASSERT_TRUE(xmms_cfg_write_default_file(cfg));
  xmms_cfg_free(cfg);

  xmms_remote_toggle_shuffle(0);
  xmms_remote_toggle_eq_active(0);
  xmms_remote_set_eq_band(0, 3, -7.5f);
  xmms_remote_set_playlist_pos(0, 1);
  EXPECT_TRUE(waitUntil([] { return cfgString("xmms", "equalizer_band3") == "-7.500000"; }));
  EXPECT_EQ(engine.quit(), 0);

  EXPECT_EQ(cfgString("Winskin", "Volume"), "70");
  EXPECT_EQ(cfgString("Winskin", "MaximumVolume"), "65");
  EXPECT_EQ(cfgString("OSS", "ezx_bass_booster"), "true");
  EXPECT_EQ(cfgString("OSS", "ezx_audio_3d"), "TRUE");
  EXPECT_EQ(cfgString("xmms", "some_foreign_key"), "kept");
  EXPECT_EQ(cfgString("xmms", "output_plugin"), "libnullout.so");
  EXPECT_EQ(cfgString("xmms", "disabled_iplugins"), "libnothing.so");
  EXPECT_EQ(cfgString("xmms", "shuffle"), "TRUE");
  EXPECT_EQ(cfgString("xmms", "repeat"), "TRUE");
  EXPECT_EQ(cfgString("xmms", "equalizer_active"), "TRUE");
  EXPECT_EQ(cfgString("xmms", "playlist_position"), "1");
  // "equalizer_iso_spaced" is only read, never written.
  EXPECT_EQ(cfgString("xmms", "equalizer_iso_spaced"), "<missing>");
  // No temporary files left beside it.
  int files = 0;
  for (auto &e : std::filesystem::directory_iterator(home.path(".xmms")))
    files += e.path().filename().string().rfind("config", 0) == 0;
  EXPECT_EQ(files, 1);

  // The next start reads the saved state back.
  EngineRun again;
  ASSERT_TRUE(again.start());
  EXPECT_TRUE(xmms_remote_is_shuffle(0));
  EXPECT_TRUE(xmms_remote_is_repeat(0));
  EXPECT_TRUE(xmms_remote_is_eq_active(0));
  EXPECT_FLOAT_EQ(xmms_remote_get_eq_band(0, 3), -7.5f);
  EXPECT_EQ(xmms_remote_get_playlist_pos(0), 1);
  EXPECT_EQ(again.quit(), 0);
}

TEST(EngineLifecycle, DisabledAndBrokenInputPluginsAreSkipped) {
  TempHome home;
  std::string exe = privateStage(home);
  // A file that is no plug-in at all in the Input folder: one line, the rest loads.
  velora::test::writeFile(home.root() + "/stage/lib/xmms/Input/libbroken.so", "not an ELF file");
  writePlaylist(home, {"/m/a-60000ms.tst"});
  writeConfig(home, "[xmms]\ndisabled_iplugins=libwavinput.so\n");
  EngineRun engine;
  ASSERT_TRUE(engine.start(exe));
  xmms_remote_play(0);
  EXPECT_TRUE(waitUntil([] { return xmms_remote_get_output_time(0) > 0; }));
  EXPECT_EQ(engine.quit(), 0);
  std::string err = engine.errors();
  EXPECT_NE(err.find("libbroken.so"), std::string::npos) << err;
  // With the WAV plug-in disabled, a WAV file finds no plug-in.
  writePlaylist(home, {std::string(ENGINE_FIXTURES_DIR) + "/short1.wav"});
  EngineRun second;
  ASSERT_TRUE(second.start(exe));
  xmms_remote_play(0);
  EXPECT_TRUE(waitUntil([] { return !xmms_remote_is_playing(0); }));
  EXPECT_EQ(second.quit(), 0);
  EXPECT_NE(second.errors().find("no input plug-in plays"), std::string::npos);
}
