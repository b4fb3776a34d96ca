#include "app/power_events.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

namespace kev::app {
namespace {

const char* const kService = "org.freedesktop.login1";
const char* const kPath = "/org/freedesktop/login1";
const char* const kManager = "org.freedesktop.login1.Manager";

}  // namespace

SleepWatcher::SleepWatcher(QDBusConnection bus, QObject* parent)
    : QObject(parent), bus_(std::move(bus)) {
  if (!bus_.isConnected()) return;
  // QtDBus offers signal connections by signature only.
  bus_.connect(QLatin1String(kService), QLatin1String(kPath), QLatin1String(kManager),
               QStringLiteral("PrepareForSleep"), this, SLOT(onPrepareForSleep(bool)));
  takeInhibitor();
}

void SleepWatcher::takeInhibitor() {
  QDBusMessage call =
      QDBusMessage::createMethodCall(QLatin1String(kService), QLatin1String(kPath),
                                     QLatin1String(kManager), QStringLiteral("Inhibit"));
  call << QStringLiteral("sleep") << QStringLiteral("Kevatra")
       << QStringLiteral("Stop sampling before the machine sleeps") << QStringLiteral("delay");
  // Asynchronous: a slow login manager must not hold up the window.
  auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call), this);
  connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
    QDBusPendingReply<QDBusUnixFileDescriptor> reply = *w;
    if (reply.isValid()) inhibitor_ = reply.value();
    w->deleteLater();
    emit inhibitorChanged();
  });
}

void SleepWatcher::onPrepareForSleep(bool start) {
  if (start) {
    emit suspending();
    // Closing the descriptor lets the machine go to sleep.
    inhibitor_ = QDBusUnixFileDescriptor();
    emit inhibitorChanged();
  } else {
    takeInhibitor();
    emit resumed();
  }
}

}  // namespace kev::app
