#include "editor/commands/frame_commands.h"
#include "editor/model/registry.h"
#include "editor/model/settings.h"
#include "editor/model/string_tables.h"
#include "editor/model/undo_captions.h"
#include "frames_fixture.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QFileInfo>
#include <QImage>
#include <QProcess>

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <functional>

namespace movinta::editor {
namespace {

using testing::Composited;
using testing::Delays;
using testing::MakePatternAnimation;

QByteArray Bytes(gif::TGIFImage& image) {
  const std::vector<std::uint8_t> b = image.SaveToMemory();
  return QByteArray(reinterpret_cast<const char*>(b.data()), static_cast<qsizetype>(b.size()));
}

gif::Bitmap SolidBitmap(int width, int height, std::uint8_t red) {
  gif::Bitmap b(width, height, gif::PixelFormat::pf24bit);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) b.SetPixelColor(x, y, red);
  return b;
}

QByteArray Png(const QImage& image) {
  QByteArray out;
  QBuffer buffer(&out);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "PNG");
  return out;
}

class FrameCommandsTest : public ::testing::Test {
protected:
  // The editor's default settings: the self-adapting palette, whose defaults are asked for (and
  // confirmed) whenever a picture becomes a frame.
  void SetUp() override {
    commands_ = std::make_unique<TFrameCommands>(docs_);
    view_.Commands = commands_.get();
  }
  void TearDown() override {
    view_.Commands = nullptr;
    commands_.reset();
    SharedImage(1);
  }
  // An untitled document holding an animation as other programs write it, so that undoing every
  // entry leaves the image itself to compare (a saved file would simply be read back).
  TMDIChild* Start(int frames, std::unique_ptr<gif::TGIFImage> (*make)(int) = &testing::MakeRealisticAnimation) {
    TMDIChild* d = docs_.NewDocument();
    ReplaceSharedImage(make(frames));
    view_.SetSelectedFrame(0);
    return d;
  }
  TMDIChild* StartPattern(int frames) {
    return Start(frames, [](int n) { return MakePatternAnimation(n); });
  }
  void UndoAll(TMDIChild* d) {
    for (int guard = 0; d->History.Count() > 0 && guard < 100; ++guard) commands_->Undo();
  }
  TGIFImage& Image() { return *SharedImage(); }

  testing::FreeSharedImageLast freeLast_;
  testing::ScopedTmpDir tmp_;
  testing::ScopedSettingsDir settingsDir_;
  testing::RecordingMessages messages_;
  testing::StripView view_;
  testing::ScriptedDialogs dialogs_;
  testing::MemoryClipboard clipboard_;
  TDocuments docs_;
  std::unique_ptr<TFrameCommands> commands_;
};

struct Sequence {
  const char* Name;
  std::function<void(TFrameCommands&, testing::StripView&, testing::ScriptedDialogs&)> Run;
  // The animation still plays three times once the command is done.
  bool KeepsLoop = true;
};

// A picture of more colours than the animation's tables leave room for.
gif::Bitmap ManyColours(int width, int height) {
  gif::Bitmap b(width, height, gif::PixelFormat::pf24bit);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      b.SetPixelColor(x, y, static_cast<gif::TColor>(x * 13 + y * 200) | static_cast<gif::TColor>(y * 17) << 8 | 0x300000u);
  return b;
}

// What each pixel of a frame shows: its colour, or nothing where it is transparent.
std::vector<std::int64_t> Looks(gif::TGIFSubImage& frame) {
  const gif::TGIFGraphicControlExtension* gce = frame.GraphicControlExtension();
  const int transparent = frame.Transparent() && gce ? gce->GetTransparentColorIndex() : -1;
  gif::TGIFColorMap& map = frame.GetActiveColorMap();
  std::vector<std::int64_t> out;
  for (std::size_t p = 0; p < frame.DataSize(); ++p) {
    const int index = std::as_const(frame).Data()[p];
    out.push_back(index == transparent ? -1 : index < map.GetCount() ? map.GetColor(index) : -2);
  }
  return out;
}

// Animations as ImageMagick and FFmpeg write them: tables that repeat colours, and transparent
// entries whose colour visible pixels have too.
QString PeerAnimation(const QString& folder, const char* maker) {
  const QString file = folder + QStringLiteral("/") + QString::fromLatin1(maker) + QStringLiteral(".gif");
  if (QFileInfo::exists(file)) return file;
  QStringList args;
  if (QString::fromLatin1(maker) == QStringLiteral("convert")) {
    args = QStringList{"-size", "12x10", "xc:black", "-fill", "red", "-draw", "rectangle 2,2 5,5", "-fill", "none",
                       "-draw", "color 8,8 point", "-draw", "color 9,1 point", "(", "-size", "12x10", "xc:none",
                       "-fill", "red", "-draw", "rectangle 0,0 8,9", "-fill", "black", "-draw", "rectangle 0,0 3,3",
                       ")", "(", "-size", "12x10", "xc:none", "-fill", "black", "-draw", "rectangle 5,0 11,9", ")",
                       "-set", "delay", "10", "-set", "dispose", "background", "-loop", "2", file};
  } else {
    args = QStringList{"-nostdin", "-v", "error", "-y", "-f", "lavfi", "-i", "testsrc=size=16x12:rate=5:duration=0.8",
                       "-vf", "split[a][b];[a]palettegen=max_colors=16:reserve_transparent=1[p];[b][p]paletteuse",
                       file};
  }
  return QProcess::execute(QString::fromLatin1(maker), args) == 0 ? file : QString();
}

// Under the palette rules that merge every table into one, each pasted frame recolours the whole
// animation: the working copy comes out byte for byte as these rules have always written it, the
// paste is one undo entry that keeps the animation once, and its undo brings all of it back
// without keeping the recoloured frames' data.
TEST_F(FrameCommandsTest, PastingUnderMergedTablesWritesWhatItAlwaysWroteAndUndoesInOne) {
  // The pasted frames are the copy's own pictures, so both rules merge the same tables.
  const std::string pastedSha1 = "1e71c5c2ff575180db90d7ffcc32dd4b239f01c0";
  for (const int paletteType : {0, 1}) {
    SCOPED_TRACE(paletteType);
    SettingsStore().writeInt(QStringLiteral("Settings"), QStringLiteral("PaletteType"), paletteType);
    TMDIChild* d = Start(5);
    ASSERT_TRUE(d->FlushWorkingCopy());
    const QByteArray original = testing::FileBytes(d->WorkingCopy);
    view_.SetSelection(1, 4);
    ASSERT_TRUE(commands_->CopyFrames());
    view_.SetSelectedFrame(2);
    const int entries = d->History.Count();
    ASSERT_TRUE(commands_->Paste(false));
    ASSERT_EQ(Image().Images().GetCount(), 9);
    EXPECT_EQ(d->History.Count(), entries + 1);
    ASSERT_TRUE(d->FlushWorkingCopy());
    const QByteArray pasted = testing::FileBytes(d->WorkingCopy);
    EXPECT_EQ(QCryptographicHash::hash(pasted, QCryptographicHash::Sha1).toHex().toStdString(), pastedSha1);
    commands_->Undo();
    EXPECT_EQ(d->History.Count(), entries);
    ASSERT_TRUE(d->FlushWorkingCopy());
    EXPECT_EQ(testing::FileBytes(d->WorkingCopy), original);
    // Only the frames shown now keep encoded data.
    EXPECT_LE(Image().EncodedDataCache->Entries(), 5u);
    docs_.FreeChildWindow(d);
  }
}

