#include "automation/addins.h"

#include "automation/automation_server.h"
#include "editor/forms/plugin_explorer.h"
#include "editor/forms/progress_window.h"
#include "editor/forms/guarded.h"
#include "editor/model/ui_services.h"
#include "platform/program_folders/program_folders.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QJsonObject>
#include <QLabel>
#include <QMenu>
#include <QPluginLoader>
#include <QProgressBar>
#include <QPushButton>
#include <QSaveFile>
#include <QSet>
#include <QStandardPaths>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <type_traits>

namespace movinta::automation {

namespace {

void Warn(const QString& text) { std::fprintf(stderr, "Movinta6: %s\n", qPrintable(text)); }

// ---- the objects add-ins see

// An add-in calls these either inside one of the editor's own calls into it (loading, a menu
// handler), where the editor catches what they throw, or from its own timer or slot, where nothing
// of the add-in's may catch and the exception would end the program: there the failure is shown to
// the user and the call answers an empty value.
template <typename F>
auto Answer(F&& f) -> decltype(f()) {
  if (editor::GuardedDepth() > 0) return f();
  try {
    return f();
  } catch (...) {
    editor::ReportCurrentException();
    if constexpr (!std::is_void_v<decltype(f())>) return {};
  }
}

class MenuFace : public addin::IIntfMenuItem {
public:
  explicit MenuFace(std::shared_ptr<addin::IIntfMenuItem> item) : item_(std::move(item)) {}
  static std::shared_ptr<addin::IIntfMenuItem> Of(std::shared_ptr<addin::IIntfMenuItem> item) {
    return item ? std::make_shared<MenuFace>(std::move(item)) : nullptr;
  }
  QString Caption() const override { return Answer([&] { return item_->Caption(); }); }
  void SetCaption(const QString& v) override { Answer([&] { item_->SetCaption(v); }); }
  bool Checked() const override { return Answer([&] { return item_->Checked(); }); }
  void SetChecked(bool v) override { Answer([&] { item_->SetChecked(v); }); }
  bool Enabled() const override { return Answer([&] { return item_->Enabled(); }); }
  void SetEnabled(bool v) override { Answer([&] { item_->SetEnabled(v); }); }
  QString Hint() const override { return Answer([&] { return item_->Hint(); }); }
  void SetHint(const QString& v) override { Answer([&] { item_->SetHint(v); }); }
  QString ShortCut() const override { return Answer([&] { return item_->ShortCut(); }); }
  void SetShortCut(const QString& v) override { Answer([&] { item_->SetShortCut(v); }); }
  int SubItemCount() const override { return Answer([&] { return item_->SubItemCount(); }); }
  int Tag() const override { return Answer([&] { return item_->Tag(); }); }
  void SetTag(int v) override { Answer([&] { item_->SetTag(v); }); }
  bool Visible() const override { return Answer([&] { return item_->Visible(); }); }
  void SetVisible(bool v) override { Answer([&] { item_->SetVisible(v); }); }
  std::shared_ptr<addin::IIntfMenuItem> AddSubItem() override { return Answer([&] { return Of(item_->AddSubItem()); }); }
  std::shared_ptr<addin::IIntfMenuItem> SubItem(int i) override { return Answer([&] { return Of(item_->SubItem(i)); }); }
  void Execute() override { Answer([&] { item_->Execute(); }); }
  void SetMenuHandler(std::shared_ptr<addin::IIntfMenuHandler> h) override {
    Answer([&] { item_->SetMenuHandler(std::move(h)); });
  }
  int MenuIndex() const override { return Answer([&] { return item_->MenuIndex(); }); }
  void SetMenuIndex(int v) override { Answer([&] { item_->SetMenuIndex(v); }); }
  std::shared_ptr<addin::IIntfMenuItem> InsertSubItem(int i) override {
    return Answer([&] { return Of(item_->InsertSubItem(i)); });
  }
  bool DocDependent() const override { return Answer([&] { return item_->DocDependent(); }); }
  void SetDocDependent(bool v) override { Answer([&] { item_->SetDocDependent(v); }); }

private:
  std::shared_ptr<addin::IIntfMenuItem> item_;
};

// The objects add-ins see also follow the bus's rule on when a member is taken (CheckMoment).
constexpr TMoment kReads = TMoment::ReadsDocument;
constexpr TMoment kChanges = TMoment::ChangesDocument;

class FrameFace : public addin::IFrame {
public:
  FrameFace(IAutomationHost& host, std::shared_ptr<TGIFFrame> frame) : host_(host), frame_(std::move(frame)) {}
  int Left() const override { return Answer([&] { return At(kReads).Left(); }); }
  int Top() const override { return Answer([&] { return At(kReads).Top(); }); }
  int Width() const override { return Answer([&] { return At(kReads).Width(); }); }
  int Height() const override { return Answer([&] { return At(kReads).Height(); }); }
  bool Empty() const override { return Answer([&] { return At(kReads).Empty(); }); }
  bool Transparent() const override { return Answer([&] { return At(kReads).Transparent(); }); }
  void SetTransparent(bool value) override { Answer([&] { At(kChanges).SetTransparent(value); }); }
  int Delay() const override { return Answer([&] { return At(kReads).Delay(); }); }
  void SetDelay(int value) override { Answer([&] { At(kChanges).SetDelay(value); }); }
  int Disposal() const override { return Answer([&] { return At(kReads).Disposal(); }); }
  void SetDisposal(int value) override { Answer([&] { At(kChanges).SetDisposal(value); }); }

private:
  TGIFFrame& At(TMoment what) const {
    CheckMoment(host_, what);
    return *frame_;
  }
  IAutomationHost& host_;
  std::shared_ptr<TGIFFrame> frame_;
};

class FramesFace : public addin::IFrames {
public:
  FramesFace(IAutomationHost& host, std::shared_ptr<TGIFFrames> frames) : host_(host), frames_(std::move(frames)) {}
  int Count() const override {
    return Answer([&] {
      CheckMoment(host_, kReads);
      return frames_->Count();
    });
  }
  std::shared_ptr<addin::IFrame> Frame(int index) override {
    return Answer([&]() -> std::shared_ptr<addin::IFrame> {
      CheckMoment(host_, kReads);
      auto frame = frames_->Frame(index);
      return frame ? std::make_shared<FrameFace>(host_, frame) : nullptr;
    });
  }

private:
  IAutomationHost& host_;
  std::shared_ptr<TGIFFrames> frames_;
};

class DocumentFace : public addin::IActiveDocument {
public:
  DocumentFace(IAutomationHost& host, std::shared_ptr<TActiveDocument> document)
      : host_(host), document_(std::move(document)) {}
  QString FileName() const override { return Answer([&] { return At(kReads).FileName(); }); }
  bool Modified() const override { return Answer([&] { return At(kReads).Modified(); }); }
  int SelectedFrame() const override { return Answer([&] { return At(kReads).SelectedFrame(); }); }
  int NSLoop() const override { return Answer([&] { return At(kReads).NSLoop(); }); }
  void SetNSLoop(int plays) override { Answer([&] { At(kChanges).SetNSLoop(plays); }); }
  std::shared_ptr<addin::IFrames> Frames() override {
    return Answer([&]() -> std::shared_ptr<addin::IFrames> {
      return std::make_shared<FramesFace>(host_, At(kReads).Frames());
    });
  }

private:
  TActiveDocument& At(TMoment what) const {
    CheckMoment(host_, what);
    return *document_;
  }
  IAutomationHost& host_;
  std::shared_ptr<TActiveDocument> document_;
};

class ApplicationFace : public addin::IGIFMovintaApplication {
public:
  explicit ApplicationFace(const std::shared_ptr<TGIFApplication>& application) : application_(application) {}
  QString VersionText() const override { return Answer([&] { return App()->VersionText(); }); }
  QString AppPath() const override { return Answer([&] { return App()->AppPath(); }); }
  std::shared_ptr<addin::IActiveDocument> ActiveDocument() override {
    return Answer([&]() -> std::shared_ptr<addin::IActiveDocument> {
      auto application = App();
      CheckMoment(application->Host(), kReads);
      auto document = application->ActiveDocument();
      return document ? std::make_shared<DocumentFace>(application->Host(), document) : nullptr;
    });
  }
  bool MenuExists(const QString& path) const override { return Answer([&] { return App()->MenuExists(path); }); }
  std::shared_ptr<addin::IIntfMenuItem> Menu(const QString& path) override {
    return Answer([&] { return MenuFace::Of(App()->Menu(path)); });
  }
  void SetStatusText(const QString& text) override { Answer([&] { App()->SetStatusText(text); }); }
  // Interactive: it exists to show a box, so it stacks over a dialog.
  int MessageBox(const QString& text, const QString& caption, int flags) override {
    return Answer([&] { return App()->MessageBox(text, caption, flags); });
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
    editor::GuardedScope scope;
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
  folders << QDir(AddInStateFolder()).filePath(QStringLiteral("addins"));
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

namespace {

constexpr qsizetype kMaxShownText = 4000;

// A file as the loading marker and the list of skipped add-ins record it: changing it (its size or
// its modification time) gives the add-in another chance.
QString FileStamp(const QString& file) {
  const QFileInfo info(file);
  return QStringLiteral("%1\t%2\t%3")
      .arg(info.size())
      .arg(info.lastModified().toMSecsSinceEpoch())
      .arg(file);
}

QStringList ReadLines(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return {};
  return QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

// Written whole or not at all: the program may end at the next instruction.
void WriteLines(const QString& path, const QStringList& lines) {
  if (lines.isEmpty()) {
    QFile::remove(path);
    return;
  }
  QSaveFile f(path);
  if (!f.open(QIODevice::WriteOnly)) return;
  f.write((lines.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8());
  f.commit();
}

// Runs the add-in's static initialisers. One that throws does so inside the dynamic loader, which
// cannot be left that way safely: the program ends, as on a crash, and the marker names the add-in.
bool LoadCode(QPluginLoader& loader) noexcept { return loader.load(); }

QString StampFile(const QString& stamp) { return stamp.section(QLatin1Char('\t'), 2); }

// Each editor marks the add-in it is loading in a file of its own, locked for as long as the
// editor runs: the system drops the lock when the editor ends, however it ends. A locked marker is
// another editor loading at the same time; an unlocked one names an add-in that ended its editor.
constexpr char kMarkerName[] = "addin-loading";
constexpr char kNewSuffix[] = ".new";

class LoadingMarker {
public:
  explicit LoadingMarker(const QString& folder)
      : path_(QDir(folder).filePath(QStringLiteral("%1.%2").arg(QLatin1String(kMarkerName)).arg(getpid()))) {}
  ~LoadingMarker() {
    if (fd_ < 0) return;
    QFile::remove(path_);
    close(fd_);
  }
  LoadingMarker(const LoadingMarker&) = delete;
  LoadingMarker& operator=(const LoadingMarker&) = delete;

  // Names the add-in now loading; empty names none. Written whole before the add-in's code runs:
  // the program may end at the next instruction.
  void Name(const QString& stamp) {
    if (fd_ < 0 && !Create()) return;
    const QByteArray bytes = stamp.isEmpty() ? QByteArray() : (stamp + QLatin1Char('\n')).toUtf8();
    if (ftruncate(fd_, 0) != 0) return;
    for (qsizetype done = 0; done < bytes.size();) {
      const ssize_t n = pwrite(fd_, bytes.constData() + done, static_cast<std::size_t>(bytes.size() - done), done);
      if (n <= 0) return;
      done += n;
    }
  }

private:
  // The marker appears under its name already locked, so no other editor ever sees it unlocked
  // while this one runs.
  bool Create() {
    const QByteArray temporary = (path_ + QLatin1String(kNewSuffix)).toLocal8Bit();
    const int fd = open(temporary.constData(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    if (flock(fd, LOCK_EX | LOCK_NB) != 0 || rename(temporary.constData(), path_.toLocal8Bit().constData()) != 0) {
      unlink(temporary.constData());
      close(fd);
      return false;
    }
    fd_ = fd;
    return true;
  }

  QString path_;
  int fd_ = -1;
};

// Whether a running editor holds the marker's lock.
bool MarkerHeld(const QString& path) {
  const int fd = open(path.toLocal8Bit().constData(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool held = flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
  close(fd);
  return held;
}

// The add-ins that were loading when their editor ended; their markers go. A marker of the older
// kind, never locked, counts as such.
QStringList TakeCrashedMarkers(const QString& folder) {
  QStringList crashed;
  const QDir dir(folder);
  const QString name = QLatin1String(kMarkerName);
  for (const QString& entry : dir.entryList({name, name + QStringLiteral(".*")}, QDir::Files | QDir::Hidden)) {
    // A marker still being made is not one yet.
    if (entry.endsWith(QLatin1String(kNewSuffix))) continue;
    const QString path = dir.filePath(entry);
    if (MarkerHeld(path)) continue;
    const QStringList lines = ReadLines(path);
    if (!lines.isEmpty() && !crashed.contains(lines.front())) crashed << lines.front();
    QFile::remove(path);
  }
  return crashed;
}

}  // namespace

QString AddInStateFolder() {
  QString data = qEnvironmentVariable("XDG_DATA_HOME");
  if (data.isEmpty()) data = QDir::home().filePath(QStringLiteral(".local/share"));
  return QDir(data).filePath(QStringLiteral("movinta6"));
}

int LoadAddIns(const QStringList& files, const std::shared_ptr<TGIFApplication>& application,
               const std::function<void(const QString& title)>& loading) {
  const std::shared_ptr<addin::IGIFMovintaApplication> face = AddInApplication(application);
  const QString folder = AddInStateFolder();
  QDir().mkpath(folder);
  LoadingMarker marker(folder);
  const QString skippedPath = QDir(folder).filePath(QStringLiteral("addins-skipped"));

  // An add-in still marked as loading ended the program at its last start.
  QStringList skipped = ReadLines(skippedPath);
  for (const QString& stamp : TakeCrashedMarkers(folder)) {
    if (!skipped.contains(stamp)) skipped << stamp;
    WriteLines(skippedPath, skipped);
    const QString name = QFileInfo(StampFile(stamp)).fileName();
    Warn(QStringLiteral("the add-in %1 ended the program while it was loading; it is left out until its file changes")
             .arg(StampFile(stamp)));
    editor::ShowMessage(QStringLiteral("The add-in %1 ended the program while it was loading. It is left out until "
                                       "its file changes.")
                            .arg(name),
                        editor::MessageType::Warning);
  }
  // Those whose files have changed since get another chance.
  QStringList stillSkipped;
  for (const QString& stamp : std::as_const(skipped))
    if (FileStamp(StampFile(stamp)) == stamp) stillSkipped << stamp;
  if (stillSkipped != skipped) WriteLines(skippedPath, stillSkipped);

  int listed = 0;
  for (const QString& file : files) {
    const QString stamp = FileStamp(file);
    if (stillSkipped.contains(stamp)) {
      Warn(QStringLiteral("the add-in %1 is left out: it ended the program while it was loading").arg(file));
      continue;
    }
    Warn(QStringLiteral("loading the add-in %1").arg(file));
    marker.Name(stamp);
    struct Unmark {
      LoadingMarker& Marker;
      ~Unmark() { Marker.Name(QString()); }
    } unmark{marker};

    QPluginLoader loader(file);
    if (!LoadCode(loader)) {
      Warn(QStringLiteral("the add-in %1 is left out: %2").arg(file, loader.errorString()));
      continue;
    }
    QObject* root = nullptr;
    QString why;
    try {
      root = loader.instance();
    } catch (const std::exception& e) {
      why = QStringLiteral("its root object could not be made: %1").arg(QString::fromUtf8(e.what()));
    } catch (...) {
      why = QStringLiteral("its root object could not be made");
    }
    auto* addIn = qobject_cast<addin::IAddIn*>(root);
    if (!addIn) {
      if (why.isEmpty()) why = root ? QStringLiteral("it does not offer the add-in interface") : loader.errorString();
      Warn(QStringLiteral("the add-in %1 is left out: %2").arg(file, why));
      continue;
    }
    QString description, title, version;
    if (!Ask("SetApplication", [&] { return addIn->SetApplication(face); }, why) ||
        !Ask("GetDescription", [&] { return addIn->GetDescription(description); }, why) ||
        !Ask("GetTitle", [&] { return addIn->GetTitle(title); }, why) ||
        !Ask("GetVersion", [&] { return addIn->GetVersion(version); }, why)) {
      Warn(QStringLiteral("the add-in %1 is left out: %2").arg(file, why));
      continue;
    }
    // Longer texts only slow the windows that show them down.
    title.truncate(kMaxShownText);
    description.truncate(kMaxShownText);
    version.truncate(kMaxShownText);
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

void LoadPlugins(IPlugInHost& main) {
  const std::shared_ptr<TGIFApplication> application = AutomationApp();
  if (!application) return;
  editor::forms::TfrmProgress progress;
  main.SetWindowEnabled(false);
  struct Enable {
    IPlugInHost& Main;
    ~Enable() { Main.SetWindowEnabled(true); }
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
  main.PluginInfoItem()->setVisible(editor::forms::AddIns().Count() > 0);
}

}  // namespace movinta::automation
