#include "automation/dbus_front.h"

#include <QAction>
#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QTimer>

#include "automation/bus_members.h"
#include "editor/forms/guarded.h"
#include "editor/model/ui_services.h"

#include <climits>
#include <functional>
#include <vector>

namespace movinta::automation {

using namespace bus;

namespace {

// When the editor takes a member: a property's get only reads, its put is what kChanges says.
TMoment MomentOf(const Member& m, bool document, bool getting) {
  if (!getting && (m.Flags & kChanges)) return (m.Flags & kStopsPlayback) ? TMoment::StopsPlayback : TMoment::ChangesDocument;
  if (document || (m.Flags & kReads)) return TMoment::ReadsDocument;
  return TMoment::Any;
}

// A menu handler served by a bus client: a click calls its Execute without waiting for the answer
// (the call has no time limit of its own: a handler may take as long as it likes), and an error
// answer is shown to the user under the item's caption.
class BusMenuHandler : public addin::IIntfMenuHandler {
public:
  BusMenuHandler(QDBusConnection connection, QString service, QString path, QAction* item, QObject* context)
      : connection_(std::move(connection)), service_(std::move(service)), path_(std::move(path)), item_(item),
        context_(context) {}
  const QString& Service() const { return service_; }
  bool Execute(int tag) override {
    QDBusMessage call = QDBusMessage::createMethodCall(service_, path_, QStringLiteral("com.larkspur.Movinta.MenuHandler"),
                                                       QStringLiteral("Execute"));
    call << tag;
    // INT_MAX is "no timeout" to the bus library.
    auto* watcher = new QDBusPendingCallWatcher(connection_.asyncCall(call, INT_MAX), context_.data());
    pending_.append(watcher);
    const QPointer<QAction> item = item_;
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher,
                     editor::Guarded([item](QDBusPendingCallWatcher* w) {
                       w->deleteLater();
                       if (!w->isError()) return;
                       // A client that left answers nothing more: its calls end without a word.
                       const QDBusError::ErrorType type = w->error().type();
                       if (type == QDBusError::NoReply || type == QDBusError::Disconnected ||
                           type == QDBusError::ServiceUnknown)
                         return;
                       editor::ShowMessage(HandlerFailure(item ? item->text() : QString(), w->error().message()),
                                           editor::MessageType::Error);
                     }));
    return true;
  }
  // The client left: what it was asked and has not answered is dropped.
  void DropPending() {
    for (const QPointer<QDBusPendingCallWatcher>& w : std::as_const(pending_)) delete w.data();
    pending_.clear();
  }

  // The text of a handler's error, cut to what a message box can show.
  static QString HandlerFailure(QString caption, QString error) {
    constexpr int kCaptionChars = 60, kErrorChars = 400;
    caption.remove(QLatin1Char('&'));
    if (caption.size() > kCaptionChars) caption = caption.left(kCaptionChars) + QStringLiteral("...");
    if (error.size() > kErrorChars) error = error.left(kErrorChars) + QStringLiteral("...");
    return QStringLiteral("The add-in could not carry out \"%1\": %2").arg(caption, error);
  }

private:
  QDBusConnection connection_;
  QString service_;
  QString path_;
  QPointer<QAction> item_;
  QPointer<QObject> context_;
  QList<QPointer<QDBusPendingCallWatcher>> pending_;
};

// ---- values from clients

// Converts a property value to the property's type; false when it does not fit.
bool TakeValue(const QVariant& in, const char* type, QVariant& out) {
  const int id = in.metaType().id();
  switch (type[0]) {
    case 'b':
      if (id != QMetaType::Bool) return false;
      out = in;
      return true;
    case 's':
      if (id != QMetaType::QString) return false;
      out = in;
      return true;
    case 'i': {
      switch (id) {
        case QMetaType::Int: case QMetaType::Short: case QMetaType::UShort: case QMetaType::UChar:
        case QMetaType::UInt: case QMetaType::LongLong: case QMetaType::ULongLong: break;
        default: return false;
      }
      bool ok = false;
      const qlonglong v = in.toLongLong(&ok);
      if (id == QMetaType::ULongLong && in.toULongLong() > static_cast<qulonglong>(INT_MAX)) return false;
      if (!ok || v < INT_MIN || v > INT_MAX) return false;
      out = static_cast<int>(v);
      return true;
    }
    default: return false;
  }
}

}  // namespace

