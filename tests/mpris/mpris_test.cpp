// Desktop control from outside the process: playerctl and gdbus, independent clients on a private
// session bus, drive the window on the real engine. What they read back must match the engine,
// the window's pictures must follow, and the disk writer shows what would be heard.
#include "inputfixture.h"
#include "mpris/mprisservice.h"
#include "mpristools.h"

#include "guiapp.h"
#include "testskin.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QStandardPaths>
#include <QUrl>
#include <xmms/xmmsctrl.h>

using namespace velora::test;

namespace {

// Everything the player announces on the bus, as another program would see it.
class BusWatcher : public QObject {
  Q_OBJECT
public:
  BusWatcher() : bus(QDBusConnection::connectToBus(QDBusConnection::SessionBus, "watcher")) {
    bus.connect(QString(), MprisService::kObjectPath, "org.freedesktop.DBus.Properties",
                "PropertiesChanged", this, SLOT(onChanged(QDBusMessage)));
    bus.connect(QString(), MprisService::kObjectPath, "org.mpris.MediaPlayer2.Player", "Seeked",
                this, SLOT(onSeeked(qlonglong)));
  }
  ~BusWatcher() override { QDBusConnection::disconnectFromBus("watcher"); }

  QDBusConnection bus;
  QList<QVariantMap> changes; // changed properties, one map per signal
  QList<qlonglong> seeks;

  // True once a PropertiesChanged since the last clear() carried name == value.
  bool saw(const QString &name, const QVariant &value) const {
    for (const QVariantMap &m : changes)
      if (m.contains(name) && m.value(name) == value)
        return true;
    return false;
  }

public slots:
  void onChanged(const QDBusMessage &m) {
    if (m.arguments().size() >= 2 &&
        m.arguments().at(0).toString() == QLatin1String("org.mpris.MediaPlayer2.Player"))
      changes << qdbus_cast<QVariantMap>(m.arguments().at(1));
  }
  void onSeeked(qlonglong us) { seeks << us; }
};

class MprisTest : public InputTest {};

} // namespace

