#include "adaptors.h"

#include "core/playable.h"
#include "mprisservice.h"

MprisRootAdaptor::MprisRootAdaptor(MprisService *s) : QDBusAbstractAdaptor(s), service(s) {}

QStringList MprisRootAdaptor::supportedMimeTypes() const { return playable::mimeTypes(); }
void MprisRootAdaptor::Raise() { service->raise(); }
void MprisRootAdaptor::Quit() { service->quit(); }

MprisPlayerAdaptor::MprisPlayerAdaptor(MprisService *s) : QDBusAbstractAdaptor(s), service(s) {
  connect(service, &MprisService::seeked, this, &MprisPlayerAdaptor::Seeked);
}

QString MprisPlayerAdaptor::playbackStatus() const { return service->playbackStatus(); }
QString MprisPlayerAdaptor::loopStatus() const { return service->loopStatus(); }
void MprisPlayerAdaptor::setLoopStatus(const QString &status) { service->setLoopStatus(status); }
double MprisPlayerAdaptor::rate() const { return service->rate(); }
void MprisPlayerAdaptor::setRate(double value) { service->setRate(value); }
bool MprisPlayerAdaptor::shuffle() const { return service->shuffle(); }
void MprisPlayerAdaptor::setShuffle(bool on) { service->setShuffle(on); }
QVariantMap MprisPlayerAdaptor::metadata() const { return service->metadata(); }
double MprisPlayerAdaptor::volume() const { return service->volume(); }
void MprisPlayerAdaptor::setVolume(double value) { service->setVolume(value); }
qlonglong MprisPlayerAdaptor::position() const { return service->position(); }
bool MprisPlayerAdaptor::canSeek() const { return service->canSeek(); }

void MprisPlayerAdaptor::Play() { service->play(); }
void MprisPlayerAdaptor::Pause() { service->pause(); }
void MprisPlayerAdaptor::PlayPause() { service->playPause(); }
void MprisPlayerAdaptor::Stop() { service->stop(); }
void MprisPlayerAdaptor::Next() { service->next(); }
void MprisPlayerAdaptor::Previous() { service->previous(); }
void MprisPlayerAdaptor::Seek(qlonglong offset) { service->seek(offset); }
void MprisPlayerAdaptor::SetPosition(const QDBusObjectPath &trackId, qlonglong position) {
  service->setPosition(trackId, position);
}
void MprisPlayerAdaptor::OpenUri(const QString &uri) { service->openUri(uri); }
