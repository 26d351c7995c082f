// The wizards: their rules on fixtures built in code, and the dialog driven headless over a
// document list, as the main window runs it.
#include "controls/gradient.h"
#include "editor/start_page.h"
#include "editor/wizards.h"
#include "editor/model/settings.h"
#include "editor/model/whole_animation.h"
#include "tests/editor_app/app_fixture.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>

#include <map>

namespace movinta::editor::forms {
namespace {

using gif::Bitmap;
using gif::PixelFormat;
using gif::TGIFImage;
using testing::AppTest;
using testing::MakeAnimation;
using testing::RecordingMessages;
using testing::ScopedSettingsDir;
using testing::ScopedTmpDir;

QString S(const char* s) { return QString::fromLatin1(s); }

// A picture whose pixel (x, y) has the colour base + x + 16 * y, unless fill is given.
Bitmap Picture(int width, int height, gif::TColor base = 0x102030, std::optional<gif::TColor> fill = {}) {
  Bitmap b(width, height, PixelFormat::pf24bit);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) b.SetPixelColor(x, y, fill ? *fill : base + static_cast<gif::TColor>(x + 16 * y));
  return b;
}

// Reads pictures from a table by file name; any other name fails.
PictureReader TableReader(const std::map<QString, Bitmap>& pictures) {
  return [pictures](const QString& file, Bitmap& picture, QString* error) {
    auto it = pictures.find(file);
    if (it == pictures.end()) {
      if (error) *error = S("unreadable");
      return false;
    }
    picture = it->second;
    return true;
  };
}

gif::TColor Shown(TGIFImage& image, int frame, int x, int y) {
  gif::TGIFSubImage& f = *image.Images().GetFrame(frame);
  return f.GetActiveColorMap().GetColor(f.GetPixel(x, y));
}

// ---- rules without the window

TEST(WizardRules, FramesAreComposedByTheChosenPlacement) {
  const Bitmap small = Picture(2, 2);
  const gif::TColor back = 0x00FF00;
  // Scaled over the whole frame.
  const Bitmap scaled = ComposeFrame(small, 4, 4, back, FramePlacement::Scale);
  EXPECT_EQ(scaled.Width(), 4);
  EXPECT_EQ(scaled.PixelColor(3, 3), small.PixelColor(1, 1));
  EXPECT_EQ(scaled.PixelColor(1, 0), small.PixelColor(0, 0));
  // A smaller picture sits in the middle of the background.
  const Bitmap centred = ComposeFrame(small, 4, 4, back, FramePlacement::Center);
  EXPECT_EQ(centred.PixelColor(0, 0), back);
  EXPECT_EQ(centred.PixelColor(1, 1), small.PixelColor(0, 0));
  EXPECT_EQ(centred.PixelColor(2, 2), small.PixelColor(1, 1));
  EXPECT_EQ(centred.PixelColor(3, 3), back);
  // A larger one shows its middle.
  const Bitmap large = Picture(6, 6);
  const Bitmap middle = ComposeFrame(large, 2, 2, back, FramePlacement::Center);
  EXPECT_EQ(middle.PixelColor(0, 0), large.PixelColor(2, 2));
  EXPECT_EQ(middle.PixelColor(1, 1), large.PixelColor(3, 3));
  // Wider but lower: centred both ways, cut at the sides.
  const Bitmap wide = ComposeFrame(Picture(6, 2), 4, 4, back, FramePlacement::Center);
  EXPECT_EQ(wide.PixelColor(0, 1), Picture(6, 2).PixelColor(1, 0));
  EXPECT_EQ(wide.PixelColor(0, 0), back);
  // Top left: the picture itself, cut to the animation.
  const Bitmap corner = ComposeFrame(large, 4, 3, back, FramePlacement::TopLeft);
  EXPECT_EQ(corner.Width(), 4);
  EXPECT_EQ(corner.Height(), 3);
  EXPECT_EQ(corner.PixelColor(3, 2), large.PixelColor(3, 2));
  EXPECT_EQ(ComposeFrame(small, 4, 4, back, FramePlacement::TopLeft).Width(), 2);
}

class NewAnimationRules : public ::testing::Test {
protected:
  void SetUp() override {
    SettingsStore store;
    WriteRegInt(store, S("Settings"), S("PaletteType"), 2);  // local palettes: no merging
    store.flush();
  }
  ScopedSettingsDir dir_;
};

TEST_F(NewAnimationRules, SizeDelayLoopAndCommentFollowTheChoices) {
  const std::map<QString, Bitmap> pictures = {{S("a.png"), Picture(5, 3)}, {S("b.png"), Picture(2, 2, 0x400000)}};
  NewAnimationChoice choice;
  choice.Files = {S("a.png"), S("missing.png"), S("b.png")};
  choice.Placement = FramePlacement::Center;
  choice.Delay = 40;
  struct LoopCase {
    bool Forever;
    int Plays;
    int Stored;  // -1: no loop block
  };
  for (const LoopCase c : {LoopCase{true, 1, 0}, LoopCase{false, 1, -1}, LoopCase{false, 4, 3}}) {
    choice.LoopForever = c.Forever;
    choice.Plays = c.Plays;
    NewAnimation made = BuildNewAnimation(choice, TableReader(pictures));
    ASSERT_TRUE(made.Image);
    TGIFImage& image = *made.Image;
    EXPECT_EQ(made.Failed, QStringList{S("missing.png")});
    EXPECT_EQ(image.GetWidth(), 5);  // the first picture's size
    EXPECT_EQ(image.GetHeight(), 3);
    ASSERT_EQ(image.Images().GetCount(), 2);
    EXPECT_EQ(GetFrameDelay(image, 0), 40);
    EXPECT_EQ(GetFrameDelay(image, 1), 40);
    gif::TGIFAppExtNSLoop* loop = FindLoopExtension(*image.Images().GetFrame(0));
    EXPECT_EQ(loop ? loop->GetLoops() : -1, c.Stored);
    // The second picture sits centred on the first one's bottom-left colour, one pixel in.
    const gif::TColor background = Picture(5, 3).PixelColor(1, 2);
    EXPECT_EQ(Shown(image, 1, 0, 0), background);
    EXPECT_EQ(Shown(image, 1, 1, 0), 0x400000u);
    EXPECT_EQ(Shown(image, 1, 4, 2), background);
    bool comment = false;
    for (int e = 0; e < image.Images().GetFrame(0)->Extensions().GetCount(); ++e)
      comment |= dynamic_cast<gif::TGIFCommentExtension*>(image.Images().GetFrame(0)->Extensions().GetExtension(e)) != nullptr;
    EXPECT_TRUE(comment);
    EXPECT_GT(image.GetGlobalColorMap().GetCount(), 0);
  }
  choice.CustomSize = true;
  choice.Width = 8;
  choice.Height = 1;
  choice.Placement = FramePlacement::Scale;
  NewAnimation custom = BuildNewAnimation(choice, TableReader(pictures));
  ASSERT_TRUE(custom.Image);
  EXPECT_EQ(custom.Image->GetWidth(), 8);
  EXPECT_EQ(custom.Image->GetHeight(), 1);
  EXPECT_EQ(custom.Image->Images().GetFrame(1)->GetWidth(), 8);
}

TEST_F(NewAnimationRules, AOnePixelWidePictureAndNoReadablePictureAtAll) {
  NewAnimationChoice choice;
  choice.Files = {S("thin.png")};
  Bitmap thin = Picture(1, 3);
  NewAnimation made = BuildNewAnimation(choice, TableReader({{S("thin.png"), thin}}));
  ASSERT_TRUE(made.Image);
  EXPECT_EQ(made.Image->GetWidth(), 1);

  choice.Files = {S("x.png"), S("y.png")};
  NewAnimation none = BuildNewAnimation(choice, TableReader({}));
  EXPECT_FALSE(none.Image);
  EXPECT_EQ(none.Failed.size(), 2);
}

// With tables of their own, each frame keeps the background colour at its own index; making the
// animation transparent must hide that colour in every frame, not the first frame's index.
TEST_F(NewAnimationRules, TransparencyLooksTheBackgroundUpInEachFramesOwnTable) {
  Bitmap first = Picture(3, 2, 0, 0xFFFFFF);
  first.SetPixelColor(0, 0, 0x0000FF);
  Bitmap second = Picture(3, 2, 0, 0x00FF00);
  second.SetPixelColor(1, 0, 0x000080);
  second.SetPixelColor(2, 0, 0xFFFFFF);
  NewAnimationChoice choice;
  choice.Files = {S("1"), S("2")};
  choice.Transparent = true;
  NewAnimation made = BuildNewAnimation(choice, TableReader({{S("1"), first}, {S("2"), second}}));
  ASSERT_TRUE(made.Image);
  for (int i = 0; i < 2; ++i) {
    gif::TGIFSubImage& f = *made.Image->Images().GetFrame(i);
    ASSERT_TRUE(f.Transparent());
    const int index = f.GraphicControlExtension()->GetTransparentColorIndex();
    EXPECT_EQ(f.GetActiveColorMap().GetColor(index), 0xFFFFFFu) << i;
    EXPECT_EQ(f.GraphicControlExtension()->GetDisposal(), gif::dmBackground);
  }
  EXPECT_EQ(Shown(*made.Image, 1, 0, 0), 0x00FF00u);  // green stays visible in frame 1
}

// A photo first: its bottom-left colour is one of far more than a table holds, and comes out of
// the reduction as a near colour, while the pictures after it are filled with the photo's own.
TEST_F(NewAnimationRules, TransparencyHoldsOnEveryFrameOfAPhotoFirstAnimation) {
  Bitmap photo(48, 32, PixelFormat::pf24bit);
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 48; ++x)
      photo.SetPixelColor(x, y, static_cast<gif::TColor>(x * 5 + 3) | static_cast<gif::TColor>(y * 7 + 1) << 8 |
                                    static_cast<gif::TColor>((x * y + 11) & 0xFF) << 16);
  const std::map<QString, Bitmap> pictures = {
      {S("photo"), photo}, {S("small"), Picture(20, 10, 0x402000)}, {S("wide"), Picture(48, 6, 0, 0x00C0FF)}};
  NewAnimationChoice choice;
  choice.Files = {S("photo"), S("small"), S("wide")};
  choice.Placement = FramePlacement::Center;
  choice.Transparent = true;
  for (const int paletteType : {0, 2}) {
    SCOPED_TRACE(paletteType);
    {
      SettingsStore store;
      WriteRegInt(store, S("Settings"), S("PaletteType"), paletteType);
    }
    NewAnimation made = BuildNewAnimation(choice, TableReader(pictures));
    ASSERT_TRUE(made.Image);
    ASSERT_EQ(made.Image->Images().GetCount(), 3);
    gif::TGIFSubImage& first = *made.Image->Images().GetFrame(0);
    ASSERT_TRUE(first.Transparent());
    // The first frame hides the colour the later frames are filled with: its pixel one in from
    // the bottom-left corner.
    EXPECT_EQ(first.GetPixel(1, 31), first.GraphicControlExtension()->GetTransparentColorIndex());
    // Every pixel of the fill around the later pictures is transparent, and none of theirs.
    const struct {
      int Frame, Left, Top, Width, Height;
    } placed[] = {{1, 14, 11, 20, 10}, {2, 0, 13, 48, 6}};
    for (const auto& p : placed) {
      gif::TGIFSubImage& f = *made.Image->Images().GetFrame(p.Frame);
      ASSERT_TRUE(f.Transparent()) << p.Frame;
      const int transparent = f.GraphicControlExtension()->GetTransparentColorIndex();
      int wrong = 0;
      for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 48; ++x) {
          const bool inside = x >= p.Left && x < p.Left + p.Width && y >= p.Top && y < p.Top + p.Height;
          wrong += (f.GetPixel(x, y) == transparent) == inside;
        }
      EXPECT_EQ(wrong, 0) << p.Frame;
    }
  }
}

