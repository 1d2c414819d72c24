#include "remoteplayer.h"

#include "core/m3u.h"
#include "mprisservice.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDir>
#include <QTemporaryFile>
#include <QUrl>
#include <xmms/xmmsctrl.h>

namespace remoteplayer {

namespace {

// Changing the playlist restarts the running player's engine; on a busy machine that takes a
// few seconds.
constexpr int kCallTimeoutMs = 60000;

bool call(const char *interface, const char *method, const QVariantList &args, QString *error) {
  QDBusMessage message = QDBusMessage::createMethodCall(
      MprisService::kServiceName, MprisService::kObjectPath, interface, method);
  message.setArguments(args);
  const QDBusMessage reply =
      QDBusConnection::sessionBus().call(message, QDBus::Block, kCallTimeoutMs);
  if (reply.type() == QDBusMessage::ErrorMessage) {
    if (error)
      *error = reply.errorMessage();
    return false;
  }
  return true;
}

} // namespace

bool running() {
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected() || !bus.interface())
    return false;
  if (!bus.interface()->isServiceRegistered(MprisService::kServiceName).value())
    return false;
  return xmms_remote_is_running(0);
}

bool open(const QStringList &songs, QString *error) {
  if (songs.isEmpty())
    return call("org.mpris.MediaPlayer2", "Raise", {}, error);
  if (songs.size() == 1)
    return call("org.mpris.MediaPlayer2.Player", "OpenUri",
                {QUrl::fromLocalFile(songs.first()).toString()}, error);
  // Several songs travel as a playlist file, which the player reads before it answers.
  const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
  QTemporaryFile list((runtime.isEmpty() ? QDir::tempPath() : runtime) + "/velora-open-XXXXXX.m3u");
  if (!list.open() || list.write(m3u::format(songs)) < 0 || !list.flush()) {
    if (error)
      *error = QStringLiteral("cannot write a playlist file in %1").arg(QDir::tempPath());
    return false;
  }
  return call("org.mpris.MediaPlayer2.Player", "OpenUri",
              {QUrl::fromLocalFile(list.fileName()).toString()}, error);
}

} // namespace remoteplayer
