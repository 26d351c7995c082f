#include "editor/commands/frame_actions.h"

#include "editor/document_window.h"
#include "editor/forms/guarded.h"
#include "editor/image_import.h"
#include "editor/model/files.h"
#include "editor/model/settings.h"
#include "gif/qt/qimage_adapter.h"

#include <QAction>
#include <QActionGroup>
#include <QClipboard>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMimeData>
#include <QMenu>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QPainter>
#include <QRadioButton>
#include <QSpinBox>
#include <QStringList>
#include <QTabBar>
#include <QToolBar>
#include <QToolButton>

#include <memory>

namespace movinta::editor {

namespace {
class CanvasPicture : public QWidget {
public:
  CanvasPicture(const gif::Bitmap& canvas, QWidget* parent) : QWidget(parent), canvas_(canvas) {
    setObjectName(QStringLiteral("imgAni"));
    setAttribute(Qt::WA_OpaquePaintEvent);
  }

protected:
  // The canvas is transparent where no frame has drawn and where a disposal restored the
  // background: each picture goes over the backdrop the frame view shows, never over the last one.
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.fillRect(rect(), palette().window());
    if (canvas_.Empty()) return;
    const gif::TColor back = Settings().FrameBackColor;
    const QRect picture(QPoint((width() - canvas_.Width()) / 2, (height() - canvas_.Height()) / 2),
                        QSize(canvas_.Width(), canvas_.Height()));
    p.fillRect(picture, QColor(back & 0xFF, (back >> 8) & 0xFF, (back >> 16) & 0xFF));
    p.drawImage(picture.topLeft(), gif::qt::ToQImage(canvas_));
  }

private:
  const gif::Bitmap& canvas_;
};
// The type of a file chosen with the image-files filter, which also offers the long spellings
// of the JPEG and TIFF extensions.
std::uint8_t AddFrameTypeCode(const QString& file) {
  const std::uint8_t code = GetFileTypeCode(file);
  if (code != kFileTypeUnknown) return code;
  const QString suffix = QFileInfo(file).suffix().toLower();
  if (suffix == QStringLiteral("jpeg")) return GetFileTypeCode(QStringLiteral("x.jpg"));
  if (suffix == QStringLiteral("tiff")) return GetFileTypeCode(QStringLiteral("x.tif"));
  return code;
}
}  // namespace

const char* const kImageFilesFilter =
    "Image Files|*.gif;*.jpg;*.jpeg;*.bmp;*.jif;*.dcx;*.ico;*.pbm;*.pcx;*.ljp;*.pgm;*.pic;*.png;*.ppm;*.rle;"
    "*.tga;*.tif;*.tiff;*.wmf;*.wpg|GIF Images (*.gif)|*.gif|JPEG Images (*.jpg;*.jpeg;*.jif)|*.jpg;*.jpeg;*.jif|"
    "Bitmap Images (*.bmp;*.rle)|*.bmp;*.rle|DCX Images (*.dcx)|*.dcx|Icons (*.ico)|*.ico|"
    "Portable Bitmaps (*.pbm)|*.pbm|PCX Images (*.pcx)|*.pcx|Lossless JPEG Images (*.ljp)|*.ljp|"
    "Portable Graymaps (*.pgm)|*.pgm|PIC Images (*.pic)|*.pic|PNG Images (*.png)|*.png|"
    "Portable Pixmaps (*.ppm)|*.ppm|Targa Images (*.tga)|*.tga|TIFF Images (*.tif;*.tiff)|*.tif;*.tiff|"
    "Windows Metafiles (*.wmf)|*.wmf|WordPerfect Graphics (*.wpg)|*.wpg|All Files (*.*)|*.*";

void QtFrameClipboard::SetDataSet(const std::vector<std::pair<QString, QByteArray>>& formats) {
  auto* mime = new QMimeData;
  for (const auto& [type, data] : formats) mime->setData(type, data);
  QGuiApplication::clipboard()->setMimeData(mime);
}

TAnimationPlayer::TAnimationPlayer(TFrameCommands& commands, QObject* parent, gif::TGIFPlaybackClock* clock)
    : QObject(parent), playback_(commands, &dispatcher_, clock) {
  playback_.SetView(this);
}

TAnimationPlayer::~TAnimationPlayer() {
  playback_.SetView(nullptr);
  playback_.Stop(true);
  delete picture_.data();
}

void TAnimationPlayer::PlaybackShown(bool playing) {
  if (playing) {
    QWidget* host = Host ? Host() : nullptr;
    if (host) {
      delete picture_.data();
      picture_ = new CanvasPicture(playback_.Canvas(), host);
      picture_->setGeometry(host->rect());
      picture_->show();
      picture_->raise();
    }
  } else if (picture_) {
    picture_->hide();
    picture_->deleteLater();
  }
  if (PlayingChanged) PlayingChanged(playing);
}

void TAnimationPlayer::CanvasChanged() {
  if (picture_) picture_->update();
}