TEST(WizardRules, SizesTimesAndPagesAsTheWizardShowsThem) {
  EXPECT_EQ(BytesText(1234567), S("1,234,567 bytes"));
  EXPECT_EQ(BytesText(12), S("12 bytes"));
  EXPECT_EQ(SavedText(1000, 1000), S("None"));
  EXPECT_EQ(SavedText(1000, 1200), S("None"));
  EXPECT_EQ(SavedText(2000, 1500), S("500 bytes (25.0%)"));
  EXPECT_EQ(SavedText(1000, 975), S("25 bytes ( 2.5%)"));
  EXPECT_NEAR(DownloadSeconds(7200, S("28.8")), 2.0, 1e-5);
  EXPECT_NEAR(DownloadSeconds(16000, S("DSL")), 1.0, 1e-9);
  EXPECT_NEAR(DownloadSeconds(193000, S("T-1")), 1.0, 1e-9);
  EXPECT_EQ(DownloadTimeText(7075, S("56.6")), S("1.00000 secs with a"));

  EXPECT_EQ(WizardTitle(WizardMode::Optimize), S("Optimization Wizard"));
  EXPECT_EQ(PageHeading(5), S("Animation Output "));
  EXPECT_EQ(PageHeading(8), S("Finish Wizard"));
  const PageButtons first = ButtonsFor(0, 0), images = ButtonsFor(3, 0), last = ButtonsFor(4, 1);
  EXPECT_FALSE(first.BackEnabled);
  EXPECT_EQ(first.NextCaption, S("&Next >"));
  EXPECT_FALSE(images.NextEnabled);
  EXPECT_TRUE(ButtonsFor(3, 1).NextEnabled);
  EXPECT_EQ(last.NextCaption, S("&Finish"));
  EXPECT_FALSE(ButtonsFor(5, 0).BackEnabled);
  EXPECT_TRUE(ButtonsFor(6, 0).BackEnabled);
}

