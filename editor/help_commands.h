// The program's help and the Help menu. The help is a set of HTML pages installed with the program
// in the "help" folder of the shared data folder: a contents page and one page for each help
// context a dialog carries. Pages open in the user's browser (through the URL opener, which tests
// replace); a page that is not there is an error message. F1 opens the contents in the main window
// and in a dialog without a page of its own, and the page of the dialog in a dialog that has one,
// as does the dialog's Help button. The menu's web items lead to the maker's web site.
#pragma once

#include <QList>
#include <QString>

#include <functional>

class QAbstractButton;
class QAction;
class QMenu;
class QMenuBar;
class QObject;
class QWidget;

namespace movinta::editor {

namespace help_contexts {
inline constexpr int kContents = 0;
// The wizards dialog: 300 plus its mode (welcome, new animation, optimisation, tips).
inline constexpr int kWizards = 300;
inline constexpr int kWizardWelcome = 300;
inline constexpr int kWizardNewAnimation = 301;
inline constexpr int kWizardOptimize = 302;
inline constexpr int kWizardTips = 303;
inline constexpr int kExports = 400;       // the image exporter and the other exports
inline constexpr int kImageBrowser = 401;
}  // namespace help_contexts

// The folder of the help pages.
QString HelpFolder();
// The page of a help context (a file name in the help folder); empty for a context without one.
QString HelpPageName(int context);
// Every context that has a page, the contents first.
QList<int> HelpPageContexts();
// Opens the page of the context in the browser; a context without a page, or a page missing from
// the help folder, is an error message. True when the page went to the browser.
bool ShowHelpContext(int context);
inline bool ShowHelpContents() { return ShowHelpContext(help_contexts::kContents); }

// Gives the dialog its help: F1 anywhere in it, and the button when one is given, open the page of
// the dialog's help context, which SetDialogHelpContext may change while it runs.
void InstallDialogHelp(QWidget& dialog, int context, QAbstractButton* button = nullptr);
void SetDialogHelpContext(QWidget& dialog, int context);
int DialogHelpContext(const QWidget& dialog);

// The maker's web pages the Help menu opens: an item with tag 1 the sales pages, 2 the support
// pages, any other tag the home page; Live Help its own page.
QString MakerWebLink(int tag);
QString LiveHelpLink();

// The Help menu of the main window, in its order: Contents (F1), Tip of the Day, Welcome, the web
// items, About. Add-ins put their information item before About.
struct HelpMenuHandlers {
  std::function<void()> Tips;
  std::function<void()> Welcome;
  std::function<void()> About;
};
struct HelpMenu {
  QMenu* Menu = nullptr;
  QAction* HelpContents = nullptr;
  QAction* mniHelpTips = nullptr;
  QAction* mniHelpWelcome = nullptr;
  QAction* mniHelpHome = nullptr;
  QAction* mniHelpOrder = nullptr;
  QAction* mniHelpSupport = nullptr;
  QAction* HelpLiveHelp = nullptr;
  QAction* mniHelpAbout = nullptr;
};
HelpMenu BuildHelpMenu(QMenuBar& bar, QObject& owner, const HelpMenuHandlers& handlers);

// The web items' handler: opens the maker's page for the item's tag.
void mniHelpHomeClick(const QAction& item);
void HelpLiveHelpExecute();

}  // namespace movinta::editor
