#include "editor/help_commands.h"

#include "editor/forms/guarded.h"
#include "editor/model/string_tables.h"
#include "editor/model/ui_services.h"
#include "editor/qt_services.h"
#include "platform/program_folders/program_folders.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QUrl>
#include <QWidget>

namespace movinta::editor {

namespace {
constexpr const char* kHelpFolder = "help";
constexpr const char* kDialogHelpProperty = "dialogHelpContext";
constexpr const char* kTagProperty = "tag";
constexpr const char* kPageMissing =
    "The help page \"%1\" could not be found. GIF Movinta installs its help in %2; installing the program again "
    "brings it back.";
constexpr const char* kNoPage = "There is no help for this topic (help context %1).";

struct HelpPage {
  int Context;
  const char* File;
};
constexpr HelpPage kPages[] = {
    {help_contexts::kContents, "index.html"},
    {help_contexts::kWizardWelcome, "welcome.html"},
    {help_contexts::kWizardNewAnimation, "new-animation-wizard.html"},
    {help_contexts::kWizardOptimize, "optimization-wizard.html"},
    {help_contexts::kWizardTips, "tips.html"},
    {help_contexts::kExports, "exports.html"},
    {help_contexts::kImageBrowser, "image-browser.html"},
};

// F1 inside the dialog. It claims the key before any shortcut of the program can take it, so a
// dialog's F1 never opens the contents instead of the dialog's page.
class DialogHelpKey : public QObject {
public:
  explicit DialogHelpKey(QWidget& dialog) : QObject(&dialog), dialog_(dialog) {}

  bool eventFilter(QObject* watched, QEvent* event) override {
    const QEvent::Type type = event->type();
    if (type != QEvent::ShortcutOverride && type != QEvent::KeyPress) return QObject::eventFilter(watched, event);
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() != Qt::Key_F1 || key->modifiers() != Qt::NoModifier) return QObject::eventFilter(watched, event);
    event->accept();
    if (type == QEvent::KeyPress) ShowHelpContext(DialogHelpContext(dialog_));
    return true;
  }

private:
  QWidget& dialog_;
};

// F1 in a dialog without a page of its own (Options, About, Plugin Info, a message box): the
// contents, as the main window's F1. A dialog with a page of its own answers the key itself.
class ContentsHelpKey : public QObject {
public:
  using QObject::QObject;

  bool eventFilter(QObject* watched, QEvent* event) override {
    const QEvent::Type type = event->type();
    if (type != QEvent::ShortcutOverride && type != QEvent::KeyPress) return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() != Qt::Key_F1 || key->modifiers() != Qt::NoModifier) return false;
    auto* widget = qobject_cast<QWidget*>(watched);
    QWidget* window = widget ? widget->window() : nullptr;
    if (!qobject_cast<QDialog*>(window) || window->property(kDialogHelpProperty).isValid()) return false;
    event->accept();
    if (type == QEvent::KeyPress) {
      try {
        ShowHelpContents();
      } catch (...) {
        ReportCurrentException();
      }
    }
    return true;
  }
};
}  // namespace

QString HelpFolder() { return QDir(platform::SharedDataFolder()).filePath(QString::fromLatin1(kHelpFolder)); }

QString HelpPageName(int context) {
  for (const HelpPage& page : kPages)
    if (page.Context == context) return QString::fromLatin1(page.File);
  return QString();
}

QList<int> HelpPageContexts() {
  QList<int> out;
  for (const HelpPage& page : kPages) out.append(page.Context);
  return out;
}

bool ShowHelpContext(int context) {
  const QString name = HelpPageName(context);
  if (name.isEmpty()) {
    ShowMessage(Tr(kNoPage).arg(context), MessageType::Error, kOk);
    return false;
  }
  const QString path = QDir(HelpFolder()).filePath(name);
  if (!QFileInfo(path).isFile()) {
    ShowMessage(Tr(kPageMissing).arg(name, QDir::toNativeSeparators(HelpFolder())), MessageType::Error, kOk);
    return false;
  }
  return RunShellUrl(QUrl::fromLocalFile(path));
}