TEST_F(FrameCommandsTest, PasteKeepsEveryPixelOfPeerAnimationsAndUndoesToTheFile) {
  struct Case {
    const char* Maker;
    int PaletteType;
    bool AtStart;  // pasted in front of the first frame, else after the last
  };
  for (const Case c : {Case{"convert", 0, false}, Case{"convert", 1, false}, Case{"convert", 2, false},
                       Case{"convert", 2, true}, Case{"ffmpeg", 0, false}, Case{"ffmpeg", 1, true},
                       Case{"ffmpeg", 2, false}, Case{"ffmpeg", 2, true}}) {
    SCOPED_TRACE(std::string(c.Maker) + " PaletteType " + std::to_string(c.PaletteType) +
                 (c.AtStart ? " at the start" : ""));
    std::unique_ptr<gif::TGIFImage> made = ReadGifFile(PeerAnimation(tmp_.Path, c.Maker));
    if (!made) GTEST_SKIP() << c.Maker << " could not make its animation";
    SettingsStore().writeInt(QStringLiteral("Settings"), QStringLiteral("PaletteType"), c.PaletteType);
    TMDIChild* d = docs_.NewDocument();
    ReplaceSharedImage(std::move(made));
    const QByteArray original = Bytes(Image());
    const int count = Image().Images().GetCount();
    std::vector<std::vector<std::int64_t>> looks;
    for (int i = 0; i < count; ++i) looks.push_back(Looks(*Image().Images().GetFrame(i)));
    view_.SetSelection(0, count - 1);
    ASSERT_TRUE(commands_->CopyFrames());
    view_.SetSelectedFrame(c.AtStart ? -1 : count - 1);
    ASSERT_TRUE(commands_->Paste(false));
    ASSERT_EQ(Image().Images().GetCount(), 2 * count);
    for (int i = 0; i < 2 * count; ++i) {
      SCOPED_TRACE(i);
      EXPECT_EQ(Looks(*Image().Images().GetFrame(i)), looks[static_cast<std::size_t>(i % count)]);
    }
    UndoAll(d);
    EXPECT_EQ(Bytes(Image()), original);
    docs_.FreeChildWindow(d);
  }
  EXPECT_TRUE(messages_.Shown.empty()) << messages_.Shown.front().Text.toStdString();
}

TEST_F(FrameCommandsTest, EveryCommandUndoesToTheOriginalAnimation) {
  const std::vector<Sequence> sequences = {
      {"add a picture after the selection", [](auto& c, auto& v, auto&) {
         v.SetSelectedFrame(1);
         c.InsertBitmapFrame(ManyColours(16, 12), c.InsertPosition(), QStringLiteral("Add Frame"));
       }},
      {"add a picture at the start", [](auto& c, auto&, auto&) {
         c.InsertBitmapFrame(ManyColours(8, 8), 0, QStringLiteral("Add Frame"));
       }},
      {"add a picture at the end", [](auto& c, auto&, auto&) {
         c.InsertBitmapFrame(SolidBitmap(16, 12, 200), c.FrameCount(), QStringLiteral("Add Frame"));
       }},
      {"add a larger picture, trimmed", [](auto& c, auto&, auto& d) {
         d.Oversize = true;
         c.InsertBitmapFrame(ManyColours(24, 20), 2, QStringLiteral("Add Frame"));
       }},
      {"add a larger picture, the animation fitted to it", [](auto& c, auto&, auto& d) {
         d.Oversize = false;
         c.InsertBitmapFrame(ManyColours(24, 9), 2, QStringLiteral("Add Frame"));
       }},
      {"insert at the selection with a delay", [](auto& c, auto& v, auto&) {
         v.SetSelectedFrame(2);
         c.InsertBitmapAt(*SharedImage(), ManyColours(10, 10), 30);
       }},
      {"drop a picture on the first cell", [](auto& c, auto&, auto&) { c.DropBitmapAt(ManyColours(6, 6), 0); }},
      {"delete the first frame", [](auto& c, auto& v, auto&) {
         v.SetSelectedFrame(0);
         c.DeleteFrames();
       }},
      {"delete a range", [](auto& c, auto& v, auto&) {
         v.SetSelection(1, 2);
         c.DeleteFrames();
       }},
      {"move left, then to the end", [](auto& c, auto& v, auto&) {
         v.SetSelectedFrame(2);
         c.MoveFrameLeft();
         c.MoveFrameToEnd();
       }},
      {"move the first frame right, then the last to the beginning", [](auto& c, auto& v, auto&) {
         v.SetSelectedFrame(0);
         c.MoveFrameRight();
         v.SetSelectedFrame(4);
         c.MoveFrameToBeginning();
       }},
      {"drag a range", [](auto& c, auto& v, auto&) {
         v.SetSelection(0, 1);
         c.DragFramesTo(4);
       }},
      {"reverse all", [](auto& c, auto& v, auto&) {
         v.SetSelectedFrame(1);
         c.ReverseFrames(false, 3);
       }},
      {"reverse a range", [](auto& c, auto& v, auto&) {
         v.SetSelection(1, 3);
         c.ReverseFrames(false, 3);
       }},
      {"typed delay on three frames, then disposal", [](auto& c, auto& v, auto&) {
         v.SetSelection(0, 2);
         c.TypeDelay(55);
         c.ApplyDisposalToSelection(3);
       }},
      {"loop once, forever, five times", [](auto& c, auto&, auto&) {
         c.ApplyLoopChange(false, 1);
         c.ApplyLoopChange(true, 0);
         c.ApplyLoopChange(false, 5);
       }, false},
      {"animation information", [](auto& c, auto&, auto& d) {
         d.Loop = LoopChoice{false, 7};
         c.AnimationInfo();
       }, false},
      {"resize", [](auto& c, auto&, auto& d) {
         d.Resize = ResizeChoice{40, 30};
         c.ResizeAnimationCommand();
       }},
      {"global change", [](auto& c, auto&, auto& d) {
         GlobalChangeChoice g;
         g.DelayText = QStringLiteral("7");
         g.Disposal = 1;
         g.InterlacedTouched = g.InterlacedChecked = true;
         d.Global = g;
         c.GlobalChange();
       }},
      {"global change giving frames a local palette", [](auto& c, auto& v, auto& d) {
         v.SetSelectedFrame(0);  // over the global table: "Make Local Palette"
         GlobalChangeChoice g;
         g.LocalPaletteTouched = g.LocalPaletteChecked = true;
         d.Global = g;
         c.GlobalChange();
       }},
      {"change a colour of the global palette", [](auto& c, auto&, auto& d) {
         d.GlobalEntry = std::make_pair(3, gif::TColor{0x123456});
         c.ChangeGlobalPalette();
       }},
      {"make transparent", [](auto& c, auto&, auto& d) {
         d.Picked = PickedColor{0xFFFFFF, 1};
         c.MakeAnimationTransparent({});
       }},
      {"frame transparent colour", [](auto& c, auto& v, auto& d) {
         v.SetSelectedFrame(3);
         d.Picked = PickedColor{0x00FF00, 3};
         c.ChangeTransparentColor();
       }},
      {"copy and paste", [](auto& c, auto& v, auto&) {
         v.SetSelectedFrame(1);
         c.CopyFrames();
         v.SetSelectedFrame(3);
         c.Paste(false);
       }},
      {"cut a range and paste it at the start", [](auto& c, auto& v, auto&) {
         v.SetSelection(0, 2);
         c.CutFrames();
         v.SetSelectedFrame(-1);
         c.Paste(false);
       }},
      {"paste a comment", [](auto& c, auto&, auto&) { c.PasteComment(QStringLiteral("hello")); }},
  };
  for (const Sequence& s : sequences) {
    SCOPED_TRACE(s.Name);
    TMDIChild* d = Start(5);
    const QByteArray original = Bytes(Image());
    const std::vector<gif::Bitmap> shown = Composited(Image());
    const auto tables = testing::Tables(Image());
    s.Run(*commands_, view_, dialogs_);
    commands_->ApplyPendingInput();
    ASSERT_GT(d->History.Count(), 0);
    EXPECT_NE(Bytes(Image()), original);
    EXPECT_TRUE(d->Modified);
    // Written once at the end of a command over many frames, or straight from the image when it
    // needs no preparing, the working copy still holds what a prepared copy of the image writes.
    ASSERT_TRUE(d->WorkingCopyCurrent());
    gif::TGIFImage prepared;
    prepared.Assign(Image());
    PrepareForSave(prepared, true);
    EXPECT_EQ(testing::FileBytes(d->WorkingCopy), Bytes(prepared));
    if (s.KeepsLoop) {
      EXPECT_EQ(GetLoopCount(Image()), 3);
    }
    for (int guard = 0; d->History.Count() > 0 && guard < 100; ++guard) {
      commands_->Undo();
      // However an undo brings the animation back (a whole snapshot comes back with its encoded
      // data), the working copy it leaves is what a prepared copy of the image writes.
      ASSERT_TRUE(d->FlushWorkingCopy());
      if (d->WorkingCopy.isEmpty()) continue;
      gif::TGIFImage again;
      again.Assign(Image());
      PrepareForSave(again, true);
      EXPECT_EQ(testing::FileBytes(d->WorkingCopy), Bytes(again)) << d->History.Count() << " entries left";
    }
    EXPECT_EQ(Composited(Image()), shown);
    EXPECT_EQ(testing::Tables(Image()), tables);
    EXPECT_EQ(GetLoopCount(Image()), 3);
    EXPECT_EQ(Bytes(Image()), original);
    docs_.FreeChildWindow(d);
  }
  EXPECT_TRUE(messages_.Shown.empty()) << messages_.Shown.front().Text.toStdString();
}