TEST_F(MprisTest, PlayerctlDrivesThePlayerLikeItsButtons) {
  if (!QDBusConnection::sessionBus().isConnected())
    GTEST_SKIP() << "no session bus: this test runs inside dbus-run-session";
  ASSERT_FALSE(QStandardPaths::findExecutable("playerctl").isEmpty()) << "playerctl missing";
  const std::string first = home.path("music/first.wav");
  const std::string second = home.path("music/second.wav");
  makeDirs(home.path("music"));
  writeFile(first, toneWav(20, 16000));
  ASSERT_TRUE(tagFile(first, "Morning Tone", "Test Artist", "Fixture Album"));
  writeFile(second, toneWav(20, 16000));
  startEngine({first, second});
  // A status picture beside the time: playing, paused and stopped stacked on the sheet.
  openWindow("play_display_win=170,30,20,10,400,600\n");
  MprisService *service = MprisService::start(w.get());
  ASSERT_NE(service, nullptr);
  BusWatcher watcher;
  auto showsStatus = [&](int state) {
    return showsSheetRect(w->frameImage(), 170, 30, 400, 600 + state * 10, 20, 10);
  };

  EXPECT_TRUE(QString::fromStdString(playerctl({"-l"})).split('\n').contains("velora"));
  EXPECT_EQ(playerctl({"-p", "velora", "status"}), "Stopped");

  // Play-pause from stopped: as a tap on Play, with the stored volume.
  playerctl({"-p", "velora", "play-pause"});
  ASSERT_TRUE(waitPlaying());
  EXPECT_TRUE(playingFlag);
  EXPECT_EQ(w->title(), "1.first.wav");
  EXPECT_EQ(engineVolume(), 45 * 65 / 100);
  EXPECT_TRUE(showsSheetRect(w->frameImage(), 40, 60, 60, 400, 20, 16)); // the playing face
  EXPECT_TRUE(showsStatus(0));
  EXPECT_EQ(playerctl({"-p", "velora", "status"}), "Playing");
  EXPECT_TRUE(spinUntil([&] { return watcher.saw("PlaybackStatus", "Playing"); }, 4000));

  // Metadata: the tags of the file and the engine's length of the entry.
  ASSERT_TRUE(waitUntil([] { return xmms_remote_get_playlist_time(0, 0) > 0; }, 3000));
  const qlonglong lengthUs = qlonglong(xmms_remote_get_playlist_time(0, 0)) * 1000;
  EXPECT_EQ(playerctl({"-p", "velora", "metadata", "--format",
                       "{{xesam:title}}|{{xesam:artist}}|{{xesam:album}}|{{mpris:length}}|"
                       "{{mpris:trackid}}|{{xesam:url}}"}),
            "Morning Tone|Test Artist|Fixture Album|" + std::to_string(lengthUs) +
                "|'/org/velora/track/0'|file://" + first);

  // Pause and resume, with the window's pictures following.
  playerctl({"-p", "velora", "play-pause"});
  EXPECT_TRUE(waitUntil([&] { return enginePaused(); }, 3000));
  EXPECT_TRUE(pausedFlag);
  EXPECT_TRUE(showsSheetRect(w->frameImage(), 40, 60, 40, 400, 20, 16)); // the play face again
  EXPECT_TRUE(showsStatus(1));
  EXPECT_EQ(playerctl({"-p", "velora", "status"}), "Paused");
  EXPECT_TRUE(spinUntil([&] { return watcher.saw("PlaybackStatus", "Paused"); }, 4000));
  playerctl({"-p", "velora", "play"});
  ASSERT_TRUE(waitPlaying());
  EXPECT_TRUE(showsStatus(0));

  // Position: an absolute jump, then a relative one back; each is followed by Seeked.
  playerctl({"-p", "velora", "position", "10"});
  EXPECT_TRUE(spinUntil([&] { return watcher.seeks.contains(10000000); }, 4000));
  EXPECT_TRUE(spinUntil([] { return xmms_remote_get_output_time(0) >= 10000; }, 4000));
  const double reported = std::stod(playerctl({"-p", "velora", "position"}));
  EXPECT_GE(reported, 10.0);
  EXPECT_LT(reported, 16.0);
  watcher.seeks.clear();
  const qlonglong before = xmms_remote_get_output_time(0);
  playerctl({"-p", "velora", "position", "3-"});
  ASSERT_TRUE(spinUntil([&] { return !watcher.seeks.isEmpty(); }, 4000));
  EXPECT_GE(watcher.seeks.first(), (before - 3000) * 1000);
  EXPECT_LT(watcher.seeks.first(), before * 1000);
  // Only a jump back brings the engine's time below where it was.
  EXPECT_TRUE(spinUntil([&] { return xmms_remote_get_output_time(0) < before; }, 2500));

  // Volume: the slider's command, so the knob, the stored volume and the engine agree.
  playerctl({"-p", "velora", "volume", "0.3"});
  EXPECT_EQ(volumePercent, 30);
  EXPECT_EQ(engineVolume(), 30 * 65 / 100);
  EXPECT_TRUE(showsSheetRect(w->frameImage(), 150 + 30 * 54 / 100 + 2, 60, 300, 420, 12, 10));
  EXPECT_NEAR(std::stod(playerctl({"-p", "velora", "volume"})), 0.3, 1e-6);
  EXPECT_TRUE(spinUntil([&] { return watcher.saw("Volume", 0.3); }, 4000));

  // Next: the engine moves on, the window titles the new song, the desktop is told.
  playerctl({"-p", "velora", "next"});
  EXPECT_TRUE(waitUntil([&] { return enginePosition() == 1; }, 3000));
  EXPECT_TRUE(spinUntil([&] { return w->title() == "2.second.wav"; }, 4000));
  EXPECT_EQ(playerctl({"-p", "velora", "metadata", "--format",
                       "{{xesam:title}}|{{xesam:artist}}|{{mpris:trackid}}"}),
            "second.wav||'/org/velora/track/1'");
  EXPECT_TRUE(spinUntil(
      [&] {
        for (const QVariantMap &m : watcher.changes)
          if (qdbus_cast<QVariantMap>(m.value("Metadata")).value("xesam:title") == "second.wav")
            return true;
        return false;
      },
      4000));

  // Shuffle and loop are the window's toggles and the engine's modes.
  playerctl({"-p", "velora", "shuffle", "On"});
  EXPECT_TRUE(shuffleOn);
  EXPECT_TRUE(xmms_remote_is_shuffle(0));
  playerctl({"-p", "velora", "loop", "Playlist"});
  EXPECT_TRUE(repeatOn);
  EXPECT_TRUE(xmms_remote_is_repeat(0));
  EXPECT_EQ(playerctl({"-p", "velora", "loop"}), "Playlist");
  EXPECT_TRUE(spinUntil([&] { return watcher.saw("LoopStatus", "Playlist"); }, 4000));
  playerctl({"-p", "velora", "shuffle", "Off"});
  playerctl({"-p", "velora", "loop", "None"});
  EXPECT_FALSE(xmms_remote_is_shuffle(0));
  EXPECT_FALSE(xmms_remote_is_repeat(0));

  // The root interface, read by a second client.
  const QString root = QString::fromStdString(
      gdbus({"call", "--session", "--dest", MprisService::kServiceName, "--object-path",
             MprisService::kObjectPath, "--method", "org.freedesktop.DBus.Properties.GetAll",
             "org.mpris.MediaPlayer2"}));
  EXPECT_TRUE(root.contains("'Identity': <'velora'>")) << root.toStdString();
  EXPECT_TRUE(root.contains("'DesktopEntry': <'velora'>"));
  EXPECT_TRUE(root.contains("'SupportedUriSchemes': <['file']>"));
  EXPECT_TRUE(root.contains("'audio/flac'"));
  EXPECT_TRUE(root.contains("'audio/mpeg'"));

  // A seek made in the window (a drag of the position knob to 80 %) is told as well.
  watcher.seeks.clear();
  const int knob = w->positionPercent + 20; // the knob's hit zone starts 10 pixels into the bar
  press(knob, 96);
  move(105, 96);
  release(105, 96);
  EXPECT_TRUE(spinUntil([] { return xmms_remote_get_output_time(0) >= 15000; }, 3000));
  ASSERT_TRUE(spinUntil([&] { return !watcher.seeks.isEmpty(); }, 4000));
  EXPECT_GE(watcher.seeks.last(), 15000000);
  EXPECT_LT(watcher.seeks.last(), 20000000);

  // Stop: as the Stop button.
  playerctl({"-p", "velora", "stop"});
  EXPECT_TRUE(waitUntil([] { return !xmms_remote_is_playing(0); }, 3000));
  EXPECT_FALSE(playingFlag);
  EXPECT_TRUE(showsStatus(2));
  EXPECT_EQ(playerctl({"-p", "velora", "status"}), "Stopped");

  // What is heard: on the disk writer a volume set from the desktop while stopped goes with
  // the next play, as the stored volume does.
  const std::string out = home.path("heard.wav");
  engine.stop();
  writeFile(home.path(".xmms/config"), "[xmms]\noutput_plugin=libdiskwriter.so\nshuffle=FALSE\n"
                                       "repeat=FALSE\n[disk_writer]\nfile=" +
                                           out + "\n");
  ASSERT_TRUE(engine.start());
  playerctl({"-p", "velora", "volume", "0.5"});
  playerctl({"-p", "velora", "play"});
  ASSERT_TRUE(waitUntil([&] { return fileExists(out) && !xmms_remote_is_playing(0); }, 8000));
  auto [peak, count] = peakAndCount(readFile(out));
  EXPECT_EQ(count, 20u * 8000u);
  EXPECT_NEAR(peak, 16000 * (50 * 65 / 100) / 100, 16000 / 50);

  // Opening a file that is not in the playlist makes it the playlist, on a fresh engine.
  const std::string third = home.path("music/third song.wav");
  writeFile(third, toneWav(2, 8000));
  setenv("PATH", (stageDir() + "/bin:" + getenv("PATH")).c_str(), 1);
  playerctl(
      {"-p", "velora", "open", QUrl::fromLocalFile(QString::fromStdString(third)).toString()});
  // The restart runs on the window's event loop, which must turn meanwhile.
  ASSERT_TRUE(spinUntil(
      [&] { return fileExists(out) && peakAndCount(readFile(out)).second == 2u * 8000u; }, 15000));
  EXPECT_NEAR(peakAndCount(readFile(out)).first, 8000 * (50 * 65 / 100) / 100, 16000 / 50);
  EXPECT_EQ(w->playlistModel, QStringList{QString::fromStdString(third)});
  EXPECT_EQ(readFile(home.path(".xmms/xmms.m3u")), third + "\n");
  // The engine the player started is nobody's child here: end it the way the window does.
  xmms_remote_quit(0);
  XMMSPlayer::terminateEngineProcesses();
}