void InstallDialogHelp(QWidget& dialog, int context, QAbstractButton* button) {
  SetDialogHelpContext(dialog, context);
  dialog.installEventFilter(new DialogHelpKey(dialog));
  if (button) {
    QWidget* owner = &dialog;
    QObject::connect(button, &QAbstractButton::clicked, owner, Guarded([owner] { ShowHelpContext(DialogHelpContext(*owner)); }));
  }
}

void SetDialogHelpContext(QWidget& dialog, int context) { dialog.setProperty(kDialogHelpProperty, context); }

int DialogHelpContext(const QWidget& dialog) { return dialog.property(kDialogHelpProperty).toInt(); }

QString MakerWebLink(int tag) {
  const QString site = QString::fromLatin1(kMakerWebPage);
  switch (tag) {
    case 1: return site + QStringLiteral("sales/");
    case 2: return site + QStringLiteral("help/");
  }
  return site;
}

QString LiveHelpLink() { return QString::fromLatin1(kMakerWebPage) + QStringLiteral("help/live/"); }

void mniHelpHomeClick(const QAction& item) { RunShellFile(MakerWebLink(item.property(kTagProperty).toInt())); }

void HelpLiveHelpExecute() { RunShellFile(LiveHelpLink()); }

HelpMenu BuildHelpMenu(QMenuBar& bar, QObject& owner, const HelpMenuHandlers& handlers) {
  HelpMenu m;
  m.Menu = bar.addMenu(QStringLiteral("&Help"));
  m.Menu->setObjectName(QStringLiteral("mnuHelp"));
  auto add = [&m, &owner](const char* name, const char* caption, const char* hint, const std::function<void()>& run) {
    QAction* item = m.Menu->addAction(QString::fromLatin1(caption));
    if (run) QObject::connect(item, &QAction::triggered, &owner, Guarded(run));
    item->setObjectName(QString::fromLatin1(name));
    item->setStatusTip(QString::fromLatin1(hint));
    return item;
  };
  m.HelpContents = add("HelpContents", "&Contents...", "Shows the contents of the help", [] { ShowHelpContents(); });
  qApp->installEventFilter(new ContentsHelpKey(&owner));
  m.HelpContents->setShortcut(QKeySequence::HelpContents);
  // Everywhere in the program but in a dialog, which opens its own page.
  m.HelpContents->setShortcutContext(Qt::ApplicationShortcut);
  m.Menu->addSeparator();
  m.mniHelpTips = add("mniHelpTips", "&Tip of the Day...", "Shows a tip on using GIF Movinta", handlers.Tips);
  m.mniHelpWelcome = add("mniHelpWelcome", "&Welcome...", "Shows the welcome dialog", handlers.Welcome);
  m.Menu->addSeparator();
  struct WebItem {
    const char* Name;
    const char* Caption;
    const char* Hint;
    int Tag;
    QAction** Item;
  };
  const WebItem web[] = {
      {"mniHelpHome", "Larkspur Software &Home Page", "Visits the maker's home page", 0, &m.mniHelpHome},
      {"mniHelpOrder", "&Order GIF Movinta Online", "Orders GIF Movinta on the maker's web site", 1, &m.mniHelpOrder},
      {"mniHelpSupport", "&Support Online", "Visits the support pages on the maker's web site", 2, &m.mniHelpSupport},
  };
  for (const WebItem& w : web) {
    QAction* item = add(w.Name, w.Caption, w.Hint, nullptr);
    item->setProperty(kTagProperty, w.Tag);
    QObject::connect(item, &QAction::triggered, &owner, Guarded([item] { mniHelpHomeClick(*item); }));
    *w.Item = item;
  }
  m.HelpLiveHelp = add("HelpLiveHelp", "Live Help Online", "Talks to the maker's support staff online",
                       [] { HelpLiveHelpExecute(); });
  m.Menu->addSeparator();
  m.mniHelpAbout = add("mniHelpAbout", "&About GIF Movinta...", "Shows the program's version and maker", handlers.About);
  return m;
}

}  // namespace movinta::editor
