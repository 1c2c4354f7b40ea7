#include "portal_shortcuts.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <utility>

namespace {

const QString kPortalService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPortalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kShortcutsInterface = QStringLiteral("org.freedesktop.portal.GlobalShortcuts");
const QString kRequestInterface = QStringLiteral("org.freedesktop.portal.Request");
const QString kShortcutId = QStringLiteral("push-to-talk");

// One entry of the shortcut list the portal takes: (sa{sv}).
struct PortalShortcut {
  QString id;
  QVariantMap properties;
};

}  // namespace

Q_DECLARE_METATYPE(PortalShortcut)

namespace {

QDBusArgument& operator<<(QDBusArgument& argument, const PortalShortcut& shortcut) {
  argument.beginStructure();
  argument << shortcut.id << shortcut.properties;
  argument.endStructure();
  return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, PortalShortcut& shortcut) {
  argument.beginStructure();
  argument >> shortcut.id >> shortcut.properties;
  argument.endStructure();
  return argument;
}

}  // namespace

namespace marvok::talksrv {

PortalShortcuts::PortalShortcuts(QDBusConnection bus, QString preferred_trigger, OnChange on_change,
                                 OnUnavailable on_unavailable)
    : bus_(std::move(bus)),
      preferred_trigger_(std::move(preferred_trigger)),
      on_change_(std::move(on_change)),
      on_unavailable_(std::move(on_unavailable)) {
  qDBusRegisterMetaType<PortalShortcut>();
  qDBusRegisterMetaType<QList<PortalShortcut>>();
}

void PortalShortcuts::start() {
  if (!bus_.isConnected()) {
    fail(QStringLiteral("no D-Bus session bus"));
    return;
  }
  const QVariantMap options{{QStringLiteral("handle_token"), QStringLiteral("talksrv_session")},
                            {QStringLiteral("session_handle_token"), QStringLiteral("talksrv")}};
  request(QStringLiteral("CreateSession"), {options}, QStringLiteral("talksrv_session"),
          SLOT(session_created(uint, QVariantMap)));
}

void PortalShortcuts::request(const QString& method, const QVariantList& arguments, const QString& token,
                              const char* slot) {
  // The answer goes to a path made from our bus name and the token; listen
  // there before asking, or a quick answer is missed.
  QString sender = bus_.baseService().mid(1);
  sender.replace(QLatin1Char('.'), QLatin1Char('_'));
  const QString path = QStringLiteral("/org/freedesktop/portal/desktop/request/%1/%2").arg(sender, token);
  bus_.connect(kPortalService, path, kRequestInterface, QStringLiteral("Response"), this, slot);

  QDBusMessage call = QDBusMessage::createMethodCall(kPortalService, kPortalPath, kShortcutsInterface, method);
  call.setArguments(arguments);
  auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call), this);
  connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* finished) {
    finished->deleteLater();
    if (finished->isError())
      fail(QStringLiteral("the desktop portal has no global shortcuts (%1)").arg(finished->error().message()));
  });
}

void PortalShortcuts::session_created(uint response, const QVariantMap& results) {
  if (response != 0) {
    fail(QStringLiteral("the desktop portal refused a shortcut session"));
    return;
  }
  const QVariant handle = results.value(QStringLiteral("session_handle"));
  session_ = handle.canConvert<QDBusObjectPath>() ? handle.value<QDBusObjectPath>().path() : handle.toString();
  bus_.connect(kPortalService, kPortalPath, kShortcutsInterface, QStringLiteral("Activated"), this,
               SLOT(activated(QDBusObjectPath, QString)));
  bus_.connect(kPortalService, kPortalPath, kShortcutsInterface, QStringLiteral("Deactivated"), this,
               SLOT(deactivated(QDBusObjectPath, QString)));

  const QVariantMap properties{{QStringLiteral("description"), QStringLiteral("Parler (push-to-talk)")},
                               {QStringLiteral("preferred_trigger"), preferred_trigger_}};
  const QList<PortalShortcut> shortcuts{{kShortcutId, properties}};
  const QVariantMap options{{QStringLiteral("handle_token"), QStringLiteral("talksrv_bind")}};
  request(QStringLiteral("BindShortcuts"),
          {QVariant::fromValue(QDBusObjectPath(session_)), QVariant::fromValue(shortcuts), QString(), options},
          QStringLiteral("talksrv_bind"), SLOT(shortcuts_bound(uint, QVariantMap)));
}

void PortalShortcuts::shortcuts_bound(uint response, const QVariantMap& /*results*/) {
  if (response != 0) fail(QStringLiteral("the push-to-talk shortcut was refused"));
}

void PortalShortcuts::activated(const QDBusObjectPath& session, const QString& shortcut) {
  if (session.path() == session_ && shortcut == kShortcutId) on_change_(Report::Talk);
}

void PortalShortcuts::deactivated(const QDBusObjectPath& session, const QString& shortcut) {
  if (session.path() == session_ && shortcut == kShortcutId) on_change_(Report::Release);
}

void PortalShortcuts::fail(const QString& reason) {
  if (failed_) return;
  failed_ = true;
  on_unavailable_(reason);
}

}  // namespace marvok::talksrv