// An undo that brings back the whole animation brings back its encoded data too: writing the
// working copy then encodes no frame again, and writes what a plain write of the image gives.
TEST_F(FrameCommandsTest, UndoingAWholeAnimationEntryEncodesNothingAgain) {
  TMDIChild* d = Start(5);
  for (int width : {40, 24}) {
    dialogs_.Resize = ResizeChoice{width, 30};
    commands_->ResizeAnimationCommand();
    ASSERT_TRUE(d->FlushWorkingCopy());
  }
  ASSERT_EQ(d->History.Count(), 2);
  ASSERT_NE(Image().EncodedDataCache, nullptr);
  const std::uint64_t misses = Image().EncodedDataCache->Misses();
  commands_->Undo();
  ASSERT_TRUE(d->FlushWorkingCopy());
  ASSERT_FALSE(d->WorkingCopy.isEmpty());
  EXPECT_EQ(Image().EncodedDataCache->Misses(), misses);
  gif::TGIFImage again;
  again.Assign(Image());
  PrepareForSave(again, true);
  EXPECT_EQ(testing::FileBytes(d->WorkingCopy), Bytes(again));
}

// Undoing a palette edit that kept the whole animation leaves the working copy and the image as
// writing the working copy and reading it back leave them. When the snapshot already holds those
// bytes it becomes the working copy itself, and the frames keep their encoded data.
TEST_F(FrameCommandsTest, UndoingADeletingPaletteEditLeavesWhatReadingTheWorkingCopyBackGives) {
  struct Case {
    const char* Name;
    void (*Prepare)(gif::TGIFImage&);
    // Through the palette editor, which reads the working copy back after each edit; else the
    // entry is recorded over the image as it stands.
    bool PaletteEditor;
    bool SnapshotIsTheWorkingCopy;
  };
  const auto sortTwo = [](gif::TGIFImage& image) {
    image.GetGlobalColorMap().SetOptimized(true);
    image.Images().GetFrame(1)->ColorMap().SetOptimized(true);
  };
  const Case cases[] = {
      {"tables of odd lengths, through the palette editor", sortTwo, true, true},
      // Reading a file back does not keep a table's sorted flag.
      {"tables of odd lengths, two of them sorted", sortTwo, false, true},
      // A loop block on a later frame is left out of the working copy, so the snapshot, written
      // as the image stands, is not what the working copy holds.
      {"a loop block the working copy is written without",
       [](gif::TGIFImage& image) {
         auto* loop = new gif::TGIFAppExtNSLoop(image.Images().GetFrame(3));
         loop->SetLoops(2);
         image.Images().GetFrame(3)->Extensions().Add(loop);
       },
       false, false},
  };
  const auto deletingEdit = [](TMDIChild& document, gif::TGIFImage& image, const QString& caption) {
    document.AddUndoEntry(TUndoKind::Animation, TUndoOperation::Replaced, -1, -1, 0, caption);
    gif::TGIFColorMap& global = image.GetGlobalColorMap();
    global.Delete(global.GetCount() - 1);
    for (int i = 0; i < image.Images().GetCount(); ++i) {
      gif::TGIFSubImage& frame = *image.Images().GetFrame(i);
      if (frame.ColorMap().GetCount() > 0) continue;
      for (std::size_t p = 0; p < frame.DataSize(); ++p)
        if (frame.Data()[p] >= global.GetCount()) frame.Data()[p] = 0;
      frame.FreeBitmap();
    }
    document.SetModified(true);
    return true;
  };
  commands_->ApplyDeletingPaletteEdit = deletingEdit;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    TMDIChild* d = Start(5);
    c.Prepare(Image());
    d->SetModified(true);
    const std::vector<gif::Bitmap> shown = Composited(Image());
    const auto tables = testing::Tables(Image());
    // Two edits, so that the undo of the second leaves one entry.
    for (int colour : {0x102030, 0x405060}) {
      dialogs_.GlobalEntry = std::make_pair(1, gif::TColor(colour));
      if (c.PaletteEditor)
        ASSERT_TRUE(commands_->ChangeGlobalPalette());
      else
        deletingEdit(*d, Image(), QString::fromLatin1(undo_captions::kChangeGlobalPalette));
    }
    ASSERT_EQ(d->History.Count(), 2);
    auto* whole = dynamic_cast<TActiveAnimation*>(d->History.Last());
    ASSERT_NE(whole, nullptr);
    const QString snapshot = whole->TempFileName;
    // Held open, so that its inode is not given to another file once it is removed.
    QFile held(snapshot);
    ASSERT_TRUE(held.open(QIODevice::ReadOnly));
    struct stat snapshotFile {};
    ASSERT_EQ(::fstat(held.handle(), &snapshotFile), 0);

    commands_->Undo();
    ASSERT_EQ(d->History.Count(), 1);
    EXPECT_FALSE(QFileInfo::exists(snapshot));
    ASSERT_TRUE(d->WorkingCopyCurrent());
    struct stat workingFile {};
    ASSERT_EQ(::stat(QFile::encodeName(d->WorkingCopy).constData(), &workingFile), 0);
    EXPECT_EQ(workingFile.st_ino == snapshotFile.st_ino, c.SnapshotIsTheWorkingCopy);
    gif::TGIFImage prepared;
    prepared.Assign(Image());
    PrepareForSave(prepared, true);
    EXPECT_EQ(testing::FileBytes(d->WorkingCopy), Bytes(prepared));
    std::unique_ptr<gif::TGIFImage> readBack = ReadGifFile(d->WorkingCopy);
    ASSERT_NE(readBack, nullptr);
    EXPECT_EQ(Bytes(Image()), Bytes(*readBack));
    EXPECT_EQ(testing::Tables(Image()), testing::Tables(*readBack));
    if (c.SnapshotIsTheWorkingCopy) {
      ASSERT_NE(Image().EncodedDataCache, nullptr);
      const std::uint64_t misses = Image().EncodedDataCache->Misses();
      d->SetModified(true);
      EXPECT_EQ(Image().EncodedDataCache->Misses(), misses);
    }
    // Files of the history and the working copy only: the snapshot left no copy behind.
    EXPECT_EQ(tmp_.Files().size(), 2) << tmp_.Files().join(QLatin1Char(' ')).toStdString();

    commands_->Undo();
    EXPECT_EQ(testing::Tables(Image()), tables);
    EXPECT_EQ(Composited(Image()), shown);
    docs_.FreeChildWindow(d);
  }
  EXPECT_TRUE(messages_.Shown.empty()) << messages_.Shown.front().Text.toStdString();
}