// ---- the bus object

struct TAutomationBus::Resolved {
  const Interface* Iface = nullptr;
  std::shared_ptr<TAutomationObject> Object;
  QStringList Children;
  bool Known = false;  // the path names a node of the tree
  QString Gone;        // the path named an object that no longer exists
};

TAutomationBus::TAutomationBus(std::shared_ptr<TGIFApplication> application, QObject* parent)
    : QDBusVirtualObject(parent), application_(std::move(application)) {
  activeDocument_ = std::make_shared<TActiveDocument>(application_->Host());
}

TAutomationBus::~TAutomationBus() {
  if (published_) connection_.unregisterObject(Root(), QDBusConnection::UnregisterTree);
}

bool TAutomationBus::Publish(QDBusConnection connection, QStringList* warnings) {
  auto warn = [warnings](const QString& text) {
    if (warnings) warnings->append(text);
  };
  if (!connection.isConnected()) {
    warn(QStringLiteral("No session bus: automation clients cannot reach the editor (%1)")
             .arg(connection.lastError().message()));
    return false;
  }
  if (!connection.registerVirtualObject(Root(), this, QDBusConnection::SubPath)) {
    warn(QStringLiteral("The automation objects could not be served: %1").arg(connection.lastError().message()));
    return false;
  }
  connection_ = connection;
  published_ = true;
  const QString instance =
      QStringLiteral("%1.instance%2").arg(QLatin1String(kServiceName)).arg(QCoreApplication::applicationPid());
  if (!connection.registerService(instance))
    warn(QStringLiteral("The bus name %1 could not be had: %2").arg(instance, connection.lastError().message()));
  if (!connection.registerService(QLatin1String(kServiceName)))
    warn(QStringLiteral("The bus name %1 is held by another editor; this one answers as %2")
             .arg(QLatin1String(kServiceName), instance));
  return true;
}

QString TAutomationBus::MenuPath(QAction* item, QWidget* place) {
  for (auto it = menus_.cbegin(); it != menus_.cend(); ++it)
    if (it.value().Item == item && it.value().Place == place) return MenusPath() + QStringLiteral("/m%1").arg(it.key());
  const quint64 n = nextMenu_++;
  menus_.insert(n, {item, place});
  return MenusPath() + QStringLiteral("/m%1").arg(n);
}

TAutomationBus::Resolved TAutomationBus::Resolve(const QString& path) const {
  Resolved r;
  IAutomationHost& host = application_->Host();
  auto serialOf = [](const QString& name, QChar prefix, bool& ok) -> std::uint64_t {
    ok = name.size() > 1 && name.front() == prefix;
    return ok ? name.mid(1).toULongLong(&ok) : 0;
  };
  if (path == Root()) {
    r.Known = true;
    r.Children = {QStringLiteral("Application"), QStringLiteral("Documents"), QStringLiteral("ActiveDocument"),
                  QStringLiteral("Menus")};
  } else if (path == ApplicationPath()) {
    r = {&ApplicationInterface(), application_, {}, true, {}};
  } else if (path == DocumentsPath()) {
    r = {&DocumentsInterface(), application_->DocumentCache(), {}, true, {}};
    for (int i = 0; i < host.Documents().Count(); ++i)
      r.Children << QStringLiteral("d%1").arg(host.Documents().At(i)->Serial);
  } else if (path == ActivePath()) {
    r = {&ActiveDocumentInterface(), activeDocument_, {QStringLiteral("Frames")}, true, {}};
  } else if (path == FramesPath()) {
    r = {&FramesInterface(), activeDocument_->Frames(), {}, true, {}};
    gif::TGIFImage& image = *editor::SharedImage();
    for (int i = 0; i < image.Images().GetCount(); ++i)
      r.Children << QStringLiteral("f%1").arg(image.Images().GetFrame(i)->Serial());
  } else if (path == MenusPath()) {
    r.Known = true;
    for (auto it = menus_.cbegin(); it != menus_.cend(); ++it)
      if (it.value().Item) r.Children << QStringLiteral("m%1").arg(it.key());
  } else if (path.startsWith(DocumentsPath() + QLatin1Char('/'))) {
    bool ok = false;
    const std::uint64_t serial = serialOf(path.mid(DocumentsPath().size() + 1), QLatin1Char('d'), ok);
    if (!ok) return r;
    auto document = std::make_shared<TDocumentCache>(host, serial);
    if (!document->Exists()) {
      r.Gone = QStringLiteral("The document %1 no longer exists").arg(path);
      return r;
    }
    r = {&DocumentCacheInterface(), document, {}, true, {}};
  } else if (path.startsWith(FramesPath() + QLatin1Char('/'))) {
    bool ok = false;
    const std::uint64_t serial = serialOf(path.mid(FramesPath().size() + 1), QLatin1Char('f'), ok);
    if (!ok) return r;
    auto frame = std::make_shared<TGIFFrame>(host, serial);
    if (!frame->Exists()) {
      // Frames are named by a number of their own, not by their place: a script that guessed a
      // name is told where names come from.
      r.Gone = QStringLiteral("No frame of the active document is named %1: it was removed or read back anew, or "
                              "the name was never given (Frames.Frame(index) and Frames.Items name the frames)")
                   .arg(path);
      return r;
    }
    r = {&FrameInterface(), frame, {}, true, {}};
  } else if (path.startsWith(MenusPath() + QLatin1Char('/'))) {
    bool ok = false;
    const std::uint64_t serial = serialOf(path.mid(MenusPath().size() + 1), QLatin1Char('m'), ok);
    if (!ok) return r;
    const MenuEntry entry = menus_.value(serial);
    if (!entry.Item) {
      r.Gone = QStringLiteral("The menu item %1 no longer exists").arg(path);
      return r;
    }
    r = {&MenuItemInterface(),
         std::make_shared<MenuObject>(std::make_shared<TIntfMenuItem>(entry.Item, &host, entry.Place)), {}, true, {}};
  }
  return r;
}