TEST(WizardRules, TipsWrapAroundAndAMissingFileSaysWhereItWasLookedFor) {
  QTemporaryDir dir;
  {
    QFile f(dir.filePath(S("Tips.txt")));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("first tip\n\nsecond tip\n");
  }
  TipsList tips = LoadTips(dir.path());
  EXPECT_EQ(NextTip(tips), S("first tip"));
  EXPECT_EQ(NextTip(tips), S("second tip"));
  EXPECT_EQ(NextTip(tips), S("first tip"));
  TipsList missing = LoadTips(dir.filePath(S("nowhere")));
  EXPECT_EQ(NextTip(missing), S("Could not load tips file! Please make sure Tips.txt is in the application folder of ") +
                                  dir.filePath(S("nowhere")) + S("."));
  // The tips that come with the program.
  TipsList shipped = LoadTips(S(MOVINTA_SOURCE_DIR "/editor/data"));
  EXPECT_GE(shipped.Lines.size(), 12);
}

// An animation as users make them: local tables, frames at offsets, transparency with disposal,
// a loop count and a comment.
std::unique_ptr<TGIFImage> UsersAnimation() {
  auto image = MakeAnimation(4, 8, 6);
  SetFrameDelay(*image->Images().GetFrame(0), 20);
  AddLoopExtension(*image, 0, 3);
  AddCommentExtension(*image->Images().GetFrame(0), S("made by hand"));
  gif::TGIFSubImage& f1 = *image->Images().GetFrame(1);
  f1.SetBounds(2, 1, 4, 3);
  for (std::size_t p = 0; p < f1.DataSize(); ++p) f1.Data()[p] = static_cast<std::uint8_t>(p % 3);
  f1.ColorMap().Add(0x112233);
  f1.ColorMap().Add(0x445566);
  f1.ColorMap().Add(0x778899);
  f1.ColorMap().Add(0xAABBCC);  // never used
  gif::TGIFGraphicControlExtension* g1 = f1.GraphicControlExtension();
  g1->SetTransparentColorIndex(2);
  g1->SetTransparent(true);
  g1->SetDisposal(gif::dmBackground);
  // Frame 2 repeats frame 0 but for one pixel; frame 3 repeats frame 2.
  gif::TGIFSubImage& f2 = *image->Images().GetFrame(2);
  std::fill_n(f2.Data(), f2.DataSize(), std::uint8_t{0});
  f2.Data()[7] = 1;
  gif::TGIFSubImage& f3 = *image->Images().GetFrame(3);
  std::copy_n(f2.Data(), f2.DataSize(), f3.Data());
  return image;
}