void TFrameActions::Update(TFrameCommands& commands, const TFrameStrip& strip, bool playing) {
  const bool doc = commands.Active() != nullptr && !playing;
  const int selected = strip.SelectedFrame();
  const int last = commands.FrameCount() - 1;
  const bool frame = doc && selected >= 0 && selected <= last;
  for (QAction* a : {EditCut, EditCopy, FrameDelete, FrameTransColor}) a->setEnabled(frame);
  FrameAdd->setEnabled(!playing);
  EditPasteComments->setEnabled(commands.CanPasteComment());
  FrameMoveBegin->setEnabled(frame && selected > 0);
  FrameMoveUp->setEnabled(frame && selected > 0);
  FrameMoveDown->setEnabled(frame && selected < last);
  FrameMoveEnd->setEnabled(frame && selected < last);
  for (QAction* a : {FrameReverse, FrameSelectAll, FrameGlobalChange, AnimationResize, AnimationInfo,
                     AnimationOptimize, AnimationPlay})
    a->setEnabled(doc);
  AnimationPalette->setEnabled(doc && SharedImage()->GetGlobalColorMap().GetCount() > 0);
  // A bitmap, text (a comment) or our frames on the clipboard.
  EditPaste->setEnabled(!playing && (commands.CanPaste(false) || commands.CanPasteComment()));
  AnimationPause->setEnabled(playing);
}

void SyncPlayMenu(QMenu& menu, TDocuments& documents, const QAction* play,
                  const std::function<void(const QString&)>& click) {
  auto open = [&documents](const QString& name) {
    for (int i = 0; i < documents.Count(); ++i)
      if (documents.At(i)->FileName == name) return true;
    return false;
  };
  auto nameOf = [](const QAction* item) { return item->data().toString(); };
  for (QAction* item : menu.actions())
    if (!open(nameOf(item))) delete item;
  for (int i = 0; i < documents.Count(); ++i) {
    const QString name = documents.At(i)->FileName;
    bool listed = false;
    for (QAction* item : menu.actions()) listed = listed || nameOf(item) == name;
    if (listed) continue;
    // A file name's '&' is shown, not taken as a mnemonic.
    QAction* item = new QAction(QString(name).replace(QLatin1Char('&'), QStringLiteral("&&")), &menu);
    item->setData(name);
    if (play) {
      item->setStatusTip(play->statusTip());
      item->setToolTip(play->toolTip());
    }
    QObject::connect(item, &QAction::triggered, &menu, Guarded([click, name] { click(name); }));
    menu.addAction(item);
  }
  TMDIChild* active = documents.Active();
  QAction* top = nullptr;
  for (QAction* item : menu.actions())
    if (active && nameOf(item) == active->FileName) top = item;
  if (top && menu.actions().first() != top) {
    menu.removeAction(top);
    menu.insertAction(menu.actions().isEmpty() ? nullptr : menu.actions().first(), top);
  }
  menu.setDefaultAction(top);
}