TEST_F(MprisTest, RateIsThePlaybackSpeed) {
  if (!QDBusConnection::sessionBus().isConnected())
    GTEST_SKIP() << "no session bus: this test runs inside dbus-run-session";
  const std::string first = home.path("music/first.wav");
  makeDirs(home.path("music"));
  writeFile(first, toneWav(20, 16000));
  startEngine({first});
  openWindow();
  MprisService *service = MprisService::start(w.get());
  ASSERT_NE(service, nullptr);
  BusWatcher watcher;
  auto property = [](const char *name) {
    return gdbus({"call", "--session", "--dest", MprisService::kServiceName, "--object-path",
                  MprisService::kObjectPath, "--method", "org.freedesktop.DBus.Properties.Get",
                  "org.mpris.MediaPlayer2.Player", name});
  };
  auto setRate = [](const char *value) {
    gdbus({"call", "--session", "--dest", MprisService::kServiceName, "--object-path",
           MprisService::kObjectPath, "--method", "org.freedesktop.DBus.Properties.Set",
           "org.mpris.MediaPlayer2.Player", "Rate", QString("<%1>").arg(value)});
  };
  EXPECT_EQ(property("MinimumRate"), "(<0.5>,)");
  EXPECT_EQ(property("MaximumRate"), "(<2.0>,)");
  EXPECT_EQ(property("Rate"), "(<1.0>,)");

  // Another program sets the rate: the engine plays at it, the window tells it.
  setRate("0.75");
  EXPECT_FLOAT_EQ(xmms_remote_get_speed(0), 0.75f);
  EXPECT_EQ(property("Rate"), "(<0.75>,)");
  EXPECT_EQ(w->noticeText, QString("Speed 0.75") + QChar(0x00D7));
  setRate("3.0"); // beyond the range: the nearest end
  EXPECT_FLOAT_EQ(xmms_remote_get_speed(0), 2.0f);
  // A rate of 0 is a pause, as MPRIS asks, not a speed; a negative one or not a number is
  // nothing.
  xmms_remote_play(0);
  ASSERT_TRUE(spinUntil([] { return xmms_remote_is_playing(0) != 0; }, 5000));
  spinFor(1200); // the window's poll sees it playing
  setRate("-1.0");
  setRate("nan");
  EXPECT_FLOAT_EQ(xmms_remote_get_speed(0), 2.0f);
  EXPECT_EQ(xmms_remote_is_paused(0), 0);
  setRate("0.0");
  EXPECT_FLOAT_EQ(xmms_remote_get_speed(0), 2.0f);
  EXPECT_TRUE(spinUntil([] { return xmms_remote_is_paused(0) != 0; }, 5000));
  EXPECT_TRUE(spinUntil([&] { return property("PlaybackStatus") == "(<'Paused'>,)"; }, 5000))
      << property("PlaybackStatus");

  // A change made in the window is announced.
  service->announceChanges();
  watcher.changes.clear();
  ASSERT_TRUE(key(Qt::Key_F4, true));
  key(Qt::Key_F4, false);
  service->announceChanges();
  EXPECT_TRUE(spinUntil([&] { return watcher.saw("Rate", 1.95); }, 4000));
  EXPECT_EQ(property("Rate"), "(<1.95>,)");
}

#include "mpris_test.moc"