TEST(WizardRules, TheOptimisedCopyMatchesOptimizeRunDirectlyAndShowsTheSame) {
  auto original = UsersAnimation();
  OptimizeChoice choice;  // trim, duplicates, non-visible and sorted palettes, as the wizard starts
  choice.OptimizeAll = true;
  TGIFImage copy;
  OptimizeCopy(copy, *original, choice);
  TGIFImage direct;
  direct.Assign(*original);
  direct.Optimize(OptimizeFlags(choice));
  direct.GetGlobalColorMap().Optimize();
  for (int i = 0; i < direct.Images().GetCount(); ++i)
    if (direct.Images().GetFrame(i)->ColorMap().GetCount() > 0) direct.Images().GetFrame(i)->ColorMap().Optimize();
  EXPECT_EQ(copy.SaveToMemory(), direct.SaveToMemory());
  EXPECT_LT(GetEncodedSize(copy), GetEncodedSize(*original));
  const ShownDifference d = CompareShown(*original, copy);
  EXPECT_TRUE(d.Same()) << DifferenceText(d).toStdString();
  EXPECT_EQ(OptimizeFlags(choice), 15u);

  // Every option on its own keeps the picture, the timing and the loop count.
  for (unsigned bit : {1u, 2u, 4u, 8u}) {
    OptimizeChoice one{bit == 1, bit == 2, bit == 4, bit == 8, false, false};
    TGIFImage alone;
    OptimizeCopy(alone, *original, one);
    EXPECT_TRUE(CompareShown(*original, alone).Same()) << bit << ": " << DifferenceText(CompareShown(*original, alone)).toStdString();
  }
  // A loop count said by a later frame's block is kept as well.
  auto later = MakeAnimation(3);
  AddLoopExtension(*later, 2, 5);
  ASSERT_EQ(AnimationPlays(*later), 5);
  TGIFImage cleaned;
  OptimizeCopy(cleaned, *later, OptimizeChoice{false, false, true, false, false, false});
  EXPECT_TRUE(CompareShown(*later, cleaned).Same());

  OptimizeChoice local{false, false, false, false, false, true};
  TGIFImage merged;
  OptimizeCopy(merged, *original, local);
  EXPECT_FALSE(HasLocalPalettes(merged));
  EXPECT_TRUE(CompareShown(*original, merged).Same());
}

// Loop blocks on frame 0 and on a later frame: a player may go by either. The results name a
// changed loop count when gifdiff finds one.
TEST(WizardRules, TheResultsNameALoopCountThatPlayersReadOtherwise) {
  struct Case {
    const char* Name;
    int FirstPlays, LaterPlays;  // the later block on frame 2; 1: none
    bool Changed;
  };
  const QTemporaryDir dir;
  for (const Case c : {Case{"blocks that disagree", 0, 5, true}, Case{"blocks that agree", 4, 4, false},
                       Case{"a later block alone", 1, 5, false}}) {
    SCOPED_TRACE(c.Name);
    auto original = MakeAnimation(3);
    AddLoopExtension(*original, 0, c.FirstPlays);
    AddLoopExtension(*original, 2, c.LaterPlays);
    TGIFImage cleaned;
    OptimizeCopy(cleaned, *original, OptimizeChoice{false, false, true, false, false, false});
    const ShownDifference d = CompareShown(*original, cleaned);
    EXPECT_EQ(d.LoopChanged, c.Changed);
    EXPECT_EQ(DifferenceText(d).contains(S("the loop count changes")), c.Changed) << DifferenceText(d).toStdString();
    if (!QFileInfo::exists(S("/usr/bin/gifdiff"))) continue;
    const QString a = dir.filePath(S("a.gif")), b = dir.filePath(S("b.gif"));
    testing::WriteAnimation(*original, a);
    testing::WriteAnimation(cleaned, b);
    QProcess gifdiff;
    gifdiff.start(S("/usr/bin/gifdiff"), {a, b});
    ASSERT_TRUE(gifdiff.waitForFinished());
    EXPECT_EQ(QString::fromLatin1(gifdiff.readAllStandardOutput()).contains(S("loop counts differ")), c.Changed);
  }
}

// Two frames of 200 colours each in tables of their own: 400 colours in all.
std::unique_ptr<TGIFImage> ManyColours() {
  auto image = std::make_unique<TGIFImage>();
  for (int f = 0; f < 2; ++f) {
    auto* frame = new gif::TGIFSubImage(image.get());
    frame->SetBounds(0, 0, 200, 1);
    for (int x = 0; x < 200; ++x) {
      frame->ColorMap().Add(static_cast<gif::TColor>(f * 0x010000 + x * 0x000101 + 1));
      frame->Data()[x] = static_cast<std::uint8_t>(x);
    }
    image->Add(frame);
    SetFrameDelay(*frame, 10);
  }
  image->SetWidth(200);
  image->SetHeight(1);
  return image;
}

// More than 256 colours in all cannot share one table: merging them changes colours, and the
// comparison says how many pixels.
TEST(WizardRules, MergingMoreThan256ColoursIsCountedPixelByPixel) {
  auto image = ManyColours();
  TGIFImage merged;
  OptimizeCopy(merged, *image, OptimizeChoice{false, false, false, false, false, true});
  const ShownDifference d = CompareShown(*image, merged);
  EXPECT_GE(d.ChangedPixels, 400 - 256);
  EXPECT_FALSE(d.TimingChanged);
  EXPECT_TRUE(DifferenceText(d).contains(S("pixels change color")));
}

// ---- the dialog

class WizardDialogTest : public ::testing::Test {
protected:
  // The documents go first: the last one leaves an empty working image behind, which must not
  // outlive the test.
  void TearDown() override {
    while (docs_.Count() > 0) docs_.FreeChildWindow(docs_.At(0));
    SharedImage(1);
  }
  WizardContext Context() {
    WizardContext c;
    c.Documents = &docs_;
    c.TipsFolder = tips_.path();
    c.ResourceLibrary = testing::BuiltResourceLibrary();
    c.ReadPicture = TableReader({{S("/p/a.png"), Picture(4, 3)}, {S("/p/b.png"), Picture(4, 3, 0x800000)}});
    return c;
  }
  ScopedSettingsDir dir_;
  ScopedTmpDir tmp_;
  RecordingMessages messages_;
  QTemporaryDir tips_;
  TDocuments docs_;
};

