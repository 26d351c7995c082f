#include "automation/addins.h"

#include "automation/automation_server.h"
#include "editor/forms/plugin_explorer.h"
#include "editor/forms/progress_window.h"
#include "editor/main_window.h"
#include "platform/program_folders/program_folders.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonObject>
#include <QLabel>
#include <QMenu>
#include <QPluginLoader>
#include <QProgressBar>
#include <QPushButton>
#include <QSet>
#include <QStandardPaths>

#include <cstdio>

namespace movinta::automation {

namespace {

void Warn(const QString& text) { std::fprintf(stderr, "Movinta6: %s\n", qPrintable(text)); }

// ---- the objects add-ins see

class FrameFace : public addin::IFrame {
public:
  explicit FrameFace(std::shared_ptr<TGIFFrame> frame) : frame_(std::move(frame)) {}
  int Left() const override { return frame_->Left(); }
  int Top() const override { return frame_->Top(); }
  int Width() const override { return frame_->Width(); }
  int Height() const override { return frame_->Height(); }
  bool Empty() const override { return frame_->Empty(); }
  bool Transparent() const override { return frame_->Transparent(); }
  void SetTransparent(bool value) override { frame_->SetTransparent(value); }
  int Delay() const override { return frame_->Delay(); }
  void SetDelay(int value) override { frame_->SetDelay(value); }
  int Disposal() const override { return frame_->Disposal(); }
  void SetDisposal(int value) override { frame_->SetDisposal(value); }

private:
  std::shared_ptr<TGIFFrame> frame_;
};

class FramesFace : public addin::IFrames {
public:
  explicit FramesFace(std::shared_ptr<TGIFFrames> frames) : frames_(std::move(frames)) {}
  int Count() const override { return frames_->Count(); }
  std::shared_ptr<addin::IFrame> Frame(int index) override {
    auto frame = frames_->Frame(index);
    return frame ? std::make_shared<FrameFace>(frame) : nullptr;
  }

private:
  std::shared_ptr<TGIFFrames> frames_;
};

class DocumentFace : public addin::IActiveDocument {
public:
  explicit DocumentFace(std::shared_ptr<TActiveDocument> document) : document_(std::move(document)) {}
  QString FileName() const override { return document_->FileName(); }
  bool Modified() const override { return document_->Modified(); }
  int SelectedFrame() const override { return document_->SelectedFrame(); }
  int NSLoop() const override { return document_->NSLoop(); }
  void SetNSLoop(int plays) override { document_->SetNSLoop(plays); }
  std::shared_ptr<addin::IFrames> Frames() override { return std::make_shared<FramesFace>(document_->Frames()); }

private:
  std::shared_ptr<TActiveDocument> document_;
};

class ApplicationFace : public addin::IGIFMovintaApplication {
public:
  explicit ApplicationFace(const std::shared_ptr<TGIFApplication>& application) : application_(application) {}
  QString VersionText() const override { return App()->VersionText(); }
  QString AppPath() const override { return App()->AppPath(); }
  std::shared_ptr<addin::IActiveDocument> ActiveDocument() override {
    auto document = App()->ActiveDocument();
    return document ? std::make_shared<DocumentFace>(document) : nullptr;
  }
  bool MenuExists(const QString& path) const override { return App()->MenuExists(path); }
  std::shared_ptr<addin::IIntfMenuItem> Menu(const QString& path) override { return App()->Menu(path); }
  void SetStatusText(const QString& text) override { App()->SetStatusText(text); }
  int MessageBox(const QString& text, const QString& caption, int flags) override {
    return App()->MessageBox(text, caption, flags);
  }

private:
  std::shared_ptr<TGIFApplication> App() const {
    auto application = application_.lock();
    if (!application) throw AutomationError(kErrorUnknownObject, QStringLiteral("The editor has closed"));
    return application;
  }
  std::weak_ptr<TGIFApplication> application_;
};

// Runs one operation of an add-in; false, with why, when it fails or throws.
template <typename F>
bool Ask(const char* operation, F f, QString& why) {
  try {
    if (f()) return true;
    why = QStringLiteral("%1 failed").arg(QLatin1String(operation));
  } catch (const std::exception& e) {
    why = QStringLiteral("%1 failed: %2").arg(QLatin1String(operation), QString::fromUtf8(e.what()));
  } catch (...) {
    why = QStringLiteral("%1 failed").arg(QLatin1String(operation));
  }
  return false;
}

}  // namespace

QStringList AddInFolders() {
  QStringList folders;
  for (const QString& folder : qEnvironmentVariable("MOVINTA6_ADDIN_PATH").split(QLatin1Char(':'), Qt::SkipEmptyParts))
    folders << folder;
  QString data = qEnvironmentVariable("XDG_DATA_HOME");
  if (data.isEmpty()) data = QDir::home().filePath(QStringLiteral(".local/share"));
  folders << QDir(data).filePath(QStringLiteral("movinta6/addins"));
  folders << platform::ProgramAddInFolder();
  return folders;
}

QStringList FetchAddInClasses(const QStringList& folders, const std::function<void()>& step) {
  QStringList found;
  // A file name loads once, from the first folder that has it: a user's copy of an add-in goes
  // before the one installed with the program.
  QSet<QString> seen, names;
  for (const QString& folder : folders) {
    const QDir dir(folder);
    if (!dir.exists()) continue;
    for (const QFileInfo& file : dir.entryInfoList(QDir::Files, QDir::Name)) {
      const QString path = file.canonicalFilePath();
      if (path.isEmpty() || seen.contains(path) || names.contains(file.fileName())) continue;
      seen.insert(path);
      // The metadata is read from the file; its code is not run.
      const QJsonObject meta = QPluginLoader(path).metaData();
      if (meta.value(QStringLiteral("IID")).toString() != QLatin1String(MOVINTA_ADDIN_IID)) continue;
      names.insert(file.fileName());
      found << path;
      if (found.size() == kMaxAddIns) return found;
    }
    if (step) step();
  }
  return found;
}

std::shared_ptr<addin::IGIFMovintaApplication> AddInApplication(const std::shared_ptr<TGIFApplication>& application) {
  return std::make_shared<ApplicationFace>(application);
}

int LoadAddIns(const QStringList& files, const std::shared_ptr<TGIFApplication>& application,
               const std::function<void(const QString& title)>& loading) {
  const std::shared_ptr<addin::IGIFMovintaApplication> face = AddInApplication(application);
  int listed = 0;
  for (const QString& file : files) {
    QPluginLoader loader(file);
    QObject* root = loader.instance();
    auto* addIn = qobject_cast<addin::IAddIn*>(root);
    if (!addIn) {
      Warn(QStringLiteral("the add-in %1 is left out: %2")
               .arg(file, root ? QStringLiteral("it does not offer the add-in interface") : loader.errorString()));
      continue;
    }
    QString description, title, version, why;
    if (!Ask("SetApplication", [&] { return addIn->SetApplication(face); }, why) ||
        !Ask("GetDescription", [&] { return addIn->GetDescription(description); }, why) ||
        !Ask("GetTitle", [&] { return addIn->GetTitle(title); }, why) ||
        !Ask("GetVersion", [&] { return addIn->GetVersion(version); }, why)) {
      Warn(QStringLiteral("the add-in %1 is left out: %2").arg(file, why));
      continue;
    }
    if (loading) loading(title);
    editor::forms::TAddInCollectionItem& item = editor::forms::AddIns().AddItem();
    item.Description = description;
    item.Title = title;
    item.Version = version;
    ++listed;
    if (!Ask("RegisterMenus", [&] { return addIn->RegisterMenus(); }, why))
      Warn(QStringLiteral("the add-in %1 could not make its menus: %2").arg(file, why));
  }
  return listed;
}

void LoadPlugins(editor::TfrmMain& main) {
  const std::shared_ptr<TGIFApplication> application = AutomationApp();
  if (!application) return;
  editor::forms::TfrmProgress progress;
  main.setEnabled(false);
  struct Enable {
    editor::TfrmMain& Main;
    ~Enable() { Main.setEnabled(true); }
  } enable{main};
  progress.btnCancel->hide();
  progress.prgBar->setRange(0, 6);
  progress.prgBar->setValue(0);
  progress.lblFileName->setText(QStringLiteral("Scanning for Movinta Plug-ins..."));
  progress.lblProgress->setVisible(true);
  progress.lblProgress->clear();
  progress.adjustSize();
  progress.show();
  progress.repaint();
  auto step = [&progress] {
    progress.prgBar->setValue(std::min(progress.prgBar->value() + 1, progress.prgBar->maximum()));
    progress.repaint();
  };
  step();
  const QStringList files = FetchAddInClasses(AddInFolders(), step);
  if (!files.isEmpty()) {
    progress.lblFileName->setText(QStringLiteral("Loading Movinta Plug-ins..."));
    progress.prgBar->setRange(0, int(files.size()) + 1);
    progress.prgBar->setValue(1);
    LoadAddIns(files, application, [&](const QString& title) {
      step();
      progress.lblFileName->setText(QStringLiteral("Loading %1...").arg(title));
      progress.repaint();
    });
    main.UpdateDocumentMenus();
  }
  QMenu* plugins = main.PluginsMenu();
  plugins->menuAction()->setVisible(!plugins->actions().isEmpty());
  main.mniHelPluginInfo->setVisible(editor::forms::AddIns().Count() > 0);
}

}  // namespace movinta::automation
