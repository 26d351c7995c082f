// The automation objects on the session bus. One virtual object serves the whole tree under
// /com/larkspur/Movinta from a table of members per interface (automation/bus_members.h):
// methods, properties through org.freedesktop.DBus.Properties (a setter can fail with an error
// reply), and introspection generated from the same tables. Documents and frames are named by
// their serials, so a path outlives nothing: once its target is gone it answers UnknownObject.
#pragma once

#include "automation/automation_objects.h"

#include <QDBusConnection>
#include <QDBusVirtualObject>
#include <QHash>

class QDBusServiceWatcher;

namespace movinta::automation {

inline constexpr const char* kServiceName = "com.larkspur.Movinta";
inline constexpr const char* kRootPath = "/com/larkspur/Movinta";
inline constexpr const char* kErrorPrefix = "com.larkspur.Movinta.Error.";

class TAutomationBus : public QDBusVirtualObject {
  Q_OBJECT
public:
  explicit TAutomationBus(std::shared_ptr<TGIFApplication> application, QObject* parent = nullptr);
  ~TAutomationBus() override;

  // Serves the objects on the connection and asks for the bus names: com.larkspur.Movinta when
  // no other editor holds it, and com.larkspur.Movinta.instance<pid>. What could not be had is
  // described in warnings; false when the objects could not be served at all.
  bool Publish(QDBusConnection connection, QStringList* warnings);

  bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override;
  QString introspect(const QString& path) const override;

  // The XML a client receives for the path, children included; empty for an unknown path.
  QString IntrospectionXml(const QString& path) const;

private:
  struct Resolved;
  Resolved Resolve(const QString& path) const;
  // Serves one call; handleMessage answers whatever escapes it.
  bool Dispatch(const QDBusMessage& message, const QDBusConnection& connection);
  // One path per item in each menu that shows it.
  QString MenuPath(QAction* item, QWidget* place);
  // Drops the handlers a bus client served once it leaves the bus.
  void WatchHandler(const QDBusConnection& connection, TAutomatedMenu* item, const QString& client);
  void ClientLeft(const QString& client);

  std::shared_ptr<TGIFApplication> application_;
  std::shared_ptr<TActiveDocument> activeDocument_;
  struct MenuEntry {
    QPointer<QAction> Item;
    QPointer<QWidget> Place;
  };
  QHash<quint64, MenuEntry> menus_;
  quint64 nextMenu_ = 1;
  QDBusConnection connection_{QString()};
  bool published_ = false;
  QDBusServiceWatcher* watcher_ = nullptr;
  QList<QPointer<TAutomatedMenu>> handled_;
};

}  // namespace movinta::automation