TEST_F(WizardDialogTest, NewAnimationPagesGoForwardAndBackAndFinishOpensTheAnimation) {
  WizardContext context = Context();
  context.ChooseFiles = [](const QString&, const QString&) { return QStringList{S("/p/a.png"), S("/p/b.png")}; };
  TfrmWizards wizard(nullptr, WizardMode::NewAnimation, context);
  EXPECT_EQ(wizard.windowTitle(), S("Animation Wizard"));
  EXPECT_EQ(wizard.Page(), 0);
  EXPECT_FALSE(wizard.btnBack->isEnabled());
  EXPECT_FALSE(wizard.txtHeight->isEnabled());
  EXPECT_FALSE(wizard.imgWizard->pixmap().isNull());  // "ANI_WIZ"
  wizard.optSizeCustom->setChecked(true);
  EXPECT_TRUE(wizard.txtHeight->isEnabled());
  EXPECT_EQ(wizard.txtHeight->text(), S("100"));
  wizard.optSizeFirst->setChecked(true);
  wizard.btnNext->click();
  EXPECT_EQ(wizard.lblGradient->Caption(), S("Frame Position and Size"));
  EXPECT_TRUE(wizard.btnBack->isEnabled());
  wizard.btnBack->click();
  EXPECT_EQ(wizard.Page(), 0);
  wizard.btnNext->click();
  wizard.btnNext->click();
  EXPECT_EQ(wizard.Page(), 2);
  wizard.optLoopPlay->setChecked(true);
  EXPECT_TRUE(wizard.txtLoop->isEnabled());
  wizard.txtLoop->setText(S("0"));
  wizard.NumberEditExit(wizard.txtLoop);
  EXPECT_EQ(wizard.txtLoop->text(), S("1"));
  EXPECT_TRUE(wizard.optLoopInfinite->isChecked());
  wizard.txtDelay->setText(S("70000"));
  wizard.NumberEditExit(wizard.txtDelay);
  EXPECT_EQ(wizard.txtDelay->text(), QString::number(Settings().DefaultDelay));
  wizard.btnNext->click();
  EXPECT_EQ(wizard.Page(), kImagesPage);
  EXPECT_FALSE(wizard.btnNext->isEnabled());
  wizard.btnImageAdd->click();
  EXPECT_EQ(wizard.lbImages->count(), 2);
  EXPECT_EQ(wizard.lbImages->currentRow(), 1);
  EXPECT_TRUE(wizard.btnNext->isEnabled());
  EXPECT_FALSE(wizard.btnMoveDown->isEnabled());
  wizard.btnMoveUp->click();
  EXPECT_EQ(wizard.lbImages->item(0)->text(), S("/p/b.png"));
  wizard.btnNext->click();
  EXPECT_EQ(wizard.btnNext->text(), S("&Finish"));
  wizard.btnNext->click();
  EXPECT_EQ(wizard.result(), QDialog::Accepted);
  ASSERT_NE(docs_.Active(), nullptr);
  EXPECT_TRUE(docs_.Active()->Modified);
  TGIFImage& made = *SharedImage();
  ASSERT_EQ(made.Images().GetCount(), 2);
  EXPECT_EQ(Shown(made, 0, 0, 0), 0x800000u);  // b first, as the list was put in order
  EXPECT_EQ(AnimationPlays(made), 0);
}

TEST_F(WizardDialogTest, WhenNoListedPictureCanBeReadTheWizardStaysOnTheImagesPage) {
  WizardContext context = Context();
  context.ChooseFiles = [](const QString&, const QString&) { return QStringList{S("/p/broken.png")}; };
  TfrmWizards wizard(nullptr, WizardMode::NewAnimation, context);
  for (int i = 0; i < 3; ++i) wizard.btnNext->click();
  wizard.btnImageAdd->click();
  wizard.btnNext->click();
  wizard.btnNext->click();  // Finish
  EXPECT_EQ(wizard.Page(), kImagesPage);
  EXPECT_NE(wizard.result(), QDialog::Accepted);
  EXPECT_TRUE(messages_.Saw(S("None of the listed pictures could be read")));
  EXPECT_EQ(docs_.Count(), 0);
  wizard.btnImageRemove->click();
  EXPECT_FALSE(wizard.btnNext->isEnabled());
}