// The palette editor reads the working copy back after each edit: the image is then what the file
// holds, and writing the working copy again encodes no frame the edit left alone.
TEST_F(FrameCommandsTest, ReadingTheWorkingCopyBackKeepsTheFramesEncodedData) {
  TMDIChild* d = Start(5);
  d->SetModified(true);
  for (int colour : {0x102030, 0x405060}) {
    dialogs_.GlobalEntry = std::make_pair(3, gif::TColor(colour));
    ASSERT_TRUE(commands_->ChangeGlobalPalette());
    ASSERT_TRUE(d->WorkingCopyCurrent());
    std::unique_ptr<gif::TGIFImage> readBack = ReadGifFile(d->WorkingCopy);
    ASSERT_NE(readBack, nullptr);
    EXPECT_EQ(Bytes(Image()), Bytes(*readBack));
    EXPECT_EQ(testing::Tables(Image()), testing::Tables(*readBack));
    EXPECT_EQ(Composited(Image()), Composited(*readBack));
  }
  const std::uint64_t misses = Image().EncodedDataCache ? Image().EncodedDataCache->Misses() : 0;
  d->SetModified(true);
  ASSERT_NE(Image().EncodedDataCache, nullptr);
  EXPECT_EQ(Image().EncodedDataCache->Misses(), misses);
  commands_->Undo();
  commands_->Undo();
  EXPECT_TRUE(messages_.Shown.empty()) << messages_.Shown.front().Text.toStdString();
}

TEST_F(FrameCommandsTest, AddingAFrameWithoutALoopBlockUndoesToTheOriginal) {
  // The new frame brings the default endless loop onto frame 0; undo takes that away too.
  const std::vector<Sequence> adds = {
      {"after the selection", [](auto& c, auto&, auto&) {
         c.InsertBitmapFrame(SolidBitmap(6, 4, 200), c.InsertPosition(), QStringLiteral("Add Frame"));
       }},
      {"at the end", [](auto& c, auto&, auto&) {
         c.InsertBitmapFrame(SolidBitmap(6, 4, 200), c.FrameCount(), QStringLiteral("Add Frame"));
       }},
      {"at the start", [](auto& c, auto&, auto&) {
         c.InsertBitmapFrame(SolidBitmap(6, 4, 200), 0, QStringLiteral("Add Frame"));
       }},
      {"at the selection with a delay", [](auto& c, auto& v, auto&) {
         v.SetSelectedFrame(1);
         c.InsertBitmapAt(*SharedImage(), SolidBitmap(6, 4, 90), 30);
       }},
  };
  Settings().DefaultNSLoop = 0;
  for (const Sequence& s : adds) {
    SCOPED_TRACE(s.Name);
    TMDIChild* d = Start(3);
    for (int i = 0; i < Image().Images().GetCount(); ++i)
      delete FindLoopExtension(*Image().Images().GetFrame(i));
    ASSERT_FALSE(HasLoopExtension(Image()));
    const QByteArray original = Bytes(Image());
    s.Run(*commands_, view_, dialogs_);
    ASSERT_EQ(Image().Images().GetCount(), 4);
    EXPECT_NE(FindLoopExtension(*Image().Images().GetFrame(0)), nullptr);
    EXPECT_EQ(d->History.Count(), 1);
    EXPECT_EQ(d->History.LastCaption(), QStringLiteral("Add Frame"));
    commands_->Undo();
    EXPECT_EQ(d->History.Count(), 0);
    EXPECT_FALSE(HasLoopExtension(Image()));
    EXPECT_EQ(Bytes(Image()), original);
    docs_.FreeChildWindow(d);
  }
  EXPECT_TRUE(messages_.Shown.empty()) << messages_.Shown.front().Text.toStdString();
}

