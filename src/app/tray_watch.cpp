#include "app/tray_watch.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusServiceWatcher>
#include <QDBusVariant>

#include "ui/x11_window.h"

namespace kev::app {
namespace {

const QString kWatcher = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString kWatcherPath = QStringLiteral("/StatusNotifierWatcher");
constexpr int kFirstAnswerMs = 2000;

QDBusMessage HostQuestion() {
  QDBusMessage m = QDBusMessage::createMethodCall(kWatcher, kWatcherPath,
                                                  QStringLiteral("org.freedesktop.DBus.Properties"),
                                                  QStringLiteral("Get"));
  m << kWatcher << QStringLiteral("IsStatusNotifierHostRegistered");
  return m;
}

}  // namespace

TrayWatch::TrayWatch(QDBusConnection bus, QObject* parent) : QObject(parent), bus_(std::move(bus)) {
  if (!bus_.isConnected()) return;
  auto* names = new QDBusServiceWatcher(kWatcher, bus_, QDBusServiceWatcher::WatchForOwnerChange,
                                        this);
  connect(names, &QDBusServiceWatcher::serviceOwnerChanged, this, &TrayWatch::askHost);
  for (const char* signal : {"StatusNotifierHostRegistered", "StatusNotifierHostUnregistered"}) {
    bus_.connect(kWatcher, kWatcherPath, kWatcher, QLatin1String(signal), this, SLOT(askHost()));
  }
  // The start-up needs the answer before it decides how the window lives.
  takeAnswer(bus_.call(HostQuestion(), QDBus::Block, kFirstAnswerMs));
}

bool TrayWatch::Available() const { return host_ || ui::X11TrayPresent(); }

void TrayWatch::askHost() {
  auto* pending = new QDBusPendingCallWatcher(bus_.asyncCall(HostQuestion()), this);
  connect(pending, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
    takeAnswer(w->reply());
    w->deleteLater();
    emit changed();
  });
}

void TrayWatch::takeAnswer(const QDBusMessage& reply) {
  host_ = reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty() &&
          qvariant_cast<QDBusVariant>(reply.arguments().first()).variant().toBool();
}

}  // namespace kev::app