TEST_F(WizardDialogTest, TheOptimisationWizardReplacesTheAnimationAsOneUndoableChange) {
  TMDIChild* doc = docs_.NewDocument(UsersAnimation());
  ASSERT_NE(doc, nullptr);
  auto before = std::make_unique<TGIFImage>();
  before->Assign(*SharedImage());
  const std::size_t firstSize = GetEncodedSize(*SharedImage());
  TfrmWizards wizard(nullptr, WizardMode::Optimize, Context());
  EXPECT_EQ(wizard.windowTitle(), S("Optimization Wizard"));
  EXPECT_EQ(wizard.Page(), 5);
  EXPECT_EQ(wizard.lblGradient->Caption(), S("Animation Output "));
  EXPECT_EQ(wizard.lblCurrSize->text(), BytesText(static_cast<double>(firstSize)));
  EXPECT_EQ(wizard.cbBps->currentText(), S("56.6"));
  EXPECT_EQ(wizard.lblDLTime->text(), DownloadTimeText(static_cast<double>(firstSize), S("56.6")));
  EXPECT_TRUE(wizard.chkOptimizeAll->isEnabled());
  EXPECT_TRUE(wizard.chkRemoveLocal->isEnabled());  // frame 1 has a table of its own
  EXPECT_FALSE(wizard.btnBack->isEnabled());
  wizard.btnNext->click();
  wizard.btnNext->click();
  wizard.btnNext->click();
  ASSERT_EQ(wizard.Page(), 8);
  ASSERT_NE(wizard.OptimizedCopy(), nullptr);
  const std::size_t optimized = GetEncodedSize(const_cast<TGIFImage&>(*wizard.OptimizedCopy()));
  EXPECT_EQ(wizard.lblOptimizedSize->text(), BytesText(static_cast<double>(optimized)));
  EXPECT_EQ(wizard.lblTotal->text(), SavedText(static_cast<double>(firstSize), static_cast<double>(optimized)));
  // The time on the results page is the optimised one.
  EXPECT_TRUE(wizard.lblDLTimeOptimized->text().startsWith(DownloadTimeText(static_cast<double>(optimized), S("56.6"))));
  EXPECT_TRUE(wizard.Difference().Same());
  wizard.btnNext->click();
  EXPECT_EQ(wizard.result(), QDialog::Accepted);
  EXPECT_TRUE(messages_.Shown.empty());
  EXPECT_EQ(GetEncodedSize(*SharedImage()), optimized);
  EXPECT_EQ(doc->UndoCaption(), S("&Undo GIF Optimization"));
  doc->Undo();
  EXPECT_EQ(SharedImage()->SaveToMemory(), before->SaveToMemory());
}

TEST_F(WizardDialogTest, AnOptimisationThatChangesColoursAsksBeforeItIsKept) {
  docs_.NewDocument(ManyColours());
  TfrmWizards wizard(nullptr, WizardMode::Optimize, Context());
  wizard.optCreateNew->setChecked(true);
  wizard.btnNext->click();
  wizard.chkRemoveLocal->setChecked(true);
  wizard.btnNext->click();
  wizard.btnNext->click();
  EXPECT_FALSE(wizard.Difference().Same());
  EXPECT_TRUE(wizard.lblDifference->text().contains(S("pixels change color")));
  messages_.Answers = {mrNo};
  wizard.btnNext->click();
  EXPECT_NE(wizard.result(), QDialog::Accepted);
  EXPECT_EQ(docs_.Count(), 1);
  messages_.Answers = {mrYes};
  wizard.btnNext->click();
  EXPECT_EQ(wizard.result(), QDialog::Accepted);
  EXPECT_EQ(docs_.Count(), 2);  // the copy opened as a new document
  EXPECT_TRUE(docs_.Active()->Modified);
  ASSERT_EQ(messages_.Shown.size(), 2u);
  EXPECT_EQ(messages_.Shown[0].Buttons, kYesNo);
}

TEST_F(WizardDialogTest, TheWelcomeDialogOffersItsThreeChoicesAndRemembersTheCheckBox) {
  {
    QFile f(tips_.filePath(S("Tips.txt")));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("one\ntwo\n");
  }
  WizardContext context = Context();
  int stopped = 0;
  context.StopPlayback = [&] { ++stopped; };
  {
    TfrmWizards welcome(nullptr, WizardMode::Welcome, context);
    EXPECT_EQ(welcome.windowTitle(), S("Welcome to GIF Movinta"));
    EXPECT_FALSE(welcome.btnReopen->isEnabled());  // no recent files shown
    EXPECT_TRUE(welcome.btnOK->isHidden());
    EXPECT_TRUE(welcome.btnCancel->isHidden());
    EXPECT_EQ(welcome.mmoTips->toPlainText(), S("one"));
    welcome.btnNextTip->click();
    welcome.btnNextTip->click();
    EXPECT_EQ(welcome.mmoTips->toPlainText(), S("one"));
    welcome.chkWelcomeDefault->setChecked(true);
    welcome.btnOpen->click();
    EXPECT_EQ(welcome.Choice(), 1);
    EXPECT_EQ(welcome.result(), QDialog::Accepted);
  }
  SettingsStore store;
  EXPECT_EQ(ReadRegInt(store, S("Settings"), S("WelcomeDialog"), 0), 1);

  context.RecentFiles = {S("/gifs/one.gif"), S("/gifs/two.gif")};
  context.RecentVisible = true;
  TfrmWizards recent(nullptr, WizardMode::Welcome, context);
  EXPECT_TRUE(recent.chkWelcomeDefault->isChecked());
  recent.btnReopen->click();
  EXPECT_EQ(recent.windowTitle(), S("Recent Files"));
  EXPECT_EQ(recent.Choice(), 2);
  EXPECT_FALSE(recent.btnOK->isHidden());
  ASSERT_EQ(recent.lbReopen->count(), 2);
  recent.lbReopen->setCurrentRow(1);
  EXPECT_EQ(recent.ChosenFile(), S("/gifs/two.gif"));

  TfrmWizards fresh(nullptr, WizardMode::Welcome, context);
  fresh.btnNew->click();
  EXPECT_EQ(fresh.Mode(), WizardMode::NewAnimation);
  EXPECT_EQ(fresh.windowTitle(), S("Animation Wizard"));
  EXPECT_EQ(fresh.Page(), 0);
  EXPECT_EQ(stopped, 3);
}