TEST_F(FrameCommandsTest, AddingAFrameToLocalTablesOnlyUndoesToTheOriginal) {
  // With local palettes kept, the first frame added to an animation without a global table
  // brings one in; undo takes that away too.
  const std::vector<Sequence> adds = {
      {"after the selection", [](auto& c, auto&, auto&) {
         c.InsertBitmapFrame(ManyColours(6, 4), c.InsertPosition(), QStringLiteral("Add Frame"));
       }},
      {"at the selection with a delay", [](auto& c, auto& v, auto&) {
         v.SetSelectedFrame(1);
         c.InsertBitmapAt(*SharedImage(), SolidBitmap(6, 4, 90), 30);
       }},
      {"copy and paste", [](auto& c, auto& v, auto&) {
         v.SetSelectedFrame(1);
         c.CopyFrames();
         c.Paste(false);
       }},
  };
  SettingsStore().writeInt(QStringLiteral("Settings"), QStringLiteral("PaletteType"), 2);
  for (const Sequence& s : adds) {
    SCOPED_TRACE(s.Name);
    TMDIChild* d = Start(4);
    gif::TGIFSubImage& first = *Image().Images().GetFrame(0);
    first.ColorMap().Assign(Image().GetGlobalColorMap());
    Image().GetGlobalColorMap().Clear();
    const QByteArray original = Bytes(Image());
    s.Run(*commands_, view_, dialogs_);
    ASSERT_EQ(Image().Images().GetCount(), 5);
    UndoAll(d);
    EXPECT_EQ(Image().GetGlobalColorMap().GetCount(), 0);
    EXPECT_EQ(Bytes(Image()), original);
    docs_.FreeChildWindow(d);
  }
  EXPECT_TRUE(messages_.Shown.empty()) << messages_.Shown.front().Text.toStdString();
}

TEST_F(FrameCommandsTest, NormalisingTheLoopBlockKeepsWhatPlays) {
  Start(3);
  // A loop block left on a later frame, as some programs write it.
  delete FindLoopExtension(*Image().Images().GetFrame(0));
  AddLoopExtension(Image(), 1, 4);
  const QByteArray before = Bytes(Image());
  dialogs_.Loop = std::nullopt;
  commands_->AnimationInfo();
  EXPECT_NE(FindLoopExtension(*Image().Images().GetFrame(0)), nullptr);
  EXPECT_EQ(FindLoopExtension(*Image().Images().GetFrame(1)), nullptr);
  EXPECT_EQ(GetLoopCount(Image()), 4);
  if (!QFileInfo::exists(QStringLiteral("/usr/bin/gifdiff"))) GTEST_SKIP() << "gifdiff not installed";
  const QString a = tmp_.Path + QStringLiteral("/a.gif"), b = tmp_.Path + QStringLiteral("/b.gif");
  QFile fa(a), fb(b);
  ASSERT_TRUE(fa.open(QIODevice::WriteOnly) && fb.open(QIODevice::WriteOnly));
  fa.write(before);
  fb.write(Bytes(Image()));
  fa.close();
  fb.close();
  EXPECT_EQ(QProcess::execute(QStringLiteral("/usr/bin/gifdiff"), {a, b}), 0);
}

TEST_F(FrameCommandsTest, AddedFramesGoRightAfterTheSelection) {
  struct Case {
    int Selected;
    int Expected;
  };
  for (const Case c : {Case{-1, 0}, Case{0, 1}, Case{3, 4}, Case{4, 5}}) {
    SCOPED_TRACE(c.Selected);
    TMDIChild* d = Start(5);
    view_.SetSelectedFrame(c.Selected);
    const int index = commands_->InsertBitmapFrame(SolidBitmap(6, 4, 9), commands_->InsertPosition(),
                                                   QStringLiteral("Add Frame"));
    EXPECT_EQ(index, c.Expected);
    std::vector<int> expected = {10, 20, 30, 40, 50};
    expected.insert(expected.begin() + c.Expected, Settings().DefaultDelay);
    EXPECT_EQ(Delays(Image()), expected);
    EXPECT_EQ(view_.SelectedFrame(), c.Expected);
    docs_.FreeChildWindow(d);
  }
}

TEST_F(FrameCommandsTest, DraggingMovesTheFrameOrTheRangeAsABlock) {
  struct Case {
    int First, Last, Target;
    std::vector<int> Expected;
    int NewFirst;
  };
  const std::vector<Case> cases = {
      {1, 1, 3, {10, 30, 40, 20, 50}, 3},
      {3, 3, 0, {40, 10, 20, 30, 50}, 0},
      {0, 1, 4, {30, 40, 50, 10, 20}, 3},
      {3, 4, 1, {10, 40, 50, 20, 30}, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Target);
    TMDIChild* d = Start(5);
    view_.SetSelection(c.First, c.Last);
    EXPECT_TRUE(commands_->DragFramesTo(c.Target));
    EXPECT_EQ(Delays(Image()), c.Expected);
    EXPECT_EQ(view_.SelectionFirst(), c.NewFirst);
    EXPECT_EQ(view_.SelectionLast(), c.NewFirst + c.Last - c.First);
    docs_.FreeChildWindow(d);
  }
  Start(5);
  view_.SetSelection(1, 3);
  EXPECT_FALSE(commands_->DragFramesTo(2));  // onto itself
}

TEST_F(FrameCommandsTest, PasteTakesOwnCopiesWholeAndForeignPicturesAlone) {
  Start(5);
  view_.SetSelection(1, 2);
  ASSERT_TRUE(commands_->CopyFrames());
  EXPECT_TRUE(clipboard_.HasFormat(QString::fromLatin1(kFrameCopyMimeType)));
  view_.SetSelectedFrame(4);
  EXPECT_TRUE(commands_->Paste(false));
  EXPECT_EQ(Delays(Image()), (std::vector<int>{10, 20, 30, 40, 50, 20, 30}));

  // Another program's picture of the very same size: pasted alone.
  QImage foreign(6, 4, QImage::Format_RGB32);
  foreign.fill(Qt::red);
  clipboard_.SetData(QString::fromLatin1(kBitmapMimeType), Png(foreign));
  view_.SetSelectedFrame(0);
  EXPECT_TRUE(commands_->Paste(false));
  EXPECT_EQ(Image().Images().GetCount(), 8);
  EXPECT_EQ(GetFrameDelay(Image(), 1), Settings().DefaultDelay);

  // Asking whether Paste may run never throws the copied frames away.
  clipboard_.SetData(QStringLiteral("text/plain"), "a comment");
  EXPECT_TRUE(commands_->CanPaste(true));
  EXPECT_TRUE(QFileInfo::exists(commands_->FrameClipboardFile()));
  EXPECT_TRUE(commands_->Paste(true));
  EXPECT_EQ(Image().Images().GetCount(), 8);
  EXPECT_EQ(docs_.Active()->History.LastCaption(), QStringLiteral("Add GIF Comment"));
}

TEST_F(FrameCommandsTest, TypedValuesApplyBeforeAnythingElseToTheirOwnDocument) {
  TMDIChild* a = Start(3);
  std::vector<bool> timer;
  commands_->PendingTimer = [&](bool on) { timer.push_back(on); };

  // A command right after typing: the delay goes to the frame it was typed for, then it moves.
  view_.SetSelectedFrame(0);
  commands_->TypeDelay(77);
  EXPECT_EQ(timer, std::vector<bool>{true});
  commands_->MoveFrameRight();
  EXPECT_EQ(Delays(Image()), (std::vector<int>{20, 77, 30}));
  EXPECT_EQ(a->History.Count(), 2);
  EXPECT_FALSE(timer.back());

  // A switch right after typing: the loop count goes into A's working copy.
  commands_->TypeLoop(false, 6);
  TMDIChild* b = docs_.NewDocument();
  ASSERT_NE(b, nullptr);
  auto copy = ReadGifFile(a->WorkingCopy);
  ASSERT_TRUE(copy);
  EXPECT_EQ(GetLoopCount(*copy), 6);
  EXPECT_EQ(a->History.LastCaption(), QStringLiteral("Change Animation Loop"));

  // A save right after typing writes the typed value.
  ASSERT_TRUE(docs_.Activate(a));
  view_.SetSelectedFrame(2);
  commands_->TypeDelay(5);
  const QString saved = tmp_.Path + QStringLiteral("/saved.gif");
  a->FileName = saved;
  a->Untitled = false;
  ASSERT_TRUE(a->SaveDocument(false, true));
  auto onDisk = ReadGifFile(saved);
  ASSERT_TRUE(onDisk);
  EXPECT_EQ(Delays(*onDisk), (std::vector<int>{20, 77, 5}));
}