void TFrameActions::Build(QObject* owner, QMenu* edit, QMenuBar* bar, TFrameCommands& commands, TFrameStrip& strip,
                          TPropertyPanel& panel, TAnimationPlayer& player, FrameActionHooks hooks) {
  TFrameActions& a = *this;
  auto add = [owner](QMenu* menu, const char* text, std::function<void()> run) {
    QAction* action = menu->addAction(QString::fromUtf8(text));
    QObject::connect(action, &QAction::triggered, owner, Guarded(std::move(run)));
    return action;
  };
  edit->addSeparator();
  a.EditCut = add(edit, "Cu&t", [&commands] { commands.CutFrames(); });
  a.EditCut->setShortcut(QKeySequence::Cut);
  a.EditCopy = add(edit, "&Copy", [&commands] { commands.CopyFrames(); });
  a.EditCopy->setShortcut(QKeySequence::Copy);
  // Paste puts clipboard text into the comments while the inspector shows them.
  auto commentsShown = [shown = hooks.CommentsShown] { return shown && shown(); };
  a.EditPaste = add(edit, "&Paste", [&commands, commentsShown] { commands.Paste(commentsShown()); });
  a.EditPaste->setShortcut(QKeySequence::Paste);
  a.EditPasteComments = add(edit, "Paste Comme&nts", [&commands] { commands.PasteClipboardComment(); });

  QMenu* frame = bar->addMenu(QStringLiteral("Fra&me"));
  auto addFolder = std::make_shared<QString>();
  a.FrameAdd = add(frame, "&Add Frame...", [hooks, &commands, addFolder] {
    if (!hooks.ChooseOpenFiles || !hooks.Import || commands.Playing()) return;
    const QStringList files = hooks.ChooseOpenFiles(QString::fromLatin1(kImageFilesFilter), *addFolder);
    if (files.isEmpty()) return;
    IImportHost* import = hooks.Import;
    commands.AddFrameFiles(files, [import](const QString& file, gif::Bitmap& picture, QString* error) {
      return ImportImageFile(*import, file, picture, AddFrameTypeCode(file), true, error) == kImportBitmap;
    });
    *addFolder = QFileInfo(files.back()).absolutePath();
  });
  frame->addSeparator();
  a.FrameDelete = add(frame, "&Delete Frame", [&commands] { commands.DeleteFrames(); });
  a.FrameDelete->setShortcut(QKeySequence::Delete);
  frame->addSeparator();
  a.FrameMoveBegin = add(frame, "Move Frame to &Beginning", [&commands] { commands.MoveFrameToBeginning(); });
  a.FrameMoveUp = add(frame, "Move Frame &Left", [&commands] { commands.MoveFrameLeft(); });
  a.FrameMoveDown = add(frame, "Move Frame &Right", [&commands] { commands.MoveFrameRight(); });
  a.FrameMoveEnd = add(frame, "Move Frame to &End", [&commands] { commands.MoveFrameToEnd(); });
  a.FrameReverse = add(frame, "Re&verse Frame Order", [&commands, &panel] {
    commands.ReverseFrames(panel.optLoopInfinite->isChecked(), panel.txtLoop->value());
  });
  frame->addSeparator();
  a.FrameSelectAll = add(frame, "&Select All", [&strip] { strip.SelectAll(); });
  a.FrameGlobalChange = add(frame, "&Global Properties...", [&commands] { commands.GlobalChange(); });
  a.FrameTransColor = add(frame, "&Transparent Color...", [&commands] { commands.ChangeTransparentColor(); });
  frame->addSeparator();
  QMenu* sizes = frame->addMenu(QStringLiteral("Frame Si&ze"));
  auto* group = new QActionGroup(owner);
  a.FrameSizes = group;
  for (int size : {80, 96, 112, 128, 144, 160}) {
    QAction* item = sizes->addAction(QStringLiteral("%1 x %1").arg(size));
    item->setCheckable(true);
    item->setChecked(size == strip.FrameSize());
    // The item's tag is the size it chooses, as scripts read it.
    item->setProperty("tag", size);
    group->addAction(item);
    QObject::connect(item, &QAction::triggered, owner, Guarded([&strip, size] {
      strip.SetFrameSize(size);
      Settings().FrameSize = static_cast<std::uint8_t>(size);
    }));
  }

  QMenu* animation = bar->addMenu(QStringLiteral("&Animation"));
  a.AnimationPlay = add(animation, "&Play Animation", [&player] { player.Playback().Play(); });
  a.AnimationPlay->setShortcut(QKeySequence(QStringLiteral("Ctrl+G")));
  a.AnimationPause = add(animation, "Pa&use Animation", [&player] { player.Playback().Stop(true); });
  a.AnimationPause->setEnabled(false);
  a.PlayMenu = new QMenu(qobject_cast<QWidget*>(owner));
  a.PlayMenu->setObjectName(QStringLiteral("popPlayAni"));
  auto playDocument = [owner, &player, &commands](const QString& name) {
    player.Playback().PlayDocument(name, [owner, &commands](TMDIChild* document) {
      // Bringing the document's window forward makes the switch, as a click on it would.
      for (auto* window : owner->findChildren<TMDIChildWindow*>()) {
        if (window->Document() != document) continue;
        auto* sub = qobject_cast<QMdiSubWindow*>(window->parentWidget());
        if (sub && sub->mdiArea()) {
          if (sub->isMinimized()) sub->showNormal();
          sub->mdiArea()->setActiveSubWindow(sub);
          return true;
        }
      }
      return commands.Documents().Activate(document);
    });
  };
  QObject::connect(a.PlayMenu, &QMenu::aboutToShow, owner,
                   Guarded([menu = a.PlayMenu, &commands, play = a.AnimationPlay, playDocument] {
                     SyncPlayMenu(*menu, commands.Documents(), play, playDocument);
                   }));
  if (auto* toolbar = owner->findChild<QToolBar*>(QStringLiteral("tbAnimation"))) {
    auto* button = new QToolButton(toolbar);
    button->setObjectName(QStringLiteral("btnPlay"));
    button->setDefaultAction(a.AnimationPlay);
    button->setMenu(a.PlayMenu);
    button->setPopupMode(QToolButton::MenuButtonPopup);
    toolbar->addWidget(button);
  }
  animation->addSeparator();
  a.AnimationResize = add(animation, "&Resize...", [&commands] { commands.ResizeAnimationCommand(); });
  a.AnimationInfo = add(animation, "&Information...", [&commands, &panel] {
    if (commands.AnimationInfo()) panel.SetLoopControls(-1);
  });
  a.AnimationPalette = add(animation, "&Global Palette...", [&commands] { commands.ChangeGlobalPalette(); });
  a.AnimationOptimize = add(animation, "&Optimize...", [&commands] { commands.OptimizeAnimation(); });
}

}  // namespace movinta::editor