QString TAutomationBus::IntrospectionXml(const QString& path) const {
  const Resolved r = Resolve(path);
  if (!r.Known) return {};
  QString xml = QStringLiteral(
      "<!DOCTYPE node PUBLIC \"-//freedesktop//DTD D-BUS Object Introspection 1.0//EN\"\n"
      " \"http://www.freedesktop.org/standards/dbus/1.0/introspect.dtd\">\n<node>\n");
  xml += QLatin1String(kStandardInterfaces);
  if (r.Iface) xml += InterfaceXml(*r.Iface);
  for (const QString& child : r.Children) xml += QStringLiteral("  <node name=\"%1\"/>\n").arg(child);
  return xml + QStringLiteral("</node>\n");
}

QString TAutomationBus::introspect(const QString& path) const {
  const Resolved r = Resolve(path);
  return r.Iface ? InterfaceXml(*r.Iface) : QString();
}

// Every call of a bus client enters the editor here: whatever escapes a member is answered as an
// error, and the editor goes on serving.
bool TAutomationBus::handleMessage(const QDBusMessage& message, const QDBusConnection& connection) {
  try {
    editor::GuardedScope scope;
    return Dispatch(message, connection);
  } catch (...) {
    QString text = QStringLiteral("Unknown error");
    try {
      throw;
    } catch (const std::bad_alloc&) {
      text = QStringLiteral("Out of memory");
    } catch (const std::exception& e) {
      text = QString::fromLocal8Bit(e.what());
    } catch (...) {
    }
    try {
      if (message.isReplyRequired())
        QDBusConnection(connection).send(
            message.createErrorReply(QLatin1String(kErrorPrefix) + QLatin1String(kErrorFailed), text));
    } catch (...) {
      editor::ReportCurrentException();
    }
    return true;
  }
}