TEST_F(FrameCommandsTest, ChangingTheDelayOfThreeFramesRecordsThreeEntries) {
  TMDIChild* d = Start(4);
  view_.SetSelection(0, 2);
  commands_->TypeDelay(9);
  commands_->ApplyPendingInput();
  EXPECT_EQ(d->History.Count(), 3);
  EXPECT_EQ(Delays(Image()), (std::vector<int>{9, 9, 9, 40}));
  commands_->ApplyDelayToSelection(9);  // unchanged: nothing more
  EXPECT_EQ(d->History.Count(), 3);
}

// Past the history's room a command keeps the whole animation once, and only when it changes
// something; a whole animation that cannot be kept leaves the command unmade.
TEST_F(FrameCommandsTest, ACommandOverMoreFramesThanTheHistoryHoldsKeepsTheWholeAnimationOnce) {
  TMDIChild* d = StartPattern(8);
  d->SetMaxUndo(3);  // room for four entries
  const QByteArray original = Bytes(Image());
  const std::pair<const char*, std::function<void()>> commands[] = {
      {"a range dragged", [&] { commands_->DragFramesTo(7); }},
      {"its delay", [&] { commands_->ApplyDelayToSelection(5); }},
      {"deleted", [&] { commands_->DeleteFrames(); }},
  };
  for (const auto& [name, run] : commands) {
    SCOPED_TRACE(name);
    view_.SetSelection(0, 4);
    run();
    ASSERT_NE(Bytes(Image()), original);
    EXPECT_EQ(d->History.Count(), 1);
    EXPECT_EQ(d->History.Item(0)->ClassNameText(), QStringLiteral("TActiveAnimation"));
    commands_->Undo();
    EXPECT_EQ(Bytes(Image()), original);
    EXPECT_EQ(d->History.Count(), 0);
  }

  view_.SetSelection(0, 7);
  commands_->ApplyDisposalToSelection(0);  // every frame has it already
  EXPECT_EQ(d->History.Count(), 0) << "nothing changed, nothing to undo";
  EXPECT_TRUE(tmp_.Files().size() <= 1u) << "no snapshot left behind";

  tmp_.MakeUnusable();
  commands_->DeleteFrames();
  tmp_.MakeUsable();
  EXPECT_EQ(Bytes(Image()), original);
  EXPECT_EQ(d->History.Count(), 0);
  EXPECT_TRUE(messages_.Saw(QStringLiteral("Error saving file!")));
}

TEST_F(FrameCommandsTest, ACommandOverManyFramesWritesTheWorkingCopyOnceAtItsEnd) {
  TMDIChild* a = Start(4);
  TMDIChild* b = docs_.NewDocument();
  ASSERT_TRUE(docs_.Activate(a));
  view_.SetSelection(0, 3);
  {
    // The disk fails for the whole command: one write, so one report, and the edits stay.
    testing::ReadOnlyFolder readOnly(tmp_.Path);
    commands_->ApplyDelayToSelection(61);
    EXPECT_EQ(messages_.Shown.size(), 1u);
    EXPECT_TRUE(messages_.Saw(QStringLiteral("Error saving file!")));
    EXPECT_EQ(a->History.Count(), 4);
    EXPECT_TRUE(a->Modified);
    EXPECT_FALSE(a->WorkingCopyCurrent());
    EXPECT_FALSE(docs_.Activate(b)) << "the edits live only in the working image";
  }
  messages_.Shown.clear();
  view_.SetSelection(1, 2);
  commands_->DeleteFrames();
  EXPECT_TRUE(a->WorkingCopyCurrent());
  ASSERT_TRUE(docs_.Activate(b));
  ASSERT_TRUE(docs_.Activate(a));
  EXPECT_EQ(Delays(Image()), (std::vector<int>{61, 61}));
  UndoAll(a);
  EXPECT_EQ(Delays(Image()), (std::vector<int>{10, 20, 30, 40}));
  EXPECT_TRUE(messages_.Shown.empty());
}

TEST_F(FrameCommandsTest, LoopChangesFollowThePlayCount) {
  struct Case {
    bool Infinite;
    int Count;
    int Plays;
    bool Recorded;
  };
  // From endless (the fixture's block stores 0).
  const std::vector<Case> cases = {{true, 0, 0, false}, {false, 4, 4, true}, {false, 1, 1, true},
                                   {false, 1, 1, false}, {false, 3, 3, true}, {true, 0, 0, true}};
  TMDIChild* d = StartPattern(2);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Count);
    const int entries = d->History.Count();
    commands_->ApplyLoopChange(c.Infinite, c.Count);
    EXPECT_EQ(GetLoopCount(Image()), c.Plays);
    EXPECT_EQ(HasLoopExtension(Image()), c.Plays != 1);
    EXPECT_EQ(d->History.Count(), entries + (c.Recorded ? 1 : 0));
    EXPECT_EQ(commands_->LoopCount(), c.Plays);
  }
}

TEST_F(FrameCommandsTest, ResizingClampsTheSidesAndKeepsEachFramesShareOfTheScreen) {
  Start(5);
  EXPECT_TRUE(ResizeAnimation(Image(), 0, 2000));
  EXPECT_EQ(Image().GetWidth(), 10);
  EXPECT_EQ(Image().GetHeight(), 1000);
  struct Place {
    int Left, Top, Width, Height;
  };
  // 16 x 12 to 10 x 1000: frame 1 was 8 x 6 at 3,2, frame 4 was 6 x 4 at 10,8.
  const Place expected[] = {{0, 0, 10, 1000}, {2, 167, 5, 500}, {2, 250, 6, 500}, {0, 0, 10, 1000}, {7, 667, 3, 333}};
  for (int i = 0; i < 5; ++i) {
    SCOPED_TRACE(i);
    const TGIFSubImage& f = *Image().Images().GetFrame(i);
    EXPECT_EQ(f.GetLeft(), expected[i].Left);
    EXPECT_EQ(f.GetTop(), expected[i].Top);
    EXPECT_EQ(f.GetWidth(), expected[i].Width);
    EXPECT_EQ(f.GetHeight(), expected[i].Height);
  }
  EXPECT_EQ(Delays(Image()), (std::vector<int>{10, 20, 30, 40, 50}));
  EXPECT_FALSE(ResizeAnimation(Image(), 10, 1000));
}

