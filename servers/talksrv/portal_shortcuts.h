#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QVariantMap>
#include <functional>

#include "companion_server.h"

class QDBusObjectPath;
class QDBusPendingCallWatcher;

namespace marvok::talksrv {

// The push-to-talk key on Wayland, where no program may grab keys: the
// desktop portal binds a global shortcut, with the member's consent, and
// says when it is pressed and released.
class PortalShortcuts final : public QObject {
  Q_OBJECT

 public:
  using OnChange = std::function<void(Report)>;
  // Why the portal cannot give the shortcut; said at most once.
  using OnUnavailable = std::function<void(const QString& reason)>;

  PortalShortcuts(QDBusConnection bus, QString preferred_trigger, OnChange on_change, OnUnavailable on_unavailable);

  // Asks for a session, then for the shortcut; the answers come later on
  // the event loop.
  void start();

 private slots:
  void session_created(uint response, const QVariantMap& results);
  void shortcuts_bound(uint response, const QVariantMap& results);
  void activated(const QDBusObjectPath& session, const QString& shortcut);
  void deactivated(const QDBusObjectPath& session, const QString& shortcut);

 private:
  // Calls a portal method whose answer comes as a Response signal to `slot`.
  void request(const QString& method, const QVariantList& arguments, const QString& token, const char* slot);
  void fail(const QString& reason);

  QDBusConnection bus_;
  QString preferred_trigger_;
  OnChange on_change_;
  OnUnavailable on_unavailable_;
  QString session_;
  bool failed_ = false;
};

}  // namespace marvok::talksrv