TEST_F(WizardDialogTest, TheRecentPreviewComposesTheFirstFrameOnly) {
  auto animation = MakeAnimation(12, 5, 4);
  const QString file = tmp_.Path + S("/long.gif");
  testing::WriteAnimation(*animation, file);
  WizardContext context = Context();
  context.RecentFiles = {file};
  context.RecentVisible = true;
  TfrmWizards recent(nullptr, WizardMode::Welcome, context);
  recent.btnReopen->click();
  const long long before = FrameComposer::FramesComposed();
  recent.lbReopen->setCurrentRow(0);
  EXPECT_EQ(FrameComposer::FramesComposed() - before, 1);
  const QImage shown = recent.imgPreview->pixmap().toImage();
  ASSERT_EQ(shown.size(), QSize(5, 4));
  EXPECT_EQ(shown.pixel(2, 2), qRgb(0, 0, 0)) << "frame 0 is black";
}

// The preview reads and decodes the first frame alone: an animation whose frames together need
// more memory than an image may take still shows its first frame, also when that frame reaches
// past the start of the file read first.
TEST_F(WizardDialogTest, TheRecentPreviewDecodesTheFirstFrameOnly) {
  struct Case {
    const char* Name;
    int Frames, Width, Height;
    bool NoisyFirst;
  };
  for (const Case& c : {Case{"small frames", 40, 60, 40, false}, Case{"a big first frame", 30, 700, 500, true}}) {
    SCOPED_TRACE(c.Name);
    auto animation = MakeAnimation(c.Frames, c.Width, c.Height);
    gif::TGIFSubImage& first = *animation->Images().GetFrame(0);
    if (c.NoisyFirst) {
      for (int k = 4; k < 256; ++k) animation->GetGlobalColorMap().Add(static_cast<gif::TColor>(k * 0x010203));
      std::uint32_t random = 7;
      for (std::size_t p = 0; p < first.DataSize(); ++p) {
        random = random * 1103515245u + 12345u;
        first.Data()[p] = static_cast<std::uint8_t>(random >> 24);
      }
    }
    const gif::TColor corner = animation->GetGlobalColorMap().GetColor(first.Data()[0]);
    const QString file = tmp_.Path + S("/big.gif");
    testing::WriteAnimation(*animation, file);
    if (c.NoisyFirst) {
      ASSERT_GT(QFileInfo(file).size(), 300000);
    }

    const std::uint64_t budget = gif::GIFDefaults().MemoryBudget;
    gif::GIFDefaults().MemoryBudget =
        TGIFImage::ScreenMemoryCost(c.Width, c.Height) + 3 * TGIFImage::FrameMemoryCost(c.Width, c.Height);
    WizardContext context = Context();
    context.RecentFiles = {file};
    context.RecentVisible = true;
    TfrmWizards recent(nullptr, WizardMode::Welcome, context);
    recent.show();
    QTest::mouseClick(recent.btnReopen, Qt::LeftButton);
    ASSERT_EQ(recent.lbReopen->count(), 1);
    QTest::mouseClick(recent.lbReopen->viewport(), Qt::LeftButton, {},
                      recent.lbReopen->visualItemRect(recent.lbReopen->item(0)).center());
    gif::GIFDefaults().MemoryBudget = budget;
    const QImage shown = recent.imgPreview->pixmap().toImage();
    ASSERT_EQ(shown.size(), QSize(c.Width, c.Height));
    EXPECT_EQ(shown.pixel(0, 0), qRgb(corner & 0xFF, corner >> 8 & 0xFF, corner >> 16 & 0xFF));
  }
}

// ---- the main window's side

class WizardsInMainWindow : public AppTest {};

TEST_F(WizardsInMainWindow, FileNewRunsTheWizardAndOptimizeRunsTheOptimisationWizard) {
  TfrmMain& main = OpenMain(QString(), false);
  const QString picture = Path(S("p.bmp"));
  QImage bmp(6, 4, QImage::Format_RGB32);
  bmp.fill(QColor(0x20, 0x60, 0xA0));
  bmp.setPixel(2, 1, qRgb(255, 255, 0));
  ASSERT_TRUE(bmp.save(picture, "BMP"));
  main.ChooseOpenFiles = [&](const QString&, const QString&) { return QStringList{picture}; };
  std::vector<WizardMode> modes;
  main.RunDialog = [&](QDialog& d) {
    auto& w = dynamic_cast<TfrmWizards&>(d);
    modes.push_back(w.Mode());
    if (w.Mode() == WizardMode::NewAnimation) {
      while (w.Page() < kImagesPage) w.btnNext->click();
      w.btnImageAdd->click();
      w.btnNext->click();
      w.btnNext->click();
    } else {
      while (w.Page() < 8) w.btnNext->click();
      w.btnNext->click();
    }
    return w.result();
  };
  main.FileNewExecute();
  ASSERT_NE(main.ActiveDocument(), nullptr);
  EXPECT_EQ(SharedImage()->GetWidth(), 6);
  EXPECT_TRUE(main.OptimizeActiveDocument());
  EXPECT_TRUE(messages_.Shown.empty());
  EXPECT_EQ(modes, (std::vector<WizardMode>{WizardMode::NewAnimation, WizardMode::Optimize}));
  EXPECT_EQ(main.ActiveDocument()->UndoCaption(), S("&Undo GIF Optimization"));
}

// Sprite k: dark opaque colours, with holes of alpha 0 in a pattern of its own and one pixel in
// from the bottom-left corner, where the wizard takes the background colour from; the corner
// itself is opaque.
QImage Sprite(int width, int height, int k) {
  QImage sprite(width, height, QImage::Format_ARGB32);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const bool hole = ((x * 7 + y * 3 + k) % 5 == 0 && x != 0) || (x == 1 && y == height - 1);
      sprite.setPixel(x, y, hole ? qRgba(0, 0, 0, 0) : qRgb(40 + 20 * k, 10 + 30 * (x % 4), 100 - 10 * (y % 3)));
    }
  return sprite;
}