TEST_F(FrameCommandsTest, AResizedAnimationShowsAPlainEnlargementOfTheOriginal) {
  // Transparent pixels, a frame with disposal 2 and frames at offsets included.
  for (const auto& [width, height] : {std::pair{32, 24}, std::pair{40, 30}, std::pair{8, 6}}) {
    SCOPED_TRACE(width);
    TMDIChild* d = Start(5);
    std::vector<gif::Bitmap> expected;
    for (const gif::Bitmap& screen : Composited(Image())) expected.push_back(StretchBitmap(screen, width, height));
    dialogs_.Resize = ResizeChoice{width, height};
    ASSERT_TRUE(commands_->ResizeAnimationCommand());
    EXPECT_EQ(Composited(Image()), expected);
    EXPECT_TRUE(Image().Images().GetFrame(2)->Transparent());
    docs_.FreeChildWindow(d);
  }
}

TEST_F(FrameCommandsTest, MakingTheAnimationTransparentWithAColourAFullTableLacksIsRefusedAndChangesNothing) {
  struct Case {
    const char* Road;
    std::function<bool(TFrameCommands&, testing::ScriptedDialogs&, gif::TColor)> Run;
  };
  const Case cases[] = {
      {"Global Properties, Make Transparent",
       [](TFrameCommands& c, testing::ScriptedDialogs& dialogs, gif::TColor colour) {
         GlobalChangeChoice g;
         g.TransparentTouched = g.TransparentChecked = true;
         g.Transparent = PickedColor{colour, -1};
         dialogs.Global = g;
         return c.GlobalChange();
       }},
      {"Make Animation Transparent",
       [](TFrameCommands& c, testing::ScriptedDialogs& dialogs, gif::TColor colour) {
         dialogs.Picked = PickedColor{colour, -1};
         return c.MakeAnimationTransparent({}).has_value();
       }},
  };
  constexpr gif::TColor kGreen = 0x00FF00;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Road);
    TMDIChild* d = Start(4);
    // The third frame's own table is full, and green is not in it.
    gif::TGIFSubImage& full = *Image().Images().GetFrame(c.Road[0] == 'G' ? 2 : 0);
    full.ColorMap().Clear();
    for (int k = 0; k < 256; ++k) full.ColorMap().Add(static_cast<gif::TColor>(k | 0x0100));
    full.FreeBitmap();
    d->Modified = false;
    const QByteArray before = Bytes(Image());
    messages_.Shown.clear();
    EXPECT_FALSE(c.Run(*commands_, dialogs_, kGreen));
    EXPECT_EQ(Bytes(Image()), before);
    EXPECT_EQ(d->History.Count(), 0);
    EXPECT_FALSE(d->Modified);
    ASSERT_EQ(messages_.Shown.size(), 1u);
    EXPECT_TRUE(messages_.Shown[0].Text.startsWith(
        QStringLiteral("Frame %1 already has 256 colors").arg(c.Road[0] == 'G' ? 3 : 1)));

    // With room in the table the same edit goes through.
    full.ColorMap().Delete(255);
    EXPECT_TRUE(c.Run(*commands_, dialogs_, kGreen));
    EXPECT_EQ(d->History.Count(), 1);
    docs_.FreeChildWindow(d);
  }
}

TEST_F(FrameCommandsTest, RemovingLocalPalettesKeepsEveryColourOrChangesNothing) {
  TMDIChild* d = Start(5);
  view_.SetSelectedFrame(1);  // a frame with a local table: "Remove Local Palette"
  GlobalChangeChoice g;
  g.LocalPaletteTouched = g.LocalPaletteChecked = true;
  dialogs_.Global = g;
  // The local tables hold colours the global table lacks.
  const QByteArray original = Bytes(Image());
  EXPECT_FALSE(commands_->GlobalChange());
  EXPECT_TRUE(messages_.Saw(QStringLiteral("their local palettes cannot be removed")));
  EXPECT_EQ(Bytes(Image()), original);
  EXPECT_EQ(d->History.Count(), 0);

  // Local tables of colours that the global table holds, in another order.
  gif::TGIFColorMap& global = Image().GetGlobalColorMap();
  for (int f : {1, 2, 3}) {
    gif::TGIFColorMap& local = Image().Images().GetFrame(f)->ColorMap();
    for (int k = 0; k < local.GetCount(); ++k) local.SetColor(k, global.GetColor((k * 5 + 7 * f) % 192));
    Image().Images().GetFrame(f)->FreeBitmap();
  }
  const QByteArray before = Bytes(Image());
  const std::vector<gif::Bitmap> shown = Composited(Image());
  ASSERT_TRUE(commands_->GlobalChange());
  for (int f = 0; f < 5; ++f) EXPECT_EQ(Image().Images().GetFrame(f)->ColorMap().GetCount(), 0) << f;
  EXPECT_EQ(Composited(Image()), shown);
  EXPECT_TRUE(Image().Images().GetFrame(2)->Transparent());
  commands_->Undo();
  EXPECT_EQ(Bytes(Image()), before);
}

TEST_F(FrameCommandsTest, PickingTheTransparentColourAFrameHasChangesNothing) {
  TMDIChild* d = Start(5);
  view_.SetSelectedFrame(2);  // transparent at index 0
  dialogs_.Picked = PickedColor{Image().Images().GetFrame(2)->ColorMap().GetColor(0), 0};
  EXPECT_FALSE(commands_->ChangeTransparentColor());
  EXPECT_FALSE(d->Modified);
  EXPECT_EQ(d->History.Count(), 0);
}

TEST_F(FrameCommandsTest, ReversingATwoFrameRangeSwapsOnlyThoseFrames) {
  Start(5);
  view_.SetSelection(2, 3);
  EXPECT_TRUE(commands_->ReverseFrames(true, 1));
  EXPECT_EQ(Delays(Image()), (std::vector<int>{10, 20, 40, 30, 50}));
  EXPECT_EQ(GetLoopCount(Image()), 0);
}

TEST_F(FrameCommandsTest, MakingTheAnimationTransparentSetsBackgroundDisposal) {
  Start(3);
  dialogs_.Picked = PickedColor{0x0000FF, 2};
  ASSERT_TRUE(commands_->MakeAnimationTransparent({}));
  for (int i = 0; i < 3; ++i) {
    auto* gce = Image().Images().GetFrame(i)->GraphicControlExtension();
    EXPECT_TRUE(gce->GetTransparent());
    EXPECT_EQ(gce->GetDisposal(), gif::dmBackground);
  }
  EXPECT_EQ(Image().Images().GetFrame(0)->GraphicControlExtension()->GetTransparentColor(), 0x0000FFu);
}

TEST_F(FrameCommandsTest, TheFirstFrameMakesADocumentWithTheProgramsComment) {
  ASSERT_EQ(docs_.Active(), nullptr);
  EXPECT_EQ(commands_->InsertBitmapFrame(SolidBitmap(4, 4, 1), 0, QStringLiteral("Add Frame")), 0);
  ASSERT_NE(docs_.Active(), nullptr);
  EXPECT_EQ(docs_.Count(), 1);
  bool comment = false;
  TGIFSubImage& f = *Image().Images().GetFrame(0);
  for (int e = 0; e < f.Extensions().GetCount(); ++e)
    if (auto* c = dynamic_cast<gif::TGIFCommentExtension*>(f.Extensions().GetExtension(e)))
      comment = !c->Text().empty() && c->Text()[0].rfind("Created with Larkspur GIF Movinta - ", 0) == 0;
  EXPECT_TRUE(comment);
}

