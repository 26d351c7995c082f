// The add-ins the tests load, one source built several ways (ADDIN_KIND):
//   1 a working add-in: "Plug-ins|Set All Delays" sets the delay of every frame of the active
//     document to the item's tag;
//   2 one whose GetTitle fails;    3 one whose RegisterMenus throws;
//   4 one that offers another interface id;    5 one that cannot be loaded (a missing symbol);
//   6 one whose root object lacks the add-in interface;    7 a quiet one that makes no menus;
//   8 one whose root object's constructor throws;    9 one whose static initialiser throws;
//   10 one that ends the process in SetApplication;    11 one with a title and a description of 1 MB;
//   12 one whose own timer asks the editor for a menu that does not exist, and does not catch;
//   13 a slow one: SetApplication waits while the file named by $MOVINTA_TEST_SLOW_GATE exists
//     (at most 60 s).
#include "automation/movinta_addin.h"

#include <QObject>
#include <QTimer>

#include <cstdlib>
#include <stdexcept>
#include <unistd.h>

#if ADDIN_KIND == 9
namespace {
struct ThrowsAtLoad {
  ThrowsAtLoad() { throw std::runtime_error("static initialiser failed"); }
} throwsAtLoad;
}  // namespace
#endif

#if ADDIN_KIND == 5
extern "C" int movinta_test_missing_symbol;
extern "C" __attribute__((visibility("default"))) int movinta_test_touch() { return movinta_test_missing_symbol; }
#endif

namespace {

using namespace movinta::addin;

class SetDelays : public IIntfMenuHandler {
public:
  explicit SetDelays(std::shared_ptr<IGIFMovintaApplication> movinta) : movinta_(std::move(movinta)) {}
  bool Execute(int tag) override {
    const std::shared_ptr<IActiveDocument> document = movinta_->ActiveDocument();
    if (!document) return false;
    const std::shared_ptr<IFrames> frames = document->Frames();
    for (int i = 0; i < frames->Count(); ++i) frames->Frame(i)->SetDelay(tag);
    return true;
  }

private:
  std::shared_ptr<IGIFMovintaApplication> movinta_;
};

}  // namespace

#if ADDIN_KIND == 6
class TestAddIn : public QObject {
  Q_OBJECT
  Q_PLUGIN_METADATA(IID MOVINTA_ADDIN_IID)
};
#else
class TestAddIn : public QObject, public IAddIn {
  Q_OBJECT
#if ADDIN_KIND == 4
  Q_PLUGIN_METADATA(IID "com.example.SomethingElse/1.0")
#else
  Q_PLUGIN_METADATA(IID MOVINTA_ADDIN_IID)
#endif
  Q_INTERFACES(movinta::addin::IAddIn)

public:
#if ADDIN_KIND == 8
  TestAddIn() { throw std::runtime_error("constructor failed"); }
#endif
  bool SetApplication(std::shared_ptr<IGIFMovintaApplication> movinta) override {
#if ADDIN_KIND == 10
    _exit(3);
#elif ADDIN_KIND == 13
    if (const char* gate = getenv("MOVINTA_TEST_SLOW_GATE"))
      for (int i = 0; i < 6000 && access(gate, F_OK) == 0; ++i) usleep(10000);
#endif
    movinta_ = std::move(movinta);
    return movinta_ != nullptr;
  }
  bool RegisterMenus() override {
#if ADDIN_KIND == 3
    throw std::runtime_error("no menus today");
#elif ADDIN_KIND == 7 || ADDIN_KIND == 11 || ADDIN_KIND == 13
    return true;
#elif ADDIN_KIND == 12
    QTimer::singleShot(0, this, [this] { movinta_->Menu(QStringLiteral("No|Such|Menu")); });
    return true;
#else
    const std::shared_ptr<IIntfMenuItem> item = movinta_->Menu(QStringLiteral("Plug-ins"))->AddSubItem();
    item->SetCaption(QStringLiteral("Set All &Delays"));
    item->SetTag(50);
    item->SetMenuHandler(std::make_shared<SetDelays>(movinta_));
    return true;
#endif
  }
  bool GetDescription(QString& description) override {
#if ADDIN_KIND == 11
    description = QString(1000000, QLatin1Char('d'));
#else
    description = QStringLiteral("Sets the delay of every frame to half a second.");
#endif
    return true;
  }
  bool GetTitle(QString& title) override {
#if ADDIN_KIND == 2
    (void)title;
    return false;
#else
    title = ADDIN_KIND == 11 ? QString(1000000, QLatin1Char('t'))
          : ADDIN_KIND == 3 ? QStringLiteral("Menuless") : ADDIN_KIND == 7 ? QStringLiteral("Quiet") : QStringLiteral("Delay Setter");
    return true;
#endif
  }
  bool GetVersion(QString& version) override {
    version = QStringLiteral("1.2");
    return true;
  }

private:
  std::shared_ptr<IGIFMovintaApplication> movinta_;
};
#endif

#include "test_addin.moc"