bool TAutomationBus::Dispatch(const QDBusMessage& message, const QDBusConnection& connection) {
  if (message.type() != QDBusMessage::MethodCallMessage) return false;
  QDBusConnection bus = connection;
  auto send = [&](const QDBusMessage& reply) {
    if (!message.isReplyRequired()) return true;
    bus.send(reply);
    return true;
  };
  auto error = [&](const QString& name, const QString& text) { return send(message.createErrorReply(name, text)); };
  auto dbusError = [&](const char* name, const QString& text) {
    return error(QStringLiteral("org.freedesktop.DBus.Error.") + QLatin1String(name), text);
  };

  const QString path = message.path();
  const QString iface = message.interface();
  const QString member = message.member();
  const Resolved r = Resolve(path);
  if (!r.Known) {
    if (!r.Gone.isEmpty()) return dbusError("UnknownObject", r.Gone);
    return dbusError("UnknownObject", QStringLiteral("No such object path '%1'").arg(path));
  }

  if (iface == QLatin1String("org.freedesktop.DBus.Introspectable") && member == QLatin1String("Introspect"))
    return send(message.createReply(IntrospectionXml(path)));
  if (iface == QLatin1String("org.freedesktop.DBus.Peer")) {
    if (member == QLatin1String("Ping")) return send(message.createReply());
    return dbusError("UnknownMethod", QStringLiteral("No such method '%1'").arg(member));
  }

  IAutomationHost& host = application_->Host();
  auto run = [&](const Member& m, const std::function<QDBusMessage()>& body, bool getting = false) -> bool {
    try {
      CheckMoment(host, MomentOf(m, r.Iface && r.Iface->Document, getting));
      return send(body());
    } catch (const AutomationError& e) {
      if (QLatin1String(e.Kind()) == QLatin1String(kErrorUnknownObject)) return dbusError("UnknownObject", e.Message());
      // A value the call cannot take is a bad argument, as the bus names it.
      if (QLatin1String(e.Kind()) == QLatin1String(kErrorInvalidValue)) return dbusError("InvalidArgs", e.Message());
      return error(QLatin1String(kErrorPrefix) + QLatin1String(e.Kind()), e.Message());
    } catch (const std::exception& e) {
      return error(QLatin1String(kErrorPrefix) + QLatin1String(kErrorFailed), QString::fromStdString(e.what()));
    }
  };

  if (iface == QLatin1String("org.freedesktop.DBus.Properties")) {
    const QVariantList args = message.arguments();
    const QString sig = message.signature();
    if (!r.Iface) {
      if (member == QLatin1String("GetAll") && sig == QLatin1String("s")) return send(message.createReply(QVariantMap()));
      return dbusError("UnknownInterface", QStringLiteral("The object %1 has no properties").arg(path));
    }
    const QString wanted = args.value(0).toString();
    if (!wanted.isEmpty() && wanted != QLatin1String(r.Iface->Name))
      return dbusError("UnknownInterface", QStringLiteral("No such interface '%1' at %2").arg(wanted, path));
    if (member == QLatin1String("GetAll") && sig == QLatin1String("s")) {
      Member all{"GetAll", false, "", "", "", 0, 0, {}, {}};
      for (const Member& m : r.Iface->Members)
        if (m.Property && (m.Flags & kReads)) all.Flags |= kReads;
      return run(all, [&] {
        QVariantMap values;
        for (const Member& m : r.Iface->Members)
          if (m.Property) values.insert(QLatin1String(m.Name), m.Call(*r.Object, {}).value(0));
        return message.createReply(QVariant::fromValue(values));
      });
    }
    if ((member == QLatin1String("Get") && sig == QLatin1String("ss")) ||
        (member == QLatin1String("Set") && sig == QLatin1String("ssv"))) {
      const QString name = args.value(1).toString();
      const Member* m = r.Iface->Find(name, true);
      if (!m) return dbusError("UnknownProperty", QStringLiteral("No such property '%1' in '%2'").arg(name, QLatin1String(r.Iface->Name)));
      if (member == QLatin1String("Get")) {
        return run(*m, [&] {
          return message.createReply(QVariant::fromValue(QDBusVariant(m->Call(*r.Object, {}).value(0))));
        }, true);
      }
      if (!(m->Flags & kWritable) || !m->Set)
        return dbusError("PropertyReadOnly", QStringLiteral("The property '%1' cannot be set").arg(name));
      QVariant value;
      if (!TakeValue(args.value(2).value<QDBusVariant>().variant(), m->Signature, value))
        return dbusError("InvalidArgs",
                         QStringLiteral("The property '%1' takes a value of type '%2'").arg(name, QLatin1String(m->Signature)));
      return run(*m, [&] {
        m->Set(*r.Object, value);
        return message.createReply();
      });
    }
    return dbusError("UnknownMethod", QStringLiteral("No such method '%1' with signature '%2'").arg(member, sig));
  }

  if (!r.Iface || (!iface.isEmpty() && iface != QLatin1String(r.Iface->Name)))
    return dbusError("UnknownInterface", QStringLiteral("No such interface '%1' at %2").arg(iface, path));
  const Member* m = r.Iface->Find(member, false);
  if (!m) return dbusError("UnknownMethod", QStringLiteral("No such method '%1' in '%2'").arg(member, QLatin1String(r.Iface->Name)));
  if (message.signature() != QLatin1String(m->Signature))
    return dbusError("InvalidArgs", QStringLiteral("'%1' takes arguments '%2', not '%3'")
                                        .arg(member, QLatin1String(m->Signature), message.signature()));
  const QVariantList args = message.arguments();

  if (m->Flags & kCaller) {
    // SetMenuHandler: the handler lives at a path of the caller, and goes when the caller leaves.
    auto& object = static_cast<MenuObject&>(*r.Object);
    const QString handlerPath = args.value(0).value<QDBusObjectPath>().path();
    const QString caller = message.service();
    return run(*m, [&] {
      std::shared_ptr<addin::IIntfMenuHandler> handler;
      if (handlerPath != QLatin1String("/") && !caller.isEmpty())
        handler = std::make_shared<BusMenuHandler>(bus, caller, handlerPath, object.Item->Item(), this);
      object.Item->SetMenuHandler(handler);
      if (handler) WatchHandler(bus, qobject_cast<TAutomatedMenu*>(object.Item->Item()), caller);
      return message.createReply();
    });
  }
  if (m->Flags & kDelayed) {
    // Wait: the reply goes out from a timer, so the editor goes on serving meanwhile.
    const int ms = args.value(0).toInt();
    if (ms < 0)
      return dbusError("InvalidArgs", QStringLiteral("The time to wait must not be negative, not %1").arg(ms));
    message.setDelayedReply(true);
    const QDBusMessage reply = message.createReply();
    QTimer::singleShot(ms, this, editor::Guarded([bus, reply]() mutable { bus.send(reply); }));
    return true;
  }
  if (m->Flags & kAfterReply) {
    try {
      CheckMoment(host, MomentOf(*m, r.Iface->Document, false));
    } catch (const AutomationError& e) {
      return error(QLatin1String(kErrorPrefix) + QLatin1String(e.Kind()), e.Message());
    }
    send(message.createReply());
    std::shared_ptr<TAutomationObject> object = r.Object;
    const Getter call = m->Call;
    QTimer::singleShot(0, this, editor::Guarded([object, call] { call(*object, {}); }));
    return true;
  }
  return run(*m, [&] {
    QVariantList out = m->Call(*r.Object, args);
    if (m->Flags & kMenuItem)
      out = {PathValue(MenuPath(qobject_cast<QAction*>(out.value(0).value<QObject*>()),
                                qobject_cast<QWidget*>(out.value(1).value<QObject*>())))};
    return message.createReply(out);
  });
}