TEST_F(FrameCommandsTest, PasteCommentsPutsTheClipboardTextOnTheFirstFrame) {
  EXPECT_FALSE(commands_->CanPasteComment());  // no document
  TMDIChild* d = Start(3);
  const QByteArray original = Bytes(Image());
  EXPECT_FALSE(commands_->CanPasteComment());  // no text
  EXPECT_FALSE(commands_->PasteClipboardComment());
  clipboard_.SetData(QStringLiteral("text/plain"), QByteArray(300, 'x'));
  ASSERT_TRUE(commands_->CanPasteComment());
  view_.SetSelectedFrame(2);
  ASSERT_TRUE(commands_->PasteClipboardComment());
  TGIFSubImage& first = *Image().Images().GetFrame(0);
  auto* comment =
      dynamic_cast<gif::TGIFCommentExtension*>(first.Extensions().GetExtension(first.Extensions().GetCount() - 1));
  ASSERT_NE(comment, nullptr);
  ASSERT_EQ(comment->Text().size(), 1u);
  EXPECT_EQ(comment->Text()[0], std::string(255, 'x'));
  EXPECT_EQ(d->History.LastCaption(), QStringLiteral("Add GIF Comment"));
  EXPECT_TRUE(d->Modified);
  commands_->Undo();
  EXPECT_EQ(Bytes(Image()), original);

  commands_->SetPlaying(true);
  EXPECT_FALSE(commands_->CanPasteComment());
  EXPECT_FALSE(commands_->PasteClipboardComment());
  commands_->SetPlaying(false);
  EXPECT_EQ(d->History.Count(), 0);
}

TEST_F(FrameCommandsTest, AddFrameInsertsEachReadableFileAfterTheSelection) {
  TMDIChild* d = Start(3);
  view_.SetSelectedFrame(0);
  const TFrameCommands::PictureReader read = [](const QString& file, gif::Bitmap& picture, QString* error) {
    if (file.startsWith(QStringLiteral("bad"))) {
      *error = QStringLiteral("Cannot read ") + file;
      return false;
    }
    if (file.startsWith(QStringLiteral("cancelled"))) return false;
    picture = SolidBitmap(6, 4, static_cast<std::uint8_t>(file.front().toLatin1()));
    return true;
  };
  EXPECT_EQ(commands_->AddFrameFiles({QStringLiteral("a.png"), QStringLiteral("bad.tga"),
                                      QStringLiteral("cancelled.tif"), QStringLiteral("d.bmp")},
                                     read),
            2);
  ASSERT_EQ(Image().Images().GetCount(), 5);
  // In the order chosen, right after the frame that was selected.
  EXPECT_EQ(Image().Images().GetFrame(1)->GetBitmap().PixelColor(0, 0), 'a');
  EXPECT_EQ(Image().Images().GetFrame(2)->GetBitmap().PixelColor(0, 0), 'd');
  EXPECT_EQ(d->History.Count(), 2);
  EXPECT_EQ(d->History.LastCaption(), QStringLiteral("Add Frame"));
  ASSERT_EQ(messages_.Shown.size(), 1u);
  EXPECT_EQ(messages_.Shown.front().Text, QStringLiteral("Cannot read bad.tga"));

  commands_->SetPlaying(true);
  EXPECT_EQ(commands_->AddFrameFiles({QStringLiteral("a.png")}, read), 0);
  commands_->SetPlaying(false);
  EXPECT_EQ(Image().Images().GetCount(), 5);
}

TEST_F(FrameCommandsTest, AFrameDroppedOnItsOwnDocumentChangesNothing) {
  TMDIChild* d = Start(3);
  const QByteArray original = Bytes(Image());
  view_.SetSelectedFrame(1);
  EXPECT_EQ(commands_->DropFrameOnDocument(d), -1);
  EXPECT_EQ(commands_->DropFrameOnDocument(nullptr), -1);
  EXPECT_EQ(Bytes(Image()), original);
  EXPECT_EQ(d->History.Count(), 0);
}

TEST_F(FrameCommandsTest, CancelledPromptsChangeNothing) {
  TMDIChild* d = StartPattern(3);
  const QByteArray original = Bytes(Image());
  // An oversize picture whose prompt is cancelled.
  dialogs_.Oversize = std::nullopt;
  EXPECT_EQ(commands_->InsertBitmapFrame(SolidBitmap(40, 40, 3), 1, QStringLiteral("Add Frame")), -1);
  // Palette defaults asked for and cancelled.
  WriteSetting(QStringLiteral("Settings"), QStringLiteral("PaletteDefaults"), {}, true, 0);
  dialogs_.PaletteDefaultsOk = false;
  EXPECT_EQ(commands_->InsertBitmapFrame(SolidBitmap(6, 4, 3), 1, QStringLiteral("Add Frame")), -1);
  EXPECT_FALSE(commands_->ResizeAnimationCommand());
  EXPECT_FALSE(commands_->GlobalChange());
  EXPECT_EQ(Bytes(Image()), original);
  EXPECT_EQ(d->History.Count(), 0);
  // Trimming an oversize picture when the prompt says so.
  dialogs_.PaletteDefaultsOk = true;
  dialogs_.Oversize = true;
  const int index = commands_->InsertBitmapFrame(SolidBitmap(40, 40, 3), 1, QStringLiteral("Add Frame"));
  ASSERT_EQ(index, 1);
  EXPECT_EQ(Image().Images().GetFrame(1)->GetWidth(), 6);
  EXPECT_EQ(Image().GetWidth(), 6);
}

TEST_F(FrameCommandsTest, EditingIsRefusedWhilePlaying) {
  TMDIChild* d = Start(4);
  const QByteArray original = Bytes(Image());
  commands_->SetPlaying(true);
  view_.SetSelection(1, 2);
  dialogs_.Resize = ResizeChoice{20, 20};
  dialogs_.Picked = PickedColor{0, 0};
  commands_->DeleteFrames();
  commands_->MoveFrameToEnd();
  commands_->ReverseFrames(true, 1);
  commands_->ResizeAnimationCommand();
  commands_->MakeAnimationTransparent({});
  commands_->ApplyDelayToSelection(3);
  commands_->DragFramesTo(3);
  EXPECT_FALSE(commands_->CopyFrames());
  EXPECT_EQ(commands_->InsertBitmapFrame(SolidBitmap(6, 4, 3), 0, QStringLiteral("Add Frame")), -1);
  EXPECT_EQ(Bytes(Image()), original);
  EXPECT_EQ(d->History.Count(), 0);
  commands_->SetPlaying(false);
  commands_->MoveFrameToEnd();
  EXPECT_EQ(d->History.Count(), 1);
}

}  // namespace
}  // namespace movinta::editor