// "Make the animation transparent" over pictures with alpha, in every placement: each frame hides
// exactly the fill around its picture and the pixels its picture left transparent.
TEST_F(WizardsInMainWindow, ATransparentAnimationHidesTheFillAndThePicturesHolesInEveryPlacement) {
  struct Sizes {
    const char* Name;
    int Width, Height;  // custom screen; 0: the first picture's size
    std::vector<QSize> Pictures;
  };
  const std::vector<QSize> eightSprites(8, QSize(64, 64));
  const Sizes sizes[] = {
      {"eight 64 x 64 sprites", 0, 0, eightSprites},
      {"one pixel narrower than the screen", 320, 24, {QSize(319, 24), QSize(319, 24)}},
      {"larger than the screen", 64, 48, {QSize(90, 80), QSize(70, 50)}},
      {"smaller than the screen", 64, 48, {QSize(20, 12), QSize(64, 30)}},
  };
  const FramePlacement placements[] = {FramePlacement::Scale, FramePlacement::Center, FramePlacement::TopLeft};
  TfrmMain& main = OpenMain(QString(), false);
  int run = 0;
  for (const Sizes& c : sizes) {
    for (const FramePlacement placement : placements) {
      SCOPED_TRACE(::testing::Message() << c.Name << ", placement " << static_cast<int>(placement));
      QStringList files;
      std::vector<QImage> sprites;
      for (std::size_t k = 0; k < c.Pictures.size(); ++k) {
        sprites.push_back(Sprite(c.Pictures[k].width(), c.Pictures[k].height(), static_cast<int>(k)));
        files << Path(S("sprite%1-%2.png").arg(run).arg(k));
        ASSERT_TRUE(sprites.back().save(files.back(), "PNG"));
      }
      ++run;
      main.ChooseOpenFiles = [&](const QString&, const QString&) { return files; };
      main.RunDialog = [&](QDialog& d) {
        auto& w = dynamic_cast<TfrmWizards&>(d);
        if (c.Width > 0) {
          w.optSizeCustom->setChecked(true);
          w.txtWidth->setText(QString::number(c.Width));
          w.txtHeight->setText(QString::number(c.Height));
        }
        w.btnNext->click();
        (placement == FramePlacement::Scale    ? w.optScale
         : placement == FramePlacement::Center ? w.optCenter
                                               : w.optTopLeft)
            ->setChecked(true);
        while (w.Page() < kImagesPage) w.btnNext->click();
        w.btnImageAdd->click();
        w.btnNext->click();
        w.chkTransparent->setChecked(true);
        w.btnNext->click();
        return w.result();
      };
      main.FileNewExecute();
      ASSERT_NE(main.ActiveDocument(), nullptr);
      TGIFImage& made = *SharedImage();
      const int width = c.Width > 0 ? c.Width : c.Pictures[0].width();
      const int height = c.Width > 0 ? c.Height : c.Pictures[0].height();
      ASSERT_EQ(made.GetWidth(), width);
      ASSERT_EQ(made.Images().GetCount(), static_cast<int>(sprites.size()));
      for (int i = 0; i < made.Images().GetCount(); ++i) {
        const QImage& sprite = sprites[static_cast<std::size_t>(i)];
        gif::TGIFSubImage& frame = *made.Images().GetFrame(i);
        const bool topLeft = placement == FramePlacement::TopLeft;
        ASSERT_EQ(frame.GetWidth(), topLeft ? std::min(width, sprite.width()) : width) << i;
        ASSERT_EQ(frame.GetHeight(), topLeft ? std::min(height, sprite.height()) : height) << i;
        // Whether the sprite leaves the frame's pixel (x, y) to the background.
        auto background = [&](int x, int y) {
          if (placement == FramePlacement::Scale)
            return qAlpha(sprite.pixel(x * sprite.width() / width, y * sprite.height() / height)) == 0;
          if (topLeft) return qAlpha(sprite.pixel(x, y)) == 0;
          const int sx = x - (width - sprite.width()) / 2, sy = y - (height - sprite.height()) / 2;
          return sx < 0 || sy < 0 || sx >= sprite.width() || sy >= sprite.height() || qAlpha(sprite.pixel(sx, sy)) == 0;
        };
        const gif::TGIFGraphicControlExtension* gce = frame.GraphicControlExtension();
        ASSERT_TRUE(gce && gce->GetTransparent()) << i;
        int wrong = 0;
        for (int y = 0; y < frame.GetHeight(); ++y)
          for (int x = 0; x < frame.GetWidth(); ++x)
            wrong += (frame.GetPixel(x, y) == gce->GetTransparentColorIndex()) != background(x, y);
        EXPECT_EQ(wrong, 0) << "frame " << i;
      }
    }
  }
}

TEST_F(WizardsInMainWindow, HelpWelcomeOpensTheRecentFileChosenInItsList) {
  const QString gif = Gif(S("recent.gif"), 2);
  TfrmMain& main = OpenMain(QString(), false);
  main.AddRecentFile(gif);
  main.RunDialog = [&](QDialog& d) {
    auto& w = dynamic_cast<TfrmWizards&>(d);
    EXPECT_TRUE(w.btnReopen->isEnabled());
    w.btnReopen->click();
    w.lbReopen->setCurrentRow(0);
    w.btnOK->click();
    return w.result();
  };
  main.mniHelpWelcomeClick();
  ASSERT_NE(main.ActiveDocument(), nullptr);
  EXPECT_EQ(main.ActiveDocument()->FileName, gif);
}

}  // namespace
}  // namespace movinta::editor::forms