void TAutomationBus::WatchHandler(const QDBusConnection& connection, TAutomatedMenu* item, const QString& client) {
  if (!watcher_) {
    watcher_ = new QDBusServiceWatcher(QString(), connection, QDBusServiceWatcher::WatchForUnregistration, this);
    connect(watcher_, &QDBusServiceWatcher::serviceUnregistered, this, editor::Guarded(this, &TAutomationBus::ClientLeft));
  }
  handled_.append(item);
  watcher_->addWatchedService(client);
  // A client that left before the watch began would never be noticed.
  if (QDBusConnectionInterface* daemon = connection.interface(); daemon && !daemon->isServiceRegistered(client))
    ClientLeft(client);
}

void TAutomationBus::ClientLeft(const QString& client) {
  for (const QPointer<TAutomatedMenu>& item : std::as_const(handled_)) {
    if (!item) continue;
    auto* handler = dynamic_cast<BusMenuHandler*>(item->Handler().get());
    if (handler && handler->Service() == client) {
      handler->DropPending();
      item->SetHandler(nullptr);
    }
  }
  handled_.removeIf([](const QPointer<TAutomatedMenu>& item) {
    return !item || !dynamic_cast<BusMenuHandler*>(item->Handler().get());
  });
  if (watcher_) watcher_->removeWatchedService(client);
}

}  // namespace movinta::automation
